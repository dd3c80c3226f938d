// sino_rings's steps as they read, one sample at a time: the fast code
// (running windows, blocked cosine transforms) must give the same values.
#pragma once

// out[j]: the median of the `size` samples centred on j (size odd), the row
// continued by point reflection about its ends, each window sorted whole.
void OracleRunningMedian(const double *row, int count, int size, double *out);

// The sort method: each column sorted (equal values in view order), each
// rank replaced by OracleRunningMedian across the columns, put back in its
// view.
void OracleSortFilter(double *samples, int columns, int rows, int size);

// The low angular frequencies of one column of `rows` values, as cosine
// sums: the column and its mirror image over the whole turn, harmonic k
// weighted by exp(-k^2 / (2 sigma^2)).
void OracleLowAngular(const double *column, int rows, double sigma, double *out);
