#include "zingers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include <emmintrin.h>

#include "median.h"
#include "memory.h"
#include "real.h"
#include "threads.h"

namespace {

// 1 / Phi^-1(3/4): the median absolute deviation of Gaussian noise times
// this is its standard deviation.
constexpr double kGaussianSpread = 1.4826;

// Sorts a few values (at most eight) in place.
void SortFew(double *v, int count) {
    for (int i = 1; i < count; ++i)
        for (int k = i; k > 0 && v[k] < v[k - 1]; --k) std::swap(v[k], v[k - 1]);
}

// The arithmetic of a full ring, for one column (double) or two side by
// side (__m128d, SSE2), with the same operations in the same order either
// way.
inline double Min(double a, double b) { return b < a ? b : a; }
inline double Max(double a, double b) { return a < b ? b : a; }
inline __m128d Min(__m128d a, __m128d b) { return _mm_min_pd(b, a); }
inline __m128d Max(__m128d a, __m128d b) { return _mm_max_pd(b, a); }
inline double Splat(double value, double) { return value; }
inline __m128d Splat(double value, __m128d) { return _mm_set1_pd(value); }
inline double Root(double a) { return std::sqrt(a); }
inline __m128d Root(__m128d a) { return _mm_sqrt_pd(a); }
inline double Absolute(double a) { return std::fabs(a); }
inline __m128d Absolute(__m128d a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }

template <typename V>
inline void Order(V &a, V &b) {
    V low = Min(a, b);
    b = Max(a, b);
    a = low;
}

// Sorts eight values by an optimal network of 19 comparisons.
template <typename V>
inline void SortEight(V a[8]) {
    Order(a[0], a[2]), Order(a[1], a[3]), Order(a[4], a[6]), Order(a[5], a[7]);
    Order(a[0], a[4]), Order(a[1], a[5]), Order(a[2], a[6]), Order(a[3], a[7]);
    Order(a[0], a[1]), Order(a[2], a[3]), Order(a[4], a[5]), Order(a[6], a[7]);
    Order(a[2], a[4]), Order(a[3], a[5]), Order(a[1], a[4]), Order(a[3], a[6]);
    Order(a[1], a[2]), Order(a[3], a[4]), Order(a[5], a[6]);
}

// The lowest mean of two samples facing each other across the sample: no
// prediction (RingTop) is below it.
template <typename V>
inline V RingLeast(const V ring[8]) {
    V two = Splat(2.0, ring[0]);
    return Min(Min((ring[0] + ring[7]) / two, (ring[1] + ring[6]) / two), (ring[2] + ring[5]) / two);
}

// Masks: a bool for one column, all bits of a lane for two.
inline bool NotAbove(double a, double b) { return a <= b; }
inline __m128d NotAbove(__m128d a, __m128d b) { return _mm_cmple_pd(a, b); }
inline double Pick(bool mask, double a, double b) { return mask ? a : b; }
inline __m128d Pick(__m128d mask, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}
inline bool Either(bool a, bool b) { return a || b; }
inline __m128d Either(__m128d a, __m128d b) { return _mm_or_pd(a, b); }

// The highest prediction of the sample from the views around it: the mean
// of two samples facing each other across it. For counts, only the pairs
// whose two samples agree within kPairAgreement photon-noise spreads of
// their difference (the root of their sum) count, where one does: a pair
// across a steep edge predicts the mean of its two sides, far above a
// sample on the low side, and let a zinger there pass. *agreed tells
// whether one did.
template <typename V, typename M>
inline V RingTop(const V ring[8], bool counts, M *agreed) {
    V two = Splat(2.0, ring[0]);
    V first = (ring[0] + ring[7]) / two, second = (ring[1] + ring[6]) / two, third = (ring[2] + ring[5]) / two;
    V top = Max(Max(first, second), third);
    const V zero = Splat(0.0, ring[0]), one = Splat(1.0, ring[0]);
    *agreed = NotAbove(one, zero);  // none yet
    if (!counts) return top;
    const V none = Splat(-INFINITY, ring[0]), k = Splat(kPairAgreement, ring[0]);
    auto agrees = [&](V a, V b) { return NotAbove(Absolute(a - b), k * Root(Max(a + b, zero))); };
    auto m0 = agrees(ring[0], ring[7]), m1 = agrees(ring[1], ring[6]), m2 = agrees(ring[2], ring[5]);
    V best = Max(Max(Pick(m0, first, none), Pick(m1, second, none)), Pick(m2, third, none));
    *agreed = Either(Either(m0, m1), m2);
    return Pick(*agreed, best, top);
}

// The median of a full ring and the
// robust spread of the ring about the plane through its mean with its
// slopes across columns and views: the residuals' median absolute value,
// times 1.4826 (Gaussian noise) and sqrt(8 / 5) (three numbers fitted to
// eight). An edge or a slope leaves the residuals as small as the noise.
template <typename V>
inline void RingMedianAndSpread(const V ring[8], V *median, V *spread) {
    V six = Splat(6.0, ring[0]), eight = Splat(8.0, ring[0]), two = Splat(2.0, ring[0]);
    V mean = (ring[0] + ring[1] + ring[2] + ring[3] + ring[4] + ring[5] + ring[6] + ring[7]) / eight;
    V across = ((ring[2] - ring[0]) + (ring[4] - ring[3]) + (ring[7] - ring[5])) / six;
    V down = ((ring[5] - ring[0]) + (ring[6] - ring[1]) + (ring[7] - ring[2])) / six;
    V r[8] = {ring[0] - mean + across + down, ring[1] - mean + down,  ring[2] - mean - across + down,
              ring[3] - mean + across,        ring[4] - mean - across, ring[5] - mean + across - down,
              ring[6] - mean - down,          ring[7] - mean - across - down};
    for (V &x : r) x = Absolute(x);
    SortEight(r);
    V a[8] = {ring[0], ring[1], ring[2], ring[3], ring[4], ring[5], ring[6], ring[7]};
    SortEight(a);
    *median = (a[3] + a[4]) / two;
    *spread = Splat(kGaussianSpread * std::sqrt(8.0 / 5.0), ring[0]) * ((r[3] + r[4]) / two);
}

// The local noise of a sample whose neighbours have median m and robust
// spread s (ZingerNoise): s, or for counts the larger of sqrt(m) and
// `share` s; 0 where s is 0.
inline double Keep(double spread, double noise) { return spread > 0 ? noise : 0; }
inline __m128d Keep(__m128d spread, __m128d noise) {
    return _mm_and_pd(_mm_cmpgt_pd(spread, _mm_setzero_pd()), noise);
}

template <typename V>
inline V LocalNoise(V m, V spread, bool counts, double share, bool floor = false) {
    if (!counts) return spread;
    V noise = Max(Root(Max(m, Splat(0.0, m))), Splat(share, m) * spread);
    return floor ? noise : Keep(spread, noise);
}

// The local noise of a full ring's sample (LocalNoise): where a pair of
// its neighbours agreed (RingTop), their mean is a prediction to trust and
// the photon noise alone judges; otherwise the spread counts too.
template <typename V, typename M>
inline V RingNoise(V m, V spread, M agreed, ZingerNoise noise) {
    return Pick(agreed, LocalNoise(m, spread, noise.counts, 0.0, noise.photon_floor),
                LocalNoise(m, spread, noise.counts, kSpreadShare, noise.photon_floor));
}

// The highest prediction of a sample from neighbours at the given offsets
// (IsZinger): within its own view alone, on each side the adjacent column,
// or the next one where the adjacent one lies more than `limit` above it
// (a zinger beside the sample, not an edge); otherwise the mean of each
// pair of samples facing each other across it from the views around it,
// or, with none, the highest sample of those views.
double Prediction(const double *values, const int *views, const int *columns, int count, double limit) {
    bool own_view = std::all_of(views, views + count, [](int v) { return v == 0; });
    double top = -INFINITY;
    if (own_view) {
        for (int side : {-1, 1}) {
            double near = NAN, far = NAN;
            for (int i = 0; i < count; ++i) {
                if (columns[i] == side) near = values[i];
                if (columns[i] == 2 * side) far = values[i];
            }
            double guess = std::isnan(near) || (!std::isnan(far) && near - far > limit) ? far : near;
            if (!std::isnan(guess)) top = Max(top, guess);
        }
        // No column beside it to go by: no prediction, no zinger.
        return top == -INFINITY ? NAN : top;
    }
    bool paired = false;
    double highest_pair = -INFINITY;
    for (int i = 0; i < count; ++i) {
        if (views[i] == 0) continue;
        top = Max(top, values[i]);
        for (int j = i + 1; j < count; ++j) {
            if (views[j] != -views[i] || columns[j] != -columns[i]) continue;
            highest_pair = Max(highest_pair, (values[i] + values[j]) / 2);
            paired = true;
        }
    }
    return paired ? highest_pair : top;
}

// Any number of neighbours at the given offsets: their median, and the
// robust spread about the plane through their mean with the slopes of
// their values across columns and views (a slope only where their offsets
// differ), scaled for the numbers fitted, 0 when there are no more
// neighbours than numbers fitted.
void MedianAndSpread(const double *values, const int *views, const int *columns, int count, double *median,
                     double *spread) {
    double sorted[8];
    std::copy(values, values + count, sorted);
    SortFew(sorted, count);
    *median = MedianOfSorted(sorted, count);
    double mean = 0, mean_view = 0, mean_column = 0;
    for (int i = 0; i < count; ++i) mean += values[i], mean_view += views[i], mean_column += columns[i];
    mean /= count, mean_view /= count, mean_column /= count;
    double vv = 0, cc = 0, va = 0, ca = 0;
    for (int i = 0; i < count; ++i) {
        double v = views[i] - mean_view, c = columns[i] - mean_column, a = values[i] - mean;
        vv += v * v, cc += c * c, va += v * a, ca += c * a;
    }
    double down = vv > 0 ? va / vv : 0, across = cc > 0 ? ca / cc : 0;
    int fitted = 1 + (vv > 0) + (cc > 0);
    if (count <= fitted) {
        *spread = 0;
        return;
    }
    for (int i = 0; i < count; ++i)
        sorted[i] = std::fabs(values[i] - mean - down * (views[i] - mean_view) - across * (columns[i] - mean_column));
    SortFew(sorted, count);
    *spread = kGaussianSpread * std::sqrt(static_cast<double>(count) / (count - fitted)) * MedianOfSorted(sorted, count);
}

// Replaces the sample at column c of `row` when it is a zinger among those
// of its neighbours that exist and are finite; `current` holds the row as
// read, `above` and `below` the close views around it (nullptr where there
// is none). With neither, the four columns on either side in its own view.
bool ReplaceOne(double *row, const double *above, const double *current, const double *below, int c, int columns,
                ZingerNoise noise) {
    double values[8];
    int views[8], offsets[8];
    int count = 0;
    auto add = [&](const double *line, int view, int at) {
        if (line == nullptr || at < 0 || at >= columns || !std::isfinite(line[at])) return;
        values[count] = line[at], views[count] = view, offsets[count] = at - c;
        ++count;
    };
    if (above == nullptr && below == nullptr) {
        for (int at : {c - 4, c - 3, c - 2, c - 1, c + 1, c + 2, c + 3, c + 4}) add(current, 0, at);
    } else {
        for (int i = 0; i < 8; ++i)
            add(kRingViews[i] < 0 ? above : kRingViews[i] > 0 ? below : current, kRingViews[i], c + kRingColumns[i]);
    }
    double median;
    if (!IsZinger(current[c], values, views, offsets, count, noise, &median)) return false;
    row[c] = median;
    return true;
}

// The ring of column c (or of c and c + 1).
template <typename V>
inline V Load(const double *at);
template <>
inline double Load<double>(const double *at) { return *at; }
template <>
inline __m128d Load<__m128d>(const double *at) { return _mm_loadu_pd(at); }

template <typename V>
inline void Ring(const double *above, const double *current, const double *below, int c, V a[8]) {
    a[0] = Load<V>(above + c - 1), a[1] = Load<V>(above + c), a[2] = Load<V>(above + c + 1);
    a[3] = Load<V>(current + c - 1), a[4] = Load<V>(current + c + 1);
    a[5] = Load<V>(below + c - 1), a[6] = Load<V>(below + c), a[7] = Load<V>(below + c + 1);
}

// Columns 1 ... columns - 2 of a view that has close views above and
// below: the decision of IsZinger for a full ring, two columns at a time.
// A column whose ring is not all finite is left as it is and counted in
// *unsure.
long long InteriorColumns(double *row, const double *above, const double *current, const double *below, int columns,
                          ZingerNoise noise, long long *unsure) {
    long long replaced = 0, doubtful = 0;
    const __m128d zero = _mm_setzero_pd(), limit = _mm_set1_pd(noise.threshold);
    int c = 1;
    for (; c + 1 < columns - 1; c += 2) {
        __m128d a[8];
        Ring(above, current, below, c, a);
        __m128d total = a[0] + a[1] + a[2] + a[3] + a[4] + a[5] + a[6] + a[7];
        __m128d finite = _mm_cmpeq_pd(total - total, zero);
        doubtful += 2 - __builtin_popcount(static_cast<unsigned>(_mm_movemask_pd(finite)));
        // A zinger lies more than T sqrt(lowest) above the prediction for
        // counts (the noise is at least sqrt(median)), above it otherwise:
        // most samples are let go before the medians are formed.
        // The prediction is at least the lowest mean of a facing pair (for
        // counts, where the pairs that agree decide), the highest otherwise.
        __m128d x = _mm_loadu_pd(current + c);
        __m128d agreed;
        __m128d top = noise.counts ? RingLeast(a) : RingTop(a, false, &agreed);
        __m128d floor = zero;
        if (noise.counts) {
            __m128d lowest = Min(Min(Min(a[0], a[1]), Min(a[2], a[3])), Min(Min(a[4], a[5]), Min(a[6], a[7])));
            floor = limit * Root(Max(lowest, zero));
        }
        if (_mm_movemask_pd(_mm_and_pd(finite, _mm_cmpgt_pd(x - top, floor))) == 0) continue;
        top = RingTop(a, noise.counts, &agreed);
        __m128d m, spread;
        RingMedianAndSpread(a, &m, &spread);
        __m128d sigma = RingNoise(m, spread, agreed, noise);
        __m128d zinger =
            _mm_and_pd(_mm_and_pd(finite, _mm_cmpgt_pd(sigma, zero)), _mm_cmpgt_pd(x - top, limit * sigma));
        _mm_storeu_pd(row + c, _mm_or_pd(_mm_and_pd(zinger, m), _mm_andnot_pd(zinger, x)));
        replaced += __builtin_popcount(static_cast<unsigned>(_mm_movemask_pd(zinger)));
    }
    for (; c < columns - 1; ++c) {
        double a[8];
        Ring(above, current, below, c, a);
        double total = a[0] + a[1] + a[2] + a[3] + a[4] + a[5] + a[6] + a[7];
        if (!(total - total == 0)) {
            ++doubtful;
            continue;
        }
        double m, spread;
        bool agreed;
        double top = RingTop(a, noise.counts, &agreed);
        RingMedianAndSpread(a, &m, &spread);
        double sigma = RingNoise(m, spread, agreed, noise);
        if (sigma > 0 && current[c] - top > noise.threshold * sigma) {
            row[c] = m;
            ++replaced;
        }
    }
    *unsure = doubtful;
    return replaced;
}

// Filters one sinogram in place; `previous` and `current` hold a view's
// samples as read, so that the view below still sees them once replaced.
// close[v] tells whether views v and v + 1 are close.
long long FilterSinogram(double *sinogram, int views, int columns, const unsigned char *close, ZingerNoise noise,
                         double *previous, double *current) {
    long long replaced = 0;
    std::size_t width = static_cast<std::size_t>(columns);
    for (int v = 0; v < views; ++v) {
        double *row = sinogram + static_cast<std::size_t>(v) * width;
        const double *above = v > 0 && close[v - 1] ? previous : nullptr;
        const double *below = v + 1 < views && close[v] ? row + width : nullptr;
        std::memcpy(current, row, width * sizeof(double));
        if (above == nullptr || below == nullptr || columns < 3) {
            for (int c = 0; c < columns; ++c) replaced += ReplaceOne(row, above, current, below, c, columns, noise);
        } else {
            long long unsure = 0;
            replaced += InteriorColumns(row, above, current, below, columns, noise, &unsure);
            replaced += ReplaceOne(row, above, current, below, 0, columns, noise);
            replaced += ReplaceOne(row, above, current, below, columns - 1, columns, noise);
            // The columns whose rings were not all finite, the general way.
            for (int c = 1; unsure > 0 && c < columns - 1; ++c) {
                double total = above[c - 1] + above[c] + above[c + 1] + current[c - 1] + current[c + 1] +
                               below[c - 1] + below[c] + below[c + 1];
                if (total - total != 0) replaced += ReplaceOne(row, above, current, below, c, columns, noise);
            }
        }
        std::swap(previous, current);
    }
    return replaced;
}

}  // namespace

