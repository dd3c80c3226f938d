// Golden-section search: the minimum of a function of one real variable
// that has a single minimum within [lo, hi], to 1e-9 or 60 steps.
#pragma once

#include <cmath>

template <class Function>
double GoldenSection(const Function &f, double lo, double hi) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
    double fa = f(a), fb = f(b);
    for (int i = 0; i < 60 && hi - lo > 1e-9; ++i) {
        if (fa <= fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - ratio * (hi - lo);
            fa = f(a);
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + ratio * (hi - lo);
            fb = f(b);
        }
    }
    return (lo + hi) / 2;
}
