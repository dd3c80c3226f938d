#include "phantom_rays.h"

#include <cmath>

namespace {

// Below this shadow half-width the detectors an ellipse can reach are found
// in doubles with a margin of two detectors; beyond it every one is visited.
constexpr double kWindowLimit = 1e12;

// First and last detector whose ray can cross a shadow of half-width
// `reach`: the chord needs |i + offset| < r, and |i + offset| >= r + 2 gives
// a squared distance that rounds above r^2. Empty when last < first.
void RayWindow(double reach, double offset, int detectors, int *first, int *last) {
    *first = 0;
    *last = detectors - 1;
    if (!(reach < kWindowLimit)) return;
    double lo = std::ceil(-offset - reach - 2);
    double hi = std::floor(-offset + reach + 2);
    if (lo > *first) *first = lo > *last ? detectors : static_cast<int>(lo);
    if (hi < *last) *last = hi < 0 ? -1 : static_cast<int>(hi);
}

}  // namespace

EllipseInView SeeEllipse(const Ellipse &e, double cosine, double sine, double axis) {
    Real cos_phi, sin_phi;
    DegreesCosineSine(e.angle, &cos_phi, &sin_phi);
    // cos and sin of theta - phi: the view's normal against the a axis.
    Real cos_alpha = static_cast<Real>(cosine) * cos_phi + static_cast<Real>(sine) * sin_phi;
    Real sin_alpha = static_cast<Real>(sine) * cos_phi - static_cast<Real>(cosine) * sin_phi;
    Real a2 = static_cast<Real>(e.a) * e.a;
    Real b2 = static_cast<Real>(e.b) * e.b;
    // The smaller square plus a positive part: no cancellation, and a disk's
    // r^2 is its a^2 exactly.
    Real squared = e.a >= e.b ? b2 + (a2 - b2) * cos_alpha * cos_alpha : a2 + (b2 - a2) * sin_alpha * sin_alpha;
    Real factor = 2 * static_cast<Real>(e.a) * e.b / squared;

    EllipseInView seen;
    double shifted = -axis - static_cast<Real>(cosine) * e.xc;
    seen.offset = shifted - static_cast<Real>(sine) * e.yc;
    seen.squared = squared;
    seen.weight = factor * e.value;
    seen.reach = std::sqrt(static_cast<double>(squared));
    return seen;
}

double AddEllipseTerm(const EllipseInView &seen, double detector, double sample) {
    double u = static_cast<Real>(detector) + seen.offset;
    double u2 = static_cast<Real>(u) * u;
    double d = seen.squared - u2;
    if (!(d > 0)) return sample;
    return sample + seen.weight * static_cast<Real>(std::sqrt(d));
}

double PhantomRaySum(const Phantom &phantom, double cosine, double sine, double axis, double detector) {
    double sample = 0;
    for (int e = 0; e < phantom.count; ++e) {
        sample = AddEllipseTerm(SeeEllipse(phantom.ellipses[e], cosine, sine, axis), detector, sample);
    }
    return sample;
}

void PhantomView(const Phantom &phantom, double cosine, double sine, double axis, int detectors, double *view) {
    for (int i = 0; i < detectors; ++i) view[i] = 0;
    for (int e = 0; e < phantom.count; ++e) {
        EllipseInView seen = SeeEllipse(phantom.ellipses[e], cosine, sine, axis);
        int first, last;
        RayWindow(seen.reach, seen.offset, detectors, &first, &last);
        for (int i = first; i <= last; ++i) view[i] = AddEllipseTerm(seen, i, view[i]);
    }
}
