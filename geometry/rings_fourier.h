// Stripe removal by a Fourier filter of the stripes' low angular
// frequencies. A stripe is detail across the detectors (a column unlike its
// neighbours) that hardly changes with the angle; the object's own detail
// moves across the detectors as the object turns. Each view's detail is what
// a running median across `size` columns does not keep; the part of it that
// varies slowly with the angle (a Gaussian of the angular harmonics, through
// a cosine transform over the views) is the stripes, and is subtracted.
#pragma once

#include <fftw3.h>

#include "owned.h"
#include "fftw_owned.h"

// The memory of one run and the transforms' plans. It releases itself.
struct FourierWork {
    int columns = 0;
    int rows = 0;
    int threads = 0;
    Owned<double> detail;   // rows x columns
    Owned<double> blocks;   // per thread: kBlockColumns columns of `rows` values
    Owned<double> scratch;  // per thread: a row of columns and a median window
    int window = 0;
    Owned<double> damping;  // rows values: the weight of each harmonic, 1 / (2 rows) included
    OwnedPlan forward, backward;
};

// Allocates the work for `columns` x `rows` samples, medians of up to `size`
// samples and `threads` threads, with the harmonics weighted by
// exp(-k^2 / (2 sigma^2)) (k = 0 ... rows - 1, harmonic k making k cycles
// over the whole turn). False when memory or a plan cannot be had.
bool AllocateFourierWork(int columns, int rows, int size, double sigma, int threads, FourierWork *work);

// Each view of `samples` less its running median across `size` columns, into
// work->detail.
void ViewDetail(const double *samples, int size, FourierWork *work);

// Replaces every column of work->detail by its low angular frequencies: the
// stripes' estimate.
void LowAngularFrequencies(FourierWork *work);

// The whole method: the stripes' estimate subtracted from `samples`. The
// result does not depend on the number of threads.
void FourierFilter(double *samples, int size, FourierWork *work);
