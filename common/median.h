// The median of a handful of values, written once: by nth_element, the
// mean of the middle two for an even count. Not for running medians over a
// window (those keep their own sorted windows).
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Numbers in order, a NaN above every number: a NaN among the values moves
// the median up by one place rather than leaving the order undefined.
inline bool MedianBelow(double a, double b) { return a < b || (b != b && a == a); }

// The median of `count` values (the mean of the middle two for an even
// count, 0 for none); reorders them.
inline double MedianOf(double *values, std::size_t count) {
    if (count == 0) return 0;
    std::size_t middle = count / 2;
    // A lambda, not the function's address: the comparison is inlined.
    auto below = [](double a, double b) { return MedianBelow(a, b); };
    std::nth_element(values, values + middle, values + count, below);
    double median = values[middle];
    if (count % 2 == 0) median = 0.5 * median + 0.5 * *std::max_element(values, values + middle, below);
    return median;
}

// The median of `count` values already in ascending order (the mean of the
// middle two for an even count; count above 0).
inline double MedianOfSorted(const double *sorted, std::size_t count) {
    return count % 2 == 1 ? sorted[count / 2] : (sorted[count / 2 - 1] + sorted[count / 2]) / 2;
}

// The same of a vector's values, which it takes by copy.
inline double Median(std::vector<double> values) { return MedianOf(values.data(), values.size()); }
