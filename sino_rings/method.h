// The methods of sino_rings by name, their sizes, and one entry that runs
// any of them on a sinogram in memory.
#pragma once

#include "fourier_filter.h"
#include "sort_filter.h"
#include "status.h"
#include "stripe_columns.h"

enum class StripeMethod { kDetect, kSort, kFft };

// "detect", "sort" or "fft"; fails with "unknown method (detect, sort or
// fft)." for any other word.
Status MethodArgument(const char *text, StripeMethod *method);

// The size a method takes when none is given: 7 for detect (three pairs of
// neighbours), 5 for sort and fft.
int DefaultSize(StripeMethod method);

// The size argument as atoi reads it: odd, from 3 to kLargestSize; fails
// with "bad size." otherwise.
inline constexpr int kLargestSize = 1001;
Status SizeArgument(const char *text, int *size);

// The memory of one run of one method.
struct RingsWork {
    StripeMethod method;
    SortWork sort;
    FourierWork fourier;
    StripeWork stripes;
};

// Allocates what `method` needs for `columns` x `rows` samples with windows
// of `size` and `threads` threads; false when memory cannot be had.
bool AllocateRingsWork(StripeMethod method, int columns, int rows, int size, int threads, RingsWork *work);
void ReleaseRingsWork(RingsWork *work);

// Removes the stripes of `samples` (the work's size) in place; returns the
// number of stripe columns corrected by detect, 0 for the others.
int RemoveStripes(double *samples, int size, RingsWork *work);
