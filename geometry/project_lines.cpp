#include "project_lines.h"

#include <immintrin.h>

// GCC 12 warns inside its own intrinsic headers, whose results start from an
// "undefined" vector that is then wholly written (a known false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// Detectors of a group of the transpose: one vector's lanes; and the
// pixels a group's shares may span to be summed in a table.
constexpr int kGroup = 8;
constexpr int kSpan = 32;

void ScalarGather(const double *padded, const RayLine &line, int lo, int hi, double *samples) {
    for (int i = lo; i < hi; ++i) {
        double v = LinePosition(line, i);
        int p = static_cast<int>(v);
        double f = v - p;
        double a = padded[p];
        samples[i] += (a + f * (padded[p + 1] - a)) * line.weight;
    }
}

// The detectors [i0, i1) of one group (at most eight): each one's shares,
// y (1 - f) to pixel p and y f to pixel p + 1, listed in detector order;
// every pixel gets the sum of its shares in that order, added at once.
void ScalarGroup(const double *samples, const RayLine &line, int i0, int i1, double *padded) {
    int pixel[2 * kGroup];
    double share[2 * kGroup];
    int count = 0, low = 0, high = 0;
    for (int i = i0; i < i1; ++i) {
        double v = LinePosition(line, i);
        int p = static_cast<int>(v);
        double f = v - p;
        double y = samples[i] * line.weight;
        pixel[count] = p;
        share[count++] = y * (1 - f);
        pixel[count] = p + 1;
        share[count++] = y * f;
        if (i == i0 || p < low) low = p;
        if (i == i0 || p + 1 > high) high = p + 1;
    }
    if (high - low < kSpan) {
        // Sums in a small table from the lowest pixel, each in share order.
        double sum[kSpan] = {};
        bool touched[kSpan] = {};
        for (int a = 0; a < count; ++a) {
            sum[pixel[a] - low] += share[a];
            touched[pixel[a] - low] = true;
        }
        for (int q = 0; q <= high - low; ++q)
            if (touched[q]) padded[low + q] += sum[q];
        return;
    }
    bool done[2 * kGroup] = {};
    for (int a = 0; a < count; ++a) {
        if (done[a]) continue;
        double sum = 0;
        for (int b = a; b < count; ++b) {
            if (pixel[b] != pixel[a]) continue;
            sum += share[b];
            done[b] = true;
        }
        padded[pixel[a]] += sum;
    }
}

void ScalarTranspose(const double *samples, const RayLine &line, int lo, int hi, double *padded) {
    for (int i = lo; i < hi; i += kGroup) ScalarGroup(samples, line, i, i + kGroup < hi ? i + kGroup : hi, padded);
}

// Mask of the first `count` of eight lanes (count may lie outside 0 ... 8).
inline __mmask8 FirstLanes(long long count) {
    if (count >= 8) return 0xff;
    if (count <= 0) return 0;
    return static_cast<__mmask8>((1u << count) - 1);
}

// Eight detectors of a line. When their pixels lie within 16 consecutive
// samples of the padded line (7 |beta| below 13), two loads and two
// permutes take the place of two gathers; the loads are masked to the
// line's `length` samples.
__attribute__((target("avx512f,avx512dq"))) inline __m512d Avx512Pair(const double *padded, long long length,
                                                                       __m512i p, bool narrow, bool rising,
                                                                       __m512d *b) {
    if (!narrow) {
        *b = _mm512_i64gather_pd(p, padded + 1, 8);
        return _mm512_i64gather_pd(p, padded, 8);
    }
    __m512i lowest = rising ? p : _mm512_permutexvar_epi64(_mm512_set1_epi64(7), p);
    long long p0 = _mm_cvtsi128_si64(_mm512_castsi512_si128(lowest));
    __m512d low, high;
    if (p0 + 16 <= length) {
        low = _mm512_loadu_pd(padded + p0);
        high = _mm512_loadu_pd(padded + p0 + 8);
    } else {
        low = _mm512_maskz_loadu_pd(FirstLanes(length - p0), padded + p0);
        high = _mm512_maskz_loadu_pd(FirstLanes(length - p0 - 8), padded + p0 + 8);
    }
    __m512i ka = _mm512_sub_epi64(p, _mm512_set1_epi64(p0));
    *b = _mm512_permutex2var_pd(low, _mm512_add_epi64(ka, _mm512_set1_epi64(1)), high);
    return _mm512_permutex2var_pd(low, ka, high);
}

__attribute__((target("avx512f,avx512dq"))) void Avx512Gather(const double *padded, long long length,
                                                               const RayLine &line, int lo, int hi, double *samples) {
    const __m512d alpha = _mm512_set1_pd(line.alpha), beta = _mm512_set1_pd(line.beta);
    const __m512d weight = _mm512_set1_pd(line.weight), eight = _mm512_set1_pd(8);
    const bool narrow = (line.beta < 0 ? -line.beta : line.beta) * 7 < 13;
    const bool rising = line.beta > 0;
    __m512d index = _mm512_add_pd(_mm512_set1_pd(lo), _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7));
    int i = lo;
    for (; i + 8 <= hi; i += 8) {
        __m512d v = _mm512_add_pd(alpha, _mm512_mul_pd(index, beta));
        __m512i p = _mm512_cvttpd_epi64(v);
        __m512d f = _mm512_sub_pd(v, _mm512_cvtepi64_pd(p));
        __m512d b;
        __m512d a = Avx512Pair(padded, length, p, narrow, rising, &b);
        __m512d value = _mm512_mul_pd(_mm512_add_pd(a, _mm512_mul_pd(f, _mm512_sub_pd(b, a))), weight);
        _mm512_storeu_pd(samples + i, _mm512_add_pd(_mm512_loadu_pd(samples + i), value));
        index = _mm512_add_pd(index, eight);
    }
    ScalarGather(padded, line, i, hi, samples);
}

