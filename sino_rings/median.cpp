#include "median.h"

#include <algorithm>
#include <cstring>

int MirroredIndex(long long i, int count) {
    if (count == 1) return 0;
    long long period = 2LL * (count - 1);
    i %= period;
    if (i < 0) i += period;
    return static_cast<int>(i < count ? i : period - i);
}

void RunningMedian(const double *row, int count, int size, double *window, double *out) {
    int half = size / 2;
    for (int w = 0; w < size; ++w) window[w] = row[MirroredIndex(static_cast<long long>(w) - half, count)];
    std::sort(window, window + size);
    out[0] = window[half];
    // The window stays sorted: each step takes out the sample that leaves
    // and puts in the one that enters, moving only the values between them.
    for (int j = 1; j < count; ++j) {
        double leaving = row[MirroredIndex(static_cast<long long>(j) - half - 1, count)];
        double entering = row[MirroredIndex(static_cast<long long>(j) + half, count)];
        if (leaving != entering) {
            int at = static_cast<int>(std::lower_bound(window, window + size, leaving) - window);
            if (entering > leaving) {
                int to = static_cast<int>(std::lower_bound(window + at + 1, window + size, entering) - window) - 1;
                std::memmove(window + at, window + at + 1, sizeof(double) * (to - at));
                window[to] = entering;
            } else {
                int to = static_cast<int>(std::upper_bound(window, window + at, entering) - window);
                std::memmove(window + to + 1, window + to, sizeof(double) * (at - to));
                window[to] = entering;
            }
        }
        out[j] = window[half];
    }
}

void PairMedian(const double *row, int count, int pairs, double *window, double *out) {
    for (int j = 0; j < count; ++j) {
        for (int i = 1; i <= pairs; ++i)
            window[i - 1] = 0.5 * row[MirroredIndex(static_cast<long long>(j) - i, count)] +
                            0.5 * row[MirroredIndex(static_cast<long long>(j) + i, count)];
        std::nth_element(window, window + (pairs - 1) / 2, window + pairs);
        double median = window[(pairs - 1) / 2];
        if (pairs % 2 == 0) median = 0.5 * median + 0.5 * *std::min_element(window + pairs / 2, window + pairs);
        out[j] = median;
    }
}
