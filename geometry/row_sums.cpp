#include "row_sums.h"

#include <cmath>

#include <immintrin.h>

// GCC 12 warns inside its own intrinsic headers, whose results start from an
// "undefined" vector that is then wholly written (a known false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// One pixel, the reference every vector lane follows.
inline void AddPixel(const double *view, int last, double base, double cosine, const double *xs, int j,
                     double *sums) {
    double s = base + xs[j] * cosine;
    int i = static_cast<int>(s);
    i = i < last ? i : last;
    double t = s - i;
    double a = view[i];
    sums[j] += a + t * (view[i + 1] - a);
}

void ScalarRow(const double *view, int last, double base, double cosine, const double *xs, int lo, int hi,
               double *sums) {
    for (int j = lo; j < hi; ++j) AddPixel(view, last, base, cosine, xs, j, sums);
}

// Four pixels at a time, the views read by gathers.
__attribute__((target("avx2"))) void Avx2Row(const double *view, int last, double base, double cosine,
                                              const double *xs, int lo, int hi, double *sums) {
    const __m256d vbase = _mm256_set1_pd(base);
    const __m256d vcos = _mm256_set1_pd(cosine);
    const __m128i vlast = _mm_set1_epi32(last);
    int j = lo;
    for (; j + 4 <= hi; j += 4) {
        __m256d s = _mm256_add_pd(vbase, _mm256_mul_pd(_mm256_loadu_pd(xs + j), vcos));
        __m128i i = _mm_min_epi32(_mm256_cvttpd_epi32(s), vlast);
        __m256d t = _mm256_sub_pd(s, _mm256_cvtepi32_pd(i));
        __m256d a = _mm256_i32gather_pd(view, i, 8);
        __m256d b = _mm256_i32gather_pd(view + 1, i, 8);
        __m256d value = _mm256_add_pd(a, _mm256_mul_pd(t, _mm256_sub_pd(b, a)));
        _mm256_storeu_pd(sums + j, _mm256_add_pd(_mm256_loadu_pd(sums + j), value));
    }
    ScalarRow(view, last, base, cosine, xs, j, hi, sums);
}

// Mask of the first `count` of eight lanes (count may lie outside 0 ... 8).
inline __mmask8 FirstLanes(int count) {
    if (count >= 8) return 0xff;
    if (count <= 0) return 0;
    return static_cast<__mmask8>((1u << count) - 1);
}

// Pixels j ... j + 7 (the lanes in `lanes`) of a row, at x (their lanes of
// `x`). Their positions span 7 |cos| PIXEL detectors; when that is well
// under 14, the two detectors each pixel needs lie within
// 16 consecutive samples from the lowest one: two loads and two permutes
// instead of gathers. Near the end of the view the loads are masked to its
// own samples. Wider pixels take gathers.
__attribute__((target("avx512f,avx512dq"))) inline void Avx512Group(const double *view, int detectors,
                                                                     __m512d vbase, __m512d vcos, __m512d x,
                                                                     bool rising, bool narrow, __mmask8 lanes,
                                                                     int count, double *sums) {
    const long long last = detectors - 2;
    __m512d s = _mm512_add_pd(vbase, _mm512_mul_pd(x, vcos));
    __m512i i = _mm512_min_epi64(_mm512_cvttpd_epi64(s), _mm512_set1_epi64(last));
    __m512d t = _mm512_sub_pd(s, _mm512_cvtepi64_pd(i));
    if (!narrow) {
        // Lanes outside `lanes` hold positions of pixels past the run:
        // their indices are not read.
        __m512d a = _mm512_mask_i64gather_pd(_mm512_setzero_pd(), lanes, i, view, 8);
        __m512d b = _mm512_mask_i64gather_pd(_mm512_setzero_pd(), lanes, i, view + 1, 8);
        __m512d value = _mm512_add_pd(a, _mm512_mul_pd(t, _mm512_sub_pd(b, a)));
        __m512d old = _mm512_maskz_loadu_pd(lanes, sums);
        _mm512_mask_storeu_pd(sums, lanes, _mm512_add_pd(old, value));
        return;
    }
    // The lowest detector: the first pixel's when the positions rise along
    // the row, the last one's when they fall.
    long long i0;
    if (rising) {
        i0 = _mm_cvtsi128_si64(_mm512_castsi512_si128(i));
    } else {
        __m512i moved = _mm512_permutexvar_epi64(_mm512_set1_epi64(count - 1), i);
        i0 = _mm_cvtsi128_si64(_mm512_castsi512_si128(moved));
    }
    __m512d low, high;
    if (i0 + 16 <= detectors) {
        low = _mm512_loadu_pd(view + i0);
        high = _mm512_loadu_pd(view + i0 + 8);
    } else {
        int available = detectors - static_cast<int>(i0);
        low = _mm512_maskz_loadu_pd(FirstLanes(available), view + i0);
        high = _mm512_maskz_loadu_pd(FirstLanes(available - 8), view + i0 + 8);
    }
    __m512i ka = _mm512_sub_epi64(i, _mm512_set1_epi64(i0));
    __m512i kb = _mm512_add_epi64(ka, _mm512_set1_epi64(1));
    __m512d a = _mm512_permutex2var_pd(low, ka, high);
    __m512d b = _mm512_permutex2var_pd(low, kb, high);
    __m512d value = _mm512_add_pd(a, _mm512_mul_pd(t, _mm512_sub_pd(b, a)));
    if (lanes == 0xff) {
        _mm512_storeu_pd(sums, _mm512_add_pd(_mm512_loadu_pd(sums), value));
    } else {
        __m512d old = _mm512_maskz_loadu_pd(lanes, sums);
        _mm512_mask_storeu_pd(sums, lanes, _mm512_add_pd(old, value));
    }
}