// The transpose, a group of eight detectors at a time. When the group's
// pixels rise (or fall) by at least one from detector to detector and lie
// within 16 samples, the shares are placed into those 16 samples by
// expanding them into the lanes of their pixels (each pixel then holds at
// most one share y (1 - f) and one share y f, whose sum does not depend on
// their order) and added with two loads and two stores; other groups take
// the scalar group's way. Both give the same sums.
__attribute__((target("avx512f,avx512dq,avx512cd"))) void Avx512Transpose(const double *samples, long long length,
                                                                          const RayLine &line, int lo, int hi,
                                                                          double *padded) {
    const __m512d alpha = _mm512_set1_pd(line.alpha), beta = _mm512_set1_pd(line.beta);
    const __m512d weight = _mm512_set1_pd(line.weight), one = _mm512_set1_pd(1);
    const __m512i reverse = _mm512_setr_epi64(7, 6, 5, 4, 3, 2, 1, 0);
    const bool falling = line.beta < 0;
    // Seven steps of |beta| and one more pixel must stay within 16.
    const bool narrow = (falling ? -line.beta : line.beta) * 7 < 14;
    __m512d index = _mm512_add_pd(_mm512_set1_pd(lo), _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7));
    const __m512d eight = _mm512_set1_pd(8);
    int i = lo;
    for (; narrow && i + 8 <= hi; i += 8, index = _mm512_add_pd(index, eight)) {
        __m512d v = _mm512_add_pd(alpha, _mm512_mul_pd(index, beta));
        __m512i p = _mm512_cvttpd_epi64(v);
        __m512d f = _mm512_sub_pd(v, _mm512_cvtepi64_pd(p));
        __m512d y = _mm512_mul_pd(_mm512_loadu_pd(samples + i), weight);
        __m512d first = _mm512_mul_pd(y, _mm512_sub_pd(one, f));
        __m512d second = _mm512_mul_pd(y, f);
        if (falling) {
            p = _mm512_permutexvar_epi64(reverse, p);
            first = _mm512_permutexvar_pd(reverse, first);
            second = _mm512_permutexvar_pd(reverse, second);
        }
        long long p0 = _mm_cvtsi128_si64(_mm512_castsi512_si128(p));
        __m512i offset = _mm512_sub_epi64(p, _mm512_set1_epi64(p0));
        long long last = _mm_cvtsi128_si64(_mm512_castsi512_si128(_mm512_permutexvar_epi64(_mm512_set1_epi64(7), offset)));
        if (last > 14 || _mm512_test_epi64_mask(_mm512_conflict_epi64(p), _mm512_conflict_epi64(p)) != 0) {
            ScalarGroup(samples, line, i, i + 8, padded);
            continue;
        }
        // The lanes (0 ... 15) the first shares land in, and the second's.
        unsigned bits = static_cast<unsigned>(
            _mm512_reduce_or_epi64(_mm512_sllv_epi64(_mm512_set1_epi64(1), offset)));
        unsigned shifted = bits << 1;
        int low_first = __builtin_popcount(bits & 0xffu), low_second = __builtin_popcount(shifted & 0xffu);
        __m512d window_low = _mm512_add_pd(_mm512_maskz_expand_pd(static_cast<__mmask8>(bits), first),
                                           _mm512_maskz_expand_pd(static_cast<__mmask8>(shifted), second));
        __m512d rest_first = _mm512_maskz_compress_pd(static_cast<__mmask8>(0xffu << low_first), first);
        __m512d rest_second = _mm512_maskz_compress_pd(static_cast<__mmask8>(0xffu << low_second), second);
        __m512d window_high = _mm512_add_pd(_mm512_maskz_expand_pd(static_cast<__mmask8>(bits >> 8), rest_first),
                                            _mm512_maskz_expand_pd(static_cast<__mmask8>(shifted >> 8), rest_second));
        double *at = padded + p0;
        if (p0 + 16 <= length) {
            _mm512_storeu_pd(at, _mm512_add_pd(_mm512_loadu_pd(at), window_low));
            _mm512_storeu_pd(at + 8, _mm512_add_pd(_mm512_loadu_pd(at + 8), window_high));
        } else {
            __mmask8 low_lanes = FirstLanes(length - p0), high_lanes = FirstLanes(length - p0 - 8);
            _mm512_mask_storeu_pd(at, low_lanes, _mm512_add_pd(_mm512_maskz_loadu_pd(low_lanes, at), window_low));
            _mm512_mask_storeu_pd(at + 8, high_lanes,
                                  _mm512_add_pd(_mm512_maskz_loadu_pd(high_lanes, at + 8), window_high));
        }
    }
    ScalarTranspose(samples, line, i, hi, padded);
}

}  // namespace

bool LinePathSupported(LinePath path) {
    if (path == LinePath::kScalar) return true;
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("avx512cd");
}

LinePath BestLinePath() { return LinePathSupported(LinePath::kAvx512) ? LinePath::kAvx512 : LinePath::kScalar; }

void GatherLine(LinePath path, const double *padded, int size, const RayLine &line, int lo, int hi,
                double *samples) {
    if (path == LinePath::kAvx512) {
        Avx512Gather(padded, size + 2LL, line, lo, hi, samples);
    } else {
        ScalarGather(padded, line, lo, hi, samples);
    }
}

void ScatterLine(LinePath path, const double *samples, int size, const RayLine &line, int lo, int hi,
                 double *padded) {
    if (path == LinePath::kAvx512) {
        Avx512Transpose(samples, size + 2LL, line, lo, hi, padded);
    } else {
        ScalarTranspose(samples, line, lo, hi, padded);
    }
}