bool ViewsClose(double a, double b, int columns) {
    double apart = std::fmod(std::fabs(a - b), 2 * kPi);
    if (apart > kPi) apart = 2 * kPi - apart;
    return apart * (columns / 2.0) <= kCloseShift;
}

bool IsZinger(double sample, const double *neighbours, const int *views, const int *columns, int count,
              ZingerNoise noise, double *median) {
    if (count == 0) return false;
    double middle, spread, top;
    bool ring = count == 8;
    for (int i = 0; ring && i < 8; ++i) ring = views[i] == kRingViews[i] && columns[i] == kRingColumns[i];
    if (ring) {
        bool agreed;
        top = RingTop(neighbours, noise.counts, &agreed);
        RingMedianAndSpread(neighbours, &middle, &spread);
        double sigma = RingNoise(middle, spread, agreed, noise);
        if (!(sigma > 0 && sample - top > noise.threshold * sigma)) return false;
        *median = middle;
        return true;
    }
    MedianAndSpread(neighbours, views, columns, count, &middle, &spread);
    // Within its own view, a spread along one line of samples is no noise
    // to trust beside the photon noise: an edge a few columns away would
    // hide a zinger.
    bool own_view = std::all_of(views, views + count, [](int v) { return v == 0; });
    double sigma = LocalNoise(middle, spread, noise.counts, own_view ? 0.0 : kSpreadShare, noise.photon_floor);
    if (!(sigma > 0)) return false;
    top = Prediction(neighbours, views, columns, count, noise.threshold * sigma);
    if (!(sample - top > noise.threshold * sigma)) return false;
    *median = middle;
    return true;
}