// Eight pixels at a time; the last group masked to the run.
__attribute__((target("avx512f,avx512dq"))) void Avx512Row(const double *view, int detectors, double base,
                                                            double cosine, const double *xs, int lo, int hi,
                                                            double *sums) {
    const __m512d vbase = _mm512_set1_pd(base);
    const __m512d vcos = _mm512_set1_pd(cosine);
    bool rising = cosine >= 0;
    // Eight pixels span 7 |dx cos| detectors; below 12 the sixteen samples
    // from the lowest detector hold both detectors of every lane.
    bool narrow = hi - lo < 2 || std::fabs((xs[lo + 1] - xs[lo]) * cosine) * 7 < 12;
    int j = lo;
    for (; j + 8 <= hi; j += 8) {
        Avx512Group(view, detectors, vbase, vcos, _mm512_loadu_pd(xs + j), rising, narrow, 0xff, 8, sums + j);
    }
    if (j < hi) {
        __mmask8 lanes = FirstLanes(hi - j);
        Avx512Group(view, detectors, vbase, vcos, _mm512_maskz_loadu_pd(lanes, xs + j), rising, narrow, lanes, hi - j,
                    sums + j);
    }
}

}  // namespace

bool RowPathSupported(RowPath path) {
    switch (path) {
        case RowPath::kAvx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
        case RowPath::kAvx2:
            return __builtin_cpu_supports("avx2");
        case RowPath::kScalar:
            break;
    }
    return true;
}

RowPath BestRowPath() {
    if (RowPathSupported(RowPath::kAvx512)) return RowPath::kAvx512;
    if (RowPathSupported(RowPath::kAvx2)) return RowPath::kAvx2;
    return RowPath::kScalar;
}

void AddViewToRow(RowPath path, const double *view, int detectors, double base, double cosine, const double *xs,
                  int lo, int hi, double *sums) {
    if (detectors == 1) {
        for (int j = lo; j < hi; ++j) sums[j] += view[0];
        return;
    }
    switch (path) {
        case RowPath::kAvx512:
            Avx512Row(view, detectors, base, cosine, xs, lo, hi, sums);
            return;
        case RowPath::kAvx2:
            Avx2Row(view, detectors - 2, base, cosine, xs, lo, hi, sums);
            return;
        case RowPath::kScalar:
            break;
    }
    ScalarRow(view, detectors - 2, base, cosine, xs, lo, hi, sums);
}
