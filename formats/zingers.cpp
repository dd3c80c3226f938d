#include "zingers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include <emmintrin.h>

#include "memory.h"
#include "threads.h"

namespace {

// 1 / Phi^-1(3/4): the median absolute deviation of Gaussian noise times
// this is its standard deviation.
constexpr double kGaussianSpread = 1.4826;

// Sorts a few values (fewer than eight) in place.
void SortFew(double *v, int count) {
    for (int i = 1; i < count; ++i)
        for (int k = i; k > 0 && v[k] < v[k - 1]; --k) std::swap(v[k], v[k - 1]);
}

double MedianOfSorted(const double *v, int count) {
    return count % 2 == 1 ? v[count / 2] : (v[count / 2 - 1] + v[count / 2]) / 2;
}

// Replaces the sample at column c of `row` when it is a zinger among those
// of its neighbours that exist and are finite; `current` holds the row as
// read, `above` and `below` the views around it (nullptr at the ends).
bool ReplaceOne(double *row, const double *above, const double *current, const double *below, int c, int columns,
                double threshold) {
    double neighbours[8];
    int count = 0;
    for (int at = c - 1; at <= c + 1; ++at) {
        if (at < 0 || at >= columns) continue;
        if (above != nullptr && std::isfinite(above[at])) neighbours[count++] = above[at];
        if (at != c && std::isfinite(current[at])) neighbours[count++] = current[at];
        if (below != nullptr && std::isfinite(below[at])) neighbours[count++] = below[at];
    }
    double median;
    if (!IsZinger(current[c], neighbours, count, threshold, &median)) return false;
    row[c] = median;
    return true;
}

// The median of eight finite neighbours and their spread, for one column
// (double) or two side by side (__m128d, SSE2), with the same operations
// in the same order either way. The neighbours are sorted by an optimal
// network of 19 comparisons; the median absolute deviation comes from the
// sorted values themselves: the deviations below the median, m - a3 ...
// m - a0, and above it, a4 - m ... a7 - m, are two sorted lists, and their
// 4th and 5th smallest are picked from the pairs that can hold them.
inline double Min(double a, double b) { return b < a ? b : a; }
inline double Max(double a, double b) { return a < b ? b : a; }
inline __m128d Min(__m128d a, __m128d b) { return _mm_min_pd(b, a); }
inline __m128d Max(__m128d a, __m128d b) { return _mm_max_pd(b, a); }
inline double Splat(double value, double) { return value; }
inline __m128d Splat(double value, __m128d) { return _mm_set1_pd(value); }

template <typename V>
inline void Order(V &a, V &b) {
    V low = Min(a, b);
    b = Max(a, b);
    a = low;
}

template <typename V>
inline void MedianAndSpread(V a[8], V *median, V *spread) {
    Order(a[0], a[2]), Order(a[1], a[3]), Order(a[4], a[6]), Order(a[5], a[7]);
    Order(a[0], a[4]), Order(a[1], a[5]), Order(a[2], a[6]), Order(a[3], a[7]);
    Order(a[0], a[1]), Order(a[2], a[3]), Order(a[4], a[5]), Order(a[6], a[7]);
    Order(a[2], a[4]), Order(a[3], a[5]), Order(a[1], a[4]), Order(a[3], a[6]);
    Order(a[1], a[2]), Order(a[3], a[4]), Order(a[5], a[6]);
    V two = Splat(2.0, a[0]);
    V m = (a[3] + a[4]) / two;
    V d0 = m - a[0], d1 = m - a[1], d2 = m - a[2], d3 = m - a[3];
    V u4 = a[4] - m, u5 = a[5] - m, u6 = a[6] - m, u7 = a[7] - m;
    V fourth = Min(Min(Min(u7, Max(d3, u6)), Min(Max(d2, u5), Max(d1, u4))), d0);
    V fifth = Max(Max(Max(u4, Min(d0, u5)), Max(Min(d1, u6), Min(d2, u7))), d3);
    *median = m;
    *spread = Splat(kGaussianSpread, m) * ((fourth + fifth) / two);
}

// The eight neighbours of column c (or of c and c + 1).
template <typename V>
inline V Load(const double *at);
template <>
inline double Load<double>(const double *at) { return *at; }
template <>
inline __m128d Load<__m128d>(const double *at) { return _mm_loadu_pd(at); }

template <typename V>
inline void Neighbours(const double *above, const double *current, const double *below, int c, V a[8]) {
    a[0] = Load<V>(above + c - 1), a[1] = Load<V>(above + c), a[2] = Load<V>(above + c + 1);
    a[3] = Load<V>(current + c - 1), a[4] = Load<V>(current + c + 1);
    a[5] = Load<V>(below + c - 1), a[6] = Load<V>(below + c), a[7] = Load<V>(below + c + 1);
}

// Columns 1 ... columns - 2 of a view that has views above and below: the
// decision of IsZinger for eight finite neighbours, two columns at a time.
// A column whose neighbours are not all finite is left as it is and
// counted in *unsure.
long long InteriorColumns(double *row, const double *above, const double *current, const double *below, int columns,
                          double threshold, long long *unsure) {
    long long replaced = 0, doubtful = 0;
    const __m128d zero = _mm_setzero_pd(), limit = _mm_set1_pd(threshold);
    int c = 1;
    for (; c + 1 < columns - 1; c += 2) {
        __m128d a[8];
        Neighbours(above, current, below, c, a);
        __m128d total = a[0] + a[1] + a[2] + a[3] + a[4] + a[5] + a[6] + a[7];
        __m128d finite = _mm_cmpeq_pd(total - total, zero);
        __m128d m, spread;
        MedianAndSpread(a, &m, &spread);
        __m128d x = _mm_loadu_pd(current + c);
        __m128d zinger = _mm_and_pd(finite, _mm_cmpgt_pd(x - m, limit * spread));
        _mm_storeu_pd(row + c, _mm_or_pd(_mm_and_pd(zinger, m), _mm_andnot_pd(zinger, x)));
        replaced += __builtin_popcount(static_cast<unsigned>(_mm_movemask_pd(zinger)));
        doubtful += 2 - __builtin_popcount(static_cast<unsigned>(_mm_movemask_pd(finite)));
    }
    for (; c < columns - 1; ++c) {
        double a[8];
        Neighbours(above, current, below, c, a);
        double total = a[0] + a[1] + a[2] + a[3] + a[4] + a[5] + a[6] + a[7];
        if (!(total - total == 0)) {
            ++doubtful;
            continue;
        }
        double m, spread;
        MedianAndSpread(a, &m, &spread);
        if (current[c] - m > threshold * spread) {
            row[c] = m;
            ++replaced;
        }
    }
    *unsure = doubtful;
    return replaced;
}

// Filters one sinogram in place; `previous` and `current` hold a view's
// samples as read, so that the view below still sees them once replaced.
long long FilterSinogram(double *sinogram, int views, int columns, double threshold, double *previous,
                         double *current) {
    long long replaced = 0;
    std::size_t width = static_cast<std::size_t>(columns);
    for (int v = 0; v < views; ++v) {
        double *row = sinogram + static_cast<std::size_t>(v) * width;
        const double *above = v > 0 ? previous : nullptr;
        const double *below = v + 1 < views ? row + width : nullptr;
        std::memcpy(current, row, width * sizeof(double));
        if (above == nullptr || below == nullptr || columns < 3) {
            for (int c = 0; c < columns; ++c) replaced += ReplaceOne(row, above, current, below, c, columns, threshold);
        } else {
            long long unsure = 0;
            replaced += InteriorColumns(row, above, current, below, columns, threshold, &unsure);
            replaced += ReplaceOne(row, above, current, below, 0, columns, threshold);
            replaced += ReplaceOne(row, above, current, below, columns - 1, columns, threshold);
            // The columns whose neighbours were not all finite, the general way.
            for (int c = 1; unsure > 0 && c < columns - 1; ++c) {
                double total = above[c - 1] + above[c] + above[c + 1] + current[c - 1] + current[c + 1] +
                               below[c - 1] + below[c] + below[c + 1];
                if (total - total != 0) replaced += ReplaceOne(row, above, current, below, c, columns, threshold);
            }
        }
        std::swap(previous, current);
    }
    return replaced;
}

}  // namespace