Status RemoveZingers(double *band, int rows, int views, int columns, const double *angles, ZingerNoise noise,
                     long long *replaced) {
    *replaced = 0;
    if (rows <= 0 || views <= 0) return Success();
    std::size_t sinogram = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns);
    std::size_t width = static_cast<std::size_t>(columns);
    // Which adjacent views are close: the same for every sinogram.
    std::vector<unsigned char> close(static_cast<std::size_t>(views), 0);
    double step = static_cast<Real>(kPi) / views;
    for (int v = 0; v + 1 < views; ++v)
        close[static_cast<std::size_t>(v)] =
            angles != nullptr ? ViewsClose(angles[v], angles[v + 1], columns) : ViewsClose(0, step, columns);
    int threads = ThreadsFor(rows);
    // Each thread keeps two views as read.
    auto *scratch = static_cast<double *>(AllocateArray(static_cast<std::size_t>(threads) * 2 * width, sizeof(double)));
    if (scratch == nullptr) return Failure("memory allocation error.");
    long long total = 0;
#pragma omp parallel num_threads(threads) reduction(+ : total)
    {
        std::size_t thread = static_cast<std::size_t>(ThreadIndex());
        double *mine = scratch + thread * 2 * width;
#pragma omp for schedule(dynamic, 1)
        for (int j = 0; j < rows; ++j)
            total += FilterSinogram(band + static_cast<std::size_t>(j) * sinogram, views, columns, close.data(), noise,
                                    mine, mine + width);
    }
    ReleaseArray(scratch);
    *replaced = total;
    return Success();
}
