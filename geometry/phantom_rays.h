// Line integrals of an ellipse phantom (phantom.h), in closed form.
//
// In a view at angle theta the ray of detector i is the line
// x cos theta + y sin theta = i - axis. An ellipse of half-axes a, b turned
// by phi casts a shadow of half-width r, r^2 = a^2 cos^2(theta - phi) +
// b^2 sin^2(theta - phi), and the ray at distance u from the projection of
// its center crosses it along 2 a b sqrt(r^2 - u^2) / r^2. A sample sums
// value times chord over the ellipses in order.
//
// The arithmetic is disk_sino's, so that a disk is sampled to the same bits:
// u = i + offset with offset = ((-axis) - cos theta xC) - sin theta yC,
// rounded to double after each subtraction, the extended type for the
// products; u and u^2 rounded to double; d = r^2 - u^2 rounded to double
// and its square root taken in double; r^2 formed in the extended type as
// b^2 + (a^2 - b^2) cos^2 (for a >= b; a^2 + (b^2 - a^2) sin^2 otherwise),
// which is exactly a^2 for a disk; each ellipse's term
// value (2 a b / r^2) sqrt(d) added to the sample in the extended type and
// the sum rounded to double. A ray that only touches an ellipse gets
// nothing from it.
#pragma once

#include "phantom.h"
#include "real.h"

// One ellipse as one view sees it.
struct EllipseInView {
    double offset;  // u = detector + offset
    Real squared;   // r^2
    Real weight;    // value 2 a b / r^2
    double reach;   // r, for the detectors the ellipse can reach
};

EllipseInView SeeEllipse(const Ellipse &ellipse, double cosine, double sine, double axis);

// The sample plus the ellipse's term for the ray of `detector` (any real
// position in detector intervals from detector 0).
double AddEllipseTerm(const EllipseInView &seen, double detector, double sample);

// The line integral of the phantom along one ray: the ray of `detector` in
// the view with this cosine and sine, whose rotation axis lies at `axis`.
double PhantomRaySum(const Phantom &phantom, double cosine, double sine, double axis, double detector);

// One view of `detectors` samples (detector i at i - axis from the axis),
// equal sample for sample to PhantomRaySum; each ellipse's term is formed
// only on the detectors whose ray can cross it.
void PhantomView(const Phantom &phantom, double cosine, double sine, double axis, int detectors, double *view);
