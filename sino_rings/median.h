// Running medians along a row of samples: each sample replaced by the median
// of the `size` samples centred on it. The row is mirrored about its first
// and last samples (index -1 reads sample 1), so every window is full and a
// window wider than the row still has a median.
#pragma once

// The median of the `size` samples (odd, at least 1) centred on each of the
// `count` samples of `row`, written to `out` (not `row`). `window` is
// scratch of `size` doubles. Only comparisons and copies: the result does
// not depend on rounding.
void RunningMedian(const double *row, int count, int size, double *window, double *out);

// The index of the sample that position i (any integer) reads in a row of
// `count` samples mirrored about its ends.
int MirroredIndex(long long i, int count);

// The median, for each sample j, of the means (row[j - i] + row[j + i]) / 2
// of the `pairs` pairs of samples on either side of it (i = 1 ... pairs),
// the row mirrored about its ends. A straight line gives back its own
// values, and a sample unlike its neighbours does not enter its own value.
// `window` is scratch of `pairs` doubles.
void PairMedian(const double *row, int count, int pairs, double *window, double *out);
