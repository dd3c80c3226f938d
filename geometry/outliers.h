// Samples no object can have made: a detector hit by a stray photon or a
// cosmic ray (a "zinger") reads thousands of times more than its
// neighbours in one view only. The center searches match the data with
// themselves, quadratically, so one such sample outweighs the object; they
// search with these samples replaced by the median of their neighbours.
//
// The sinogram's own scale is the largest value of its 3 x 3 medians in a
// typical view (the 90th percentile over views): a median of nine needs
// five outliers together before it moves, while an object's trajectory,
// wider than a detector, survives it. A sample whose magnitude exceeds
// kOutlierFactor times that scale is an outlier. Clean data stay below it
// (their largest sample is that of the views' medians, up to the sharpness
// of its peak), so a sinogram without outliers is searched as it is.
#pragma once

#include <cstddef>
#include <limits>

#include "owned.h"

inline constexpr double kOutlierFactor = 8;

// The outliers of one sinogram, by sample index (view * detectors +
// detector), ascending, with the values that replace them.
struct Outliers {
    std::size_t count;
    std::size_t capacity;  // a 32nd of the samples, at least 16
    std::size_t *index;
    double *value;
    double limit;    // samples of larger magnitude are outliers (infinite: no scale)
    double largest;  // the largest magnitude the search sees: of the other samples and the replacements
};

struct OutlierWork {
    int detectors;
    int views;
    Owned<double> row;    // detectors values: one view's medians along the views
    Owned<double> peaks;  // views values
    Owned<std::size_t> index;
    Owned<double> value;
    Outliers outliers;    // over index and value
};

// Allocates the work for a sinogram of this size; false when memory cannot
// be had (nothing is left allocated then).
bool AllocateOutlierWork(OutlierWork *work, int detectors, int views);

// Finds the outliers of a sinogram of the work's size whose samples are all
// finite, into work->outliers; each is replaced by the median of its
// neighbours in the 3 x 3 block around it that are not outliers themselves
// (0 when none is), and work->outliers.largest is set. False when more
// samples than the capacity are
// outliers: a sinogram that is that far from any object is no basis for a
// search.
bool FindOutliers(const double *samples, OutlierWork *work);

// No outliers, for a search of data taken as they are (whose windows are
// then not scaled: `largest` is 0).
inline Outliers NoOutliers() { return Outliers{0, 0, nullptr, nullptr, std::numeric_limits<double>::infinity(), 0}; }

// Puts the replacements of view `view`'s outliers into `row` (that view's
// detectors samples, already copied), each times window[s] when a window is
// given.
void PatchView(const Outliers &outliers, int view, int detectors, const double *window, double *row);

// A power of two that brings `largest` (a magnitude) into [0.5, 1); 1 for
// 0. The searches sum products of transforms, which overflow for samples
// near 1e150 and underflow near 1e-150; windows multiplied by this scale
// every transform and criterion value exactly, so the center found does
// not change by a bit for samples of ordinary size.
double UnitScale(double largest);
