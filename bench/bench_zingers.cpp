// The zinger filter's cost: RemoveZingers on a band of 2 sinograms of
// 1800 views x 2048 columns of counts, against the filter it replaced (the
// median of the eight neighbours and their median absolute deviation, two
// columns at a time: its inner loop, kept here as it was) and against one
// copy of the band.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <emmintrin.h>

#include "bench.h"
#include "real.h"
#include "zingers.h"

namespace {

inline __m128d Min(__m128d a, __m128d b) { return _mm_min_pd(b, a); }
inline __m128d Max(__m128d a, __m128d b) { return _mm_max_pd(b, a); }
inline void Order(__m128d &a, __m128d &b) {
    __m128d low = Min(a, b);
    b = Max(a, b);
    a = low;
}

// The former rule's interior: every view with views above and below,
// columns 1 ... columns - 2, two at a time.
long long FormerFilter(double *band, int rows, int views, int columns, double threshold) {
    std::size_t width = static_cast<std::size_t>(columns);
    std::vector<double> previous(width), current(width);
    long long replaced = 0;
    const __m128d zero = _mm_setzero_pd(), limit = _mm_set1_pd(threshold), two = _mm_set1_pd(2.0);
    for (int j = 0; j < rows; ++j) {
        double *sinogram = band + static_cast<std::size_t>(j) * views * width;
        std::memcpy(previous.data(), sinogram, width * sizeof(double));
        for (int v = 1; v + 1 < views; ++v) {
            double *row = sinogram + static_cast<std::size_t>(v) * width;
            const double *above = previous.data(), *below = row + width;
            std::memcpy(current.data(), row, width * sizeof(double));
            const double *at = current.data();
            for (int c = 1; c + 1 < columns - 1; c += 2) {
                __m128d a[8] = {_mm_loadu_pd(above + c - 1), _mm_loadu_pd(above + c), _mm_loadu_pd(above + c + 1),
                                _mm_loadu_pd(at + c - 1),    _mm_loadu_pd(at + c + 1), _mm_loadu_pd(below + c - 1),
                                _mm_loadu_pd(below + c),     _mm_loadu_pd(below + c + 1)};
                __m128d total = a[0] + a[1] + a[2] + a[3] + a[4] + a[5] + a[6] + a[7];
                __m128d finite = _mm_cmpeq_pd(total - total, zero);
                Order(a[0], a[2]), Order(a[1], a[3]), Order(a[4], a[6]), Order(a[5], a[7]);
                Order(a[0], a[4]), Order(a[1], a[5]), Order(a[2], a[6]), Order(a[3], a[7]);
                Order(a[0], a[1]), Order(a[2], a[3]), Order(a[4], a[5]), Order(a[6], a[7]);
                Order(a[2], a[4]), Order(a[3], a[5]), Order(a[1], a[4]), Order(a[3], a[6]);
                Order(a[1], a[2]), Order(a[3], a[4]), Order(a[5], a[6]);
                __m128d m = (a[3] + a[4]) / two;
                __m128d d0 = m - a[0], d1 = m - a[1], d2 = m - a[2], d3 = m - a[3];
                __m128d u4 = a[4] - m, u5 = a[5] - m, u6 = a[6] - m, u7 = a[7] - m;
                __m128d fourth = Min(Min(Min(u7, Max(d3, u6)), Min(Max(d2, u5), Max(d1, u4))), d0);
                __m128d fifth = Max(Max(Max(u4, Min(d0, u5)), Max(Min(d1, u6), Min(d2, u7))), d3);
                __m128d spread = _mm_set1_pd(1.4826) * ((fourth + fifth) / two);
                __m128d x = _mm_loadu_pd(at + c);
                __m128d zinger = _mm_and_pd(finite, _mm_cmpgt_pd(x - m, limit * spread));
                _mm_storeu_pd(row + c, _mm_or_pd(_mm_and_pd(zinger, m), _mm_andnot_pd(zinger, x)));
                replaced += __builtin_popcount(static_cast<unsigned>(_mm_movemask_pd(zinger)));
            }
            std::swap(previous, current);
        }
    }
    return replaced;
}

}  // namespace

void BenchZingers() {
    const int rows = 2, views = 1800, columns = 2048;
    std::vector<double> band(static_cast<std::size_t>(rows) * views * columns), work(band.size());
    // Counts of a smooth object with a noise-like ripple, so that the
    // decisions vary.
    for (std::size_t i = 0; i < band.size(); ++i) {
        double c = static_cast<double>(i % columns) / columns - 0.5;
        band[i] = 20000 * std::exp(-2 * std::max(0.0, 0.16 - c * c) * 6) + 150 * std::sin(static_cast<double>(i) * 0.7);
    }
    std::vector<double> angles(views);
    for (int v = 0; v < views; ++v) angles[v] = v * kPi / views;
    double copy = BestSeconds(5, [&] { std::memcpy(work.data(), band.data(), band.size() * sizeof(double)); });
    long long former_count = 0, count = 0;
    double former = BestSeconds(5, [&] {
        work = band;
        former_count = FormerFilter(work.data(), rows, views, columns, 5);
    });
    former -= copy;
    struct Run {
        const char *name;
        ZingerNoise noise;
    } runs[] = {{"counts", {kUsualZingerThreshold, true}}, {"spread alone", {kUsualZingerThreshold, false}}};
    for (const Run &r : runs) {
        double seconds = BestSeconds(5, [&] {
            work = band;
            if (!RemoveZingers(work.data(), rows, views, columns, angles.data(), r.noise, &count).ok()) std::exit(1);
        });
        seconds -= copy;
        std::printf("zingers %d x %d x %d (%s): %.3f s, the former filter %.3f s (ratio %.2f), a copy of the band "
                    "%.3f s (ratio %.1f); replaced %lld, the former %lld\n",
                    rows, views, columns, r.name, seconds, former, seconds / former, copy, seconds / copy, count,
                    former_count);
    }
}
