#include "disks.h"

#include <cfloat>
#include <cmath>

#include "args.h"
#include "sink.h"

namespace {

// Below this radius the window of rays that can cross a disk is computed in
// doubles with a margin of two detectors; beyond it every ray is visited.
constexpr double kWindowLimit = 1e12;

// First and last detector whose ray can cross a disk of radius a: the chord
// needs |i + offset| < a, and |i + offset| >= a + 2 gives a squared distance
// that rounds above a * a. Empty when last < first.
void RayWindow(double a, double offset, int detectors, int *first, int *last) {
    *first = 0;
    *last = detectors - 1;
    if (!(a < kWindowLimit) || !std::isfinite(offset)) return;
    double lo = std::ceil(-offset - a - 2);
    double hi = std::floor(-offset + a + 2);
    if (lo > *first) *first = lo > *last ? detectors : static_cast<int>(lo);
    if (hi < *last) *last = hi < 0 ? -1 : static_cast<int>(hi);
}

}  // namespace

void ParseRadii(char *const *arguments, int count, double *radius, Real *squared) {
    for (int r = 0; r < count; ++r) {
        double value = RealArgument(arguments[count - 1 - r]);
        radius[r] = value;
        squared[r] = static_cast<Real>(value) * value;
    }
}

bool ChordsOverflow(const double *radius, const Real *squared, int count) {
    Real sum = 0;
    bool large = false;
    for (int r = 0; r < count; ++r) {
        if (!std::isfinite(radius[r])) return false;
        sum += 2 * std::fabs(static_cast<Real>(radius[r]));
        if (squared[r] > DBL_MAX) large = true;
    }
    return large || sum > DBL_MAX;
}

double ViewOffset(int detectors, double dtheta, int k, double xc, double yc) {
    double s0 = (1 - static_cast<double>(detectors)) * 0.5;
    double theta = static_cast<Real>(k) * dtheta;
    double shifted = s0 - static_cast<Real>(std::cos(theta)) * xc;
    return shifted - static_cast<Real>(std::sin(theta)) * yc;
}

void DiskView(const Disks &disks, int detectors, double offset, double *t2, double *view) {
    int first_all = detectors;
    int last_all = -1;
    for (int r = 0; r < disks.count; ++r) {
        int first, last;
        RayWindow(std::fabs(disks.radius[r]), offset, detectors, &first, &last);
        if (first < first_all) first_all = first;
        if (last > last_all) last_all = last;
    }
    for (int i = first_all; i <= last_all; ++i) {
        double t = static_cast<Real>(i) + offset;
        t2[i] = static_cast<Real>(t) * t;
    }
    for (int i = 0; i < detectors; ++i) view[i] = 0;

    for (int r = 0; r < disks.count; ++r) {
        double radius = disks.radius[r];
        // A zero or not-a-number radius never gives d > 0.
        if (!(radius != 0)) continue;
        Real squared = disks.squared[r];
        int first, last;
        RayWindow(std::fabs(radius), offset, detectors, &first, &last);
        for (int i = first; i <= last; ++i) {
            double d = squared - t2[i];
            if (d > 0) {
                double chord = 2 * static_cast<Real>(std::sqrt(d));
                view[i] = radius > 0 ? view[i] + static_cast<Real>(chord)
                                     : view[i] - static_cast<Real>(chord);
            }
        }
    }
}

Status WriteDiskViews(SampleSink *sink, double *t2, const Disks &disks, int detectors, int views, double xc,
                      double yc) {
    std::size_t n = static_cast<std::size_t>(detectors);
    double dtheta = static_cast<Real>(kPi) / views;
    for (int k = 0; k < views; ++k) {
        double *view = nullptr;
        Status room = SinkSpace(sink, n, &view);
        if (!room.ok()) return room;
        DiskView(disks, detectors, ViewOffset(detectors, dtheta, k, xc, yc), t2, view);
        SinkAdvance(sink, n);
    }
    return SinkFlush(sink);
}
