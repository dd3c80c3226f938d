// Ellipse phantoms: a sum of ellipses, each adding its value inside it, in
// the plane of grid.h (detector intervals from the rotation axis, y up).
//
// A phantom is the modified Shepp-Logan head (SheppLoganPhantom) or the
// ellipses of a text file, which formats/phantom_file.h reads into the
// array of a Phantom.
#pragma once

#include "real.h"
#include "status.h"

struct Ellipse {
    double xc, yc;  // center
    double a, b;    // half-axes, above zero
    double angle;   // degrees, counter-clockwise from the x axis to a
    double value;   // added inside
};

struct Phantom {
    int count;
    Ellipse *ellipses;  // in the order their values are summed
};

// The largest magnitude of a center coordinate, half-axis or value: far
// from the double range, so that no sum or square of them overflows.
inline constexpr double kPhantomLimit = 1e100;

// Whether the numbers make an ellipse: all finite, the half-axes above
// zero, the center, half-axes and value at most kPhantomLimit in size.
bool EllipseValid(const Ellipse &ellipse);

// The word that names the Shepp-Logan head, before its radius.
inline constexpr const char *kSheppLogan = "shepp-logan:";

// The modified Shepp-Logan head with the higher-contrast values: its ten
// ellipses scaled so that its unit circle has the given radius (detector
// intervals), centered on the axis. Fails with "bad shepp-logan radius."
// unless the radius is above zero and at most kPhantomLimit, and with
// "memory allocation error.".
Status SheppLoganPhantom(double radius, Phantom *phantom);

void ReleasePhantom(Phantom *phantom);

// Pi to the extended type's precision: an ellipse's turn, and so its
// boundary far from its center, keeps its digits (the double kPi would move
// the boundary of an ellipse 1e4 wide by 1e-12).
inline constexpr Real kExtendedPi = 3.14159265358979323846264338327950288L;

// The cosine and sine of an angle in degrees, exact for multiples of 90
// degrees (so that an ellipse turned a right angle is exactly the ellipse
// with its half-axes exchanged), in the extended type otherwise.
void DegreesCosineSine(double degrees, Real *cosine, Real *sine);
