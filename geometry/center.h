// Finding the rotation axis of a half-turn sinogram: a coarse search of the
// wedge criterion over the whole field, then a finer one with the data
// windowed symmetrically about the first estimate.
#pragma once

#include <complex>
#include <cstddef>

#include "wedge.h"

// Smallest sinogram the search can decide on. The wedge begins 8
// harmonics above the object's reach and ends below M: fewer than 16 views
// leave it a handful of frequencies or none.
inline constexpr int kMinDetectors = 3;
inline constexpr int kMinViews = 16;

// Buffers of one search, allocated before any computation.
struct CenterWork {
    WedgeWork wedge;
    int fine_length;                 // detector transform of the fine searches
    double *window;                  // detectors values
    std::complex<double> *weights;   // wedge.capacity values
    double *grid;                    // the criterion along a search's grid
    std::size_t grid_capacity;
    double scale;                    // of the windows: a power of two, set by FindCenter
};

bool AllocateCenterWork(CenterWork *work, int detectors, int views);
void ReleaseCenterWork(CenterWork *work);

// A window over detectors 0 .. n-1: 1 within half_width - taper of
// `middle`, a raised cosine down to 0 at half_width, 0 beyond.
void TaperedWindow(double *window, int n, double middle, double half_width, double taper);

// What the search found: `found` is false when the criterion has no clear
// minimum (a blank sinogram, or one whose halves match equally well at
// several places).
struct CenterEstimate {
    bool found;
    double center;
};

// The axis of a sinogram of the work's size (views x detectors samples,
// view 0 first); the estimate lies within [0.5, detectors - 1.5].
CenterEstimate FindCenter(const double *samples, CenterWork *work);
