// Running medians along a row of samples: each sample replaced by the median
// of the `size` samples centred on it. Beyond its ends the row is continued
// by point reflection about its first and last samples (position -i reads
// 2 row[0] - row[i]), so every window is full and a straight slope stays
// straight up to the ends; a window wider than the row still has a median.
#pragma once

// The median of the `size` samples (odd, at least 1) centred on each of the
// `count` samples of `row`, written to `out` (not `row`). `window` is
// scratch of `size` doubles. Only comparisons and copies: the result does
// not depend on rounding.
void RunningMedian(const double *row, int count, int size, double *window, double *out);

// The index of the sample that position i (any integer) reads in a row of
// `count` samples mirrored about its ends (position -1 reads sample 1).
int MirroredIndex(long long i, int count);

// The value at position i of the row continued by point reflection.
double Extended(const double *row, int count, long long i);

// Orders not-a-number after every number (a strict weak order even then),
// so that values gone beyond the double range, which end as "result out of
// range.", cannot break a selection.
inline bool Below(double a, double b) { return a < b || (b != b && a == a); }

// The median, for each sample j, of the means (row[j - i] + row[j + i]) / 2
// of the `pairs` pairs of samples on either side of it (i = 1 ... pairs),
// the row continued by point reflection. A straight line gives back its own
// values, and a sample unlike its neighbours does not enter its own value.
// `window` is scratch of `pairs` doubles.
void PairMedian(const double *row, int count, int pairs, double *window, double *out);
