#include "outliers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "memory.h"

namespace {

// The share of views whose peak may be larger than the scale: a few views
// that hold a cluster of outliers, or that see a flat object edge-on, do
// not set it.
constexpr double kPeakQuantile = 0.9;

double Median3(double a, double b, double c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// The largest of one view's 3 x 3 medians of magnitudes, computed as a
// median of three along the views and then one along the detectors (the
// lower of two at the edges): five outliers must meet before it moves.
double ViewPeak(const double *samples, int n, int m, int k, double *row) {
    const double *here = samples + static_cast<std::size_t>(k) * n;
    const double *before = k > 0 ? here - n : nullptr;
    const double *after = k + 1 < m ? here + n : nullptr;
    for (int s = 0; s < n; ++s) {
        double v = std::fabs(here[s]);
        if (before != nullptr && after != nullptr) {
            v = Median3(std::fabs(before[s]), v, std::fabs(after[s]));
        } else if (before != nullptr || after != nullptr) {
            v = std::min(v, std::fabs((before != nullptr ? before : after)[s]));
        }
        row[s] = v;
    }
    if (n == 1) return row[0];
    double peak = std::min(row[0], row[1]);
    for (int s = 1; s + 1 < n; ++s) peak = std::max(peak, Median3(row[s - 1], row[s], row[s + 1]));
    return std::max(peak, std::min(row[n - 2], row[n - 1]));
}

// The median of the neighbours of sample (k, s) whose magnitude is within
// the limit.
double NeighbourMedian(const double *samples, int n, int m, int k, int s, double limit) {
    double values[8];
    int count = 0;
    for (int dk = -1; dk <= 1; ++dk) {
        for (int ds = -1; ds <= 1; ++ds) {
            int kk = k + dk, ss = s + ds;
            if ((dk == 0 && ds == 0) || kk < 0 || kk >= m || ss < 0 || ss >= n) continue;
            double v = samples[static_cast<std::size_t>(kk) * n + ss];
            if (std::fabs(v) <= limit) values[count++] = v;
        }
    }
    if (count == 0) return 0;
    for (int i = 1; i < count; ++i) {
        for (int j = i; j > 0 && values[j - 1] > values[j]; --j) std::swap(values[j - 1], values[j]);
    }
    return count % 2 != 0 ? values[count / 2] : 0.5 * (values[count / 2 - 1] + values[count / 2]);
}

}  // namespace

bool AllocateOutlierWork(OutlierWork *work, int detectors, int views) {
    *work = OutlierWork{};
    work->detectors = detectors;
    work->views = views;
    std::size_t samples = static_cast<std::size_t>(detectors) * static_cast<std::size_t>(views);
    work->outliers.capacity = std::max<std::size_t>(samples / 32, 16);
    if (!work->row.Allocate(detectors) || !work->peaks.Allocate(views) || !work->index.Allocate(work->outliers.capacity) ||
        !work->value.Allocate(work->outliers.capacity))
        return false;
    work->outliers.index = work->index;
    work->outliers.value = work->value;
    return true;
}

bool FindOutliers(const double *samples, OutlierWork *work) {
    const int n = work->detectors, m = work->views;
    Outliers *out = &work->outliers;
    out->count = 0;
    for (int k = 0; k < m; ++k) work->peaks[k] = ViewPeak(samples, n, m, k, work->row);
    int at = static_cast<int>(kPeakQuantile * (m - 1));
    double *peaks = work->peaks;
    std::nth_element(peaks, peaks + at, peaks + m);
    double scale = work->peaks[at];
    // Without a scale (medians all zero: only specks of a detector or less)
    // nothing is taken for an outlier.
    out->limit = scale > 0 ? kOutlierFactor * scale : std::numeric_limits<double>::infinity();
    const std::size_t total = static_cast<std::size_t>(n) * static_cast<std::size_t>(m);
    double largest = 0;
    for (std::size_t i = 0; i < total; ++i) {
        double magnitude = std::fabs(samples[i]);
        if (!(magnitude > out->limit)) {
            largest = std::max(largest, magnitude);
            continue;
        }
        if (out->count == out->capacity) return false;
        int k = static_cast<int>(i / n), s = static_cast<int>(i % n);
        out->index[out->count] = i;
        out->value[out->count] = NeighbourMedian(samples, n, m, k, s, out->limit);
        largest = std::max(largest, std::fabs(out->value[out->count]));
        ++out->count;
    }
    out->largest = largest;
    return true;
}

void PatchView(const Outliers &outliers, int view, int detectors, const double *window, double *row) {
    if (outliers.count == 0) return;
    std::size_t first = static_cast<std::size_t>(view) * static_cast<std::size_t>(detectors);
    std::size_t end = first + static_cast<std::size_t>(detectors);
    const std::size_t *at = std::lower_bound(outliers.index, outliers.index + outliers.count, first);
    for (; at != outliers.index + outliers.count && *at < end; ++at) {
        std::size_t s = *at - first;
        double value = outliers.value[at - outliers.index];
        row[s] = window != nullptr ? window[s] * value : value;
    }
}

double UnitScale(double largest) {
    if (largest == 0) return 1;
    int exponent = 0;
    std::frexp(largest, &exponent);
    // A subnormal largest sample would ask for more than 2^1023.
    return std::ldexp(1.0, exponent < -1020 ? 1020 : -exponent);
}
