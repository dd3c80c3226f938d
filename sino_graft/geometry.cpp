#include "geometry.h"

#include <climits>
#include <cmath>

#include "real.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// A ceiling that must fit a signed 32-bit count.
bool CeilingFits(double value, long long *result) {
    if (!(std::fabs(value) < 4e9)) return false;
    *result = static_cast<long long>(std::ceil(value));
    return *result >= INT_MIN && *result <= INT_MAX;
}

}  // namespace

Status ComputeGeometry(const GraftInputs &in, GraftGeometry *g) {
    if (!std::isfinite(in.ot)) return Failure("bad rotation angle.");
    if (!std::isfinite(in.dx) || !std::isfinite(in.dy)) return Failure("bad shift.");
    g->in = in;
    const double ot = in.ot, dx = in.dx, dy = in.dy;

    g->theta0 = (std::fmod(ot, 360.0) + static_cast<Real>(360)) * kPi / 180;
    double h1 = in.n1 * static_cast<Real>(0.5) - 0.5;
    double h0 = static_cast<Real>(in.n0) * in.ratio * 0.5 - 0.5;
    double cos0 = std::cos(g->theta0), sin0 = std::sin(g->theta0);
    g->px = (static_cast<Real>(dx) + h1) - (static_cast<Real>(cos0) - sin0) * h0;
    g->py = (static_cast<Real>(dy) + h1) - (static_cast<Real>(sin0) + cos0) * h0;
    g->dphi = static_cast<Real>(kPi) / in.m1;

    for (int k = 0; k < in.m1; ++k) {
        double phi = static_cast<Real>(k) * g->dphi;
        double e = static_cast<Real>(std::cos(phi)) * g->px - static_cast<Real>(std::sin(phi)) * g->py;
        if (k == 0) {
            g->emin = g->emax = e;
        } else if (e < g->emin) {
            g->emin = e;
        } else if (e > g->emax) {
            g->emax = e;
        }
    }

    const char *too_large = "SG2 too large.";
    double before = static_cast<Real>(in.ratio) * in.c0 + g->emax - in.c1;
    long long pad = 0;
    if (!(before < 0) && !CeilingFits(before, &pad)) return Failure(too_large);
    long long end1 = pad + in.n1;
    g->c2 = static_cast<Real>(pad) + in.c1;
    double after = (static_cast<Real>(in.n0 - 1) - in.c0) * in.ratio + g->c2 - g->emin;
    long long last = 0;
    if (!CeilingFits(after, &last)) return Failure(too_large);
    long long width = last + 1 > end1 ? last + 1 : end1;
    if (end1 > INT_MAX || width > INT_MAX) return Failure(too_large);
    g->pad = static_cast<int>(pad);
    g->end1 = static_cast<int>(end1);
    g->width = static_cast<int>(width);
    return Success();
}

void SplitRowPosition(Real p, int m0, int *row, double *fy) {
    *row = static_cast<int>(p);
    *fy = p - *row;
    if (*row >= m0) {
        // P rounded up to M0 exactly: sample the mirrored row at full weight.
        *row = m0 - 1;
        *fy = 1;
    }
}

ViewPlacement PlaceView(const GraftGeometry &g, int k) {
    double phi = static_cast<Real>(k) * g.dphi;
    double m = static_cast<Real>(std::cos(phi)) * g.px - static_cast<Real>(std::sin(phi)) * g.py - g.c2;
    double a = std::fmod(static_cast<Real>(phi) + g.theta0, static_cast<Real>(kTwoPi));
    Real p = static_cast<Real>(a) * g.in.m0 / kPi;
    ViewPlacement view;
    if (g.in.m0 > p) {
        view.s = 1 / static_cast<Real>(g.in.ratio);
    } else {
        p = p - g.in.m0;
        view.s = -1 / static_cast<Real>(g.in.ratio);
    }
    SplitRowPosition(p, g.in.m0, &view.row, &view.fy);
    view.base = static_cast<Real>(view.s) * m + g.in.c0;
    return view;
}
