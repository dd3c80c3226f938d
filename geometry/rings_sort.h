// Stripe removal by sorting: each column (a detector through every view)
// sorted by value, each rank smoothed across the columns by a running
// median, and every value put back in the view it came from. Sorting lines
// the columns up by value, so a column that is offset or scaled against its
// neighbours differs from them at every rank, while the object's own
// features, which move from column to column with the angle, mostly do
// not.
#pragma once

#include <cstddef>

#include "owned.h"

// A value of a column with the view it came from.
struct RankedValue {
    double value;
    int view;
};

// The memory of one run: the sorted columns, rank by rank, with the view
// each value came from, and each thread's scratch. It releases itself.
struct SortWork {
    int columns = 0;
    int rows = 0;
    int threads = 0;
    Owned<double> sorted;       // rows x columns: sorted[r * columns + j], rank r of column j
    Owned<int> views;           // rows x columns: the view that value came from
    Owned<RankedValue> pairs;   // per thread: rows (value, view) pairs
    Owned<double> scratch;      // per thread: a row of columns, and a median window
    std::size_t window = 0;
};

// Allocates the work for a sinogram of `columns` x `rows` samples, medians
// of up to `size` samples and `threads` threads. False when memory cannot
// be had.
bool AllocateSortWork(int columns, int rows, int size, int threads, SortWork *work);

// Sorts every column of `samples` (rows views of `columns` samples, view 0
// first) into work->sorted and work->views: ascending values, equal values
// in view order.
void SortColumns(const double *samples, SortWork *work);

// The whole method: every sample of `samples` replaced by the median, over
// the `size` columns centred on its own (size odd), of the values of equal
// rank. The result does not depend on the number of threads.
void SortFilter(double *samples, int size, SortWork *work);
