// Stripe removal by finding the stripe columns first and correcting only
// those, so that a clean sinogram, or the clean columns of a striped one,
// pass unchanged.
//
// Each view is compared with a smooth version of itself: at each detector,
// the median of the means of the `pairs` pairs of detectors on either side
// (which follows any straight slope and ignores a column unlike its
// neighbours). A stripe column sits off that baseline by the same amount, or
// in the same proportion, in most views; the object's own edges cross a
// column in some views only. So a column's offset is the median, over the
// views, of its difference from the baseline, and a stripe is an offset
// that stands out from its neighbours' offsets by more than kNoiseFactor
// times their typical spread (the noise) and kLevelFraction of the
// sinogram's level (the median over the views of a view's largest
// magnitude, which a few outliers do not move). A stripe
// column is then fitted to its baseline as gain * baseline + offset, from
// medians, and mapped back through the fit; a column whose gain is below
// kDeadGain or above 1 / kDeadGain (dead, or broken) is replaced by its
// baseline.
#pragma once

#include <cstddef>

#include "owned.h"

inline constexpr double kNoiseFactor = 4.0;
inline constexpr double kLevelFraction = 0.005;
inline constexpr double kDeadGain = 0.5;
// The least spread of the baseline over a column's views, against its
// size, from which a gain is fitted.
inline constexpr double kGainSpread = 0.1;

// The memory of one run; it releases itself.
struct StripeWork {
    int columns = 0;
    int rows = 0;
    int threads = 0;
    Owned<double> baseline;        // rows x columns
    Owned<double> offsets;         // columns: median difference from the baseline
    Owned<double> excess;          // columns: offset less the neighbours' offsets
    Owned<double> level;           // rows: each view's largest magnitude
    Owned<unsigned char> stripes;  // columns: 1 for a stripe column
    Owned<double> scratch;         // per thread: 3 rows, a row of columns and 2 pairs values
    std::size_t slot = 0;          // doubles of scratch per thread
};

// Allocates the work for `columns` x `rows` samples, baselines of `pairs`
// pairs and `threads` threads. False when memory cannot be had.
bool AllocateStripeWork(int columns, int rows, int pairs, int threads, StripeWork *work);

// Finds the stripe columns of `samples` into work->stripes; returns their
// number.
int FindStripeColumns(const double *samples, int pairs, StripeWork *work);

// A stripe column's fit to its baseline: column = gain * baseline + offset.
struct ColumnFit {
    double gain;
    double offset;
};

// Fits a column of `rows` samples to its baseline; `values` is scratch of
// `rows` doubles.
ColumnFit FitColumn(const double *column, const double *base, int rows, double *values);

// Corrects the stripe columns found, in place.
void CorrectStripeColumns(double *samples, StripeWork *work);
