#include "fold.h"

#include <climits>
#include <cmath>

#include "real.h"

namespace {

// The axis counts as near the middle within this share of the detector.
constexpr double kNearMiddle = 1.0 / 8;

// Lobes of the interpolating kernel.
constexpr int kLobes = 3;

// sinc(x) sinc(x / kLobes), for 0 < |x| < kLobes.
double Lanczos(double x) {
    double a = kPi * x;
    return std::sin(a) / a * std::sin(a / kLobes) / (a / kLobes);
}

int Clamped(int i, int n) { return i < 0 ? 0 : i >= n ? n - 1 : i; }

}  // namespace

void LanczosTaps(double fraction, double taps[6]) {
    double sum = 0;
    for (int i = 0; i < 2 * kLobes; ++i) sum += taps[i] = Lanczos(i - (kLobes - 1) - fraction);
    for (int i = 0; i < 2 * kLobes; ++i) taps[i] /= sum;
}

bool NearMiddle(int detectors, double center) {
    return std::fabs(center - (detectors - 1) / 2.0) <= kNearMiddle * detectors;
}

bool MakeFoldGeometry(int detectors, double center, FoldGeometry *geometry) {
    FoldGeometry g{};
    g.detectors = detectors;
    g.center = center;
    const double n1 = detectors - 1;
    // The opposite view mirrored covers [2c - (N - 1), 2c]; the union with
    // [0, N - 1] in whole columns of the view's grid.
    double from = std::fmin(0, std::ceil(2 * center - n1));
    double to = std::fmax(n1, std::floor(2 * center));
    if (to - from + 1 > INT_MAX) return false;
    g.pad = static_cast<int>(-from);
    g.width = static_cast<int>(to - from + 1);
    g.first = std::fmax(0, 2 * center - n1);
    g.last = std::fmin(n1, 2 * center);
    g.averaged = NearMiddle(detectors, center);
    g.fraction = 2 * center - std::floor(2 * center);
    if (g.fraction > 0) LanczosTaps(g.fraction, g.taps);
    *geometry = g;
    return true;
}

double OppositeAt(const double *opposite, const FoldGeometry &g, int s) {
    // 2c - s = (floor(2c) - s) + fraction.
    int j = static_cast<int>(std::floor(2 * g.center)) - s;
    if (g.fraction == 0) return opposite[Clamped(j, g.detectors)];
    double sum = 0;
    for (int i = 0; i < 2 * kLobes; ++i) sum += g.taps[i] * opposite[Clamped(j + i - (kLobes - 1), g.detectors)];
    return sum;
}

void FoldView(const double *view, const double *opposite, const FoldGeometry &g, double *folded) {
    const int n = g.detectors;
    const double span = g.last - g.first;
    // The end of the overlap where the view's own columns stop: the left
    // one when the opposite view reaches beyond the detector on the left.
    const bool own_ends_left = 2 * g.center - (n - 1) < 0;
    for (int x = 0; x < g.width; ++x) {
        int s = x - g.pad;
        bool own = s >= 0 && s < n;
        double mirror = 2 * g.center - s;
        bool other = mirror >= 0 && mirror <= n - 1;
        if (own && !other) {
            folded[x] = view[s];
            continue;
        }
        double q = OppositeAt(opposite, g, s);
        if (!own) {
            folded[x] = q;
            continue;
        }
        // Both hold it: the view's weight.
        double a = 0.5;
        if (!g.averaged) {
            a = span > 0 ? (own_ends_left ? s - g.first : g.last - s) / span : 1;
            a = std::fmin(std::fmax(a, 0), 1);
        }
        folded[x] = a * view[s] + (1 - a) * q;
    }
}

std::string HalfAcquisitionWarning(const ViewSet &views, int detectors, double center) {
    if (!CoversFullTurn(views) || NearMiddle(detectors, center)) return "";
    return "warning: the views cover the whole turn and the axis lies off the middle (half acquisition?): fold them "
           "first (sino_fold); as they are, the image is wrong.";
}