bool IsZinger(double sample, const double *neighbours, int count, double threshold, double *median) {
    if (count == 0) return false;
    double sorted[8];
    std::copy(neighbours, neighbours + count, sorted);
    double middle, spread;
    if (count == 8) {
        MedianAndSpread(sorted, &middle, &spread);
    } else {
        SortFew(sorted, count);
        middle = MedianOfSorted(sorted, count);
        for (int i = 0; i < count; ++i) sorted[i] = std::fabs(sorted[i] - middle);
        SortFew(sorted, count);
        spread = kGaussianSpread * MedianOfSorted(sorted, count);
    }
    if (!(sample - middle > threshold * spread)) return false;
    *median = middle;
    return true;
}

Status RemoveZingers(double *band, int rows, int views, int columns, double threshold, long long *replaced) {
    *replaced = 0;
    if (rows <= 0) return Success();
    std::size_t sinogram = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns);
    std::size_t width = static_cast<std::size_t>(columns);
    int threads = ThreadsFor(rows);
    // Each thread keeps two views as read.
    auto *scratch = static_cast<double *>(AllocateArray(static_cast<std::size_t>(threads) * 2 * width, sizeof(double)));
    if (scratch == nullptr) return Failure("memory allocation error.");
    long long total = 0;
#pragma omp parallel num_threads(threads) reduction(+ : total)
    {
        std::size_t thread = 0;
#ifdef _OPENMP
        thread = static_cast<std::size_t>(omp_get_thread_num());
#endif
        double *mine = scratch + thread * 2 * width;
#pragma omp for schedule(dynamic, 1)
        for (int j = 0; j < rows; ++j)
            total += FilterSinogram(band + static_cast<std::size_t>(j) * sinogram, views, columns, threshold, mine,
                                    mine + width);
    }
    ReleaseArray(scratch);
    *replaced = total;
    return Success();
}
