// Stripe removal from a sinogram (views x detectors), so that its
// reconstruction has no rings: the methods by name, their sizes, and one
// entry, RemoveRings, that runs any of them on a sinogram in memory (the
// programs that clean sinograms, sino_rings and stack_recon, call it).
#pragma once

#include "rings_auto.h"
#include "rings_fourier.h"
#include "rings_sort.h"
#include "status.h"
#include "rings_detect.h"

enum class StripeMethod { kAuto, kDetect, kSort, kFft };

// "auto", "detect", "sort" or "fft"; fails with "unknown method (auto,
// detect, sort or fft)." for any other word.
Status MethodArgument(const char *text, StripeMethod *method);

// The size a method takes when none is given: 11 for auto (the columns up
// to five away), 7 for detect (three pairs of neighbours), 5 for sort and
// fft.
int DefaultSize(StripeMethod method);

// The size argument, the word wholly a number (StrictInt, args.h): odd,
// from 3 to kLargestSize; fails with "bad size." otherwise ("bad size:
// WORD." for a word that is not a number).
inline constexpr int kLargestSize = 1001;
Status SizeArgument(const char *text, int *size);

// A size given beyond the method's default that is wider than the
// detector's `columns`: a window over more than the whole detector, whose
// filter takes the object itself for a stripe. Fails with "bad size: SIZE
// is wider than the detector (COLUMNS columns).".
Status SizeFitsDetector(StripeMethod method, int size, int columns);

// The memory of one run of one method; it releases itself.
struct RingsWork {
    StripeMethod method = StripeMethod::kAuto;
    SortWork sort;
    FourierWork fourier;
    StripeWork stripes;
    AutoWork automatic;
};

// Allocates what `method` needs for `columns` x `rows` samples with windows
// of `size` and `threads` threads; false when memory cannot be had.
bool AllocateRingsWork(StripeMethod method, int columns, int rows, int size, int threads, RingsWork *work);

// Removes the stripes of `samples` (the work's size) in place; returns the
// number of stripe columns corrected by auto and detect, 0 for the
// others.
int RemoveStripes(double *samples, int size, RingsWork *work);

// The whole of it in one call: the stripes of `samples` (`rows` views of
// `columns` detectors, view 0 first) removed in place by `method` with
// windows of `size` (DefaultSize for none), on `threads` threads; the same
// bytes for any number of threads. `found` (may be null) receives
// RemoveStripes's count. Fails with "memory allocation error." when the
// work space cannot be had (the samples untouched), and with "result out
// of range." when a finite sample's correction is not finite (samples near
// the double range).
Status RemoveRings(double *samples, int columns, int rows, StripeMethod method, int size, int threads,
                   int *found = nullptr);
