#include "rings_median.h"

#include <algorithm>
#include <cstring>
#include <utility>

int MirroredIndex(long long i, int count) {
    if (count == 1) return 0;
    long long period = 2LL * (count - 1);
    i %= period;
    if (i < 0) i += period;
    return static_cast<int>(i < count ? i : period - i);
}

double Extended(const double *row, int count, long long i) {
    if (i >= 0 && i < count) return row[i];
    double value = row[MirroredIndex(i, count)];
    return i < 0 ? 2 * row[0] - value : 2 * row[count - 1] - value;
}

void RunningMedian(const double *row, int count, int size, double *window, double *out) {
    int half = size / 2;
    for (int w = 0; w < size; ++w) window[w] = Extended(row, count, static_cast<long long>(w) - half);
    std::sort(window, window + size, Below);
    out[0] = window[half];
    // The window stays sorted: each step takes out the sample that leaves
    // and puts in the one that enters, moving only the values between them.
    for (int j = 1; j < count; ++j) {
        double leaving = Extended(row, count, static_cast<long long>(j) - half - 1);
        double entering = Extended(row, count, static_cast<long long>(j) + half);
        if (Below(leaving, entering) || Below(entering, leaving)) {
            int at = static_cast<int>(std::lower_bound(window, window + size, leaving, Below) - window);
            if (Below(leaving, entering)) {
                int to =
                    static_cast<int>(std::lower_bound(window + at + 1, window + size, entering, Below) - window) - 1;
                std::memmove(window + at, window + at + 1, sizeof(double) * (to - at));
                window[to] = entering;
            } else {
                int to = static_cast<int>(std::upper_bound(window, window + at, entering, Below) - window);
                std::memmove(window + to + 1, window + to, sizeof(double) * (at - to));
                window[to] = entering;
            }
        }
        out[j] = window[half];
    }
}

namespace {

// The median of three values, NaN ordered last as Below orders it.
double MedianOfThree(double a, double b, double c) {
    if (Below(b, a)) std::swap(a, b);
    if (Below(c, b)) b = Below(c, a) ? a : c;
    return b;
}

}  // namespace

void PairMedian(const double *row, int count, int pairs, double *window, double *out) {
    for (int j = 0; j < count; ++j) {
        for (int i = 1; i <= pairs; ++i)
            window[i - 1] = 0.5 * Extended(row, count, static_cast<long long>(j) - i) +
                            0.5 * Extended(row, count, static_cast<long long>(j) + i);
        // Three pairs, the default, without a general selection.
        if (pairs == 3) {
            out[j] = MedianOfThree(window[0], window[1], window[2]);
            continue;
        }
        std::nth_element(window, window + (pairs - 1) / 2, window + pairs, Below);
        double median = window[(pairs - 1) / 2];
        if (pairs % 2 == 0)
            median = 0.5 * median + 0.5 * *std::min_element(window + pairs / 2, window + pairs, Below);
        out[j] = median;
    }
}
