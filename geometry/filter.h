// Filtering the views of a sinogram: each view convolved with a kernel over
// its detectors, detectors outside 0 ... N - 1 taken as zero (the full
// linear convolution, cut to the view's own detectors). The convolution runs
// through FFTW on a zero-padded length, so it costs N log N per view
// instead of N * N.
#pragma once

#include <fftw3.h>

#include <vector>

#include "fftw_owned.h"

#include "kernels.h"

// The padded length: the smallest product of powers of 2, 3, 5 and 7 that
// holds 2 N - 1 values, so that a circular convolution of that length
// equals the linear one on detectors 0 ... N - 1. Zero when it would leave
// the 32-bit range.
int PaddedLength(int detectors);

// Everything the filtering needs, made once: the kernel's spectrum, the two
// plans, and one pair of work arrays per thread. It releases itself.
struct ViewFilter {
    int detectors = 0;
    int length = 0;                               // padded length
    int threads = 0;                              // work arrays
    FftwArray<double> spectrum;                   // length / 2 + 1 real values, 1 / length included
    std::vector<FftwArray<double>> work;          // per thread: `length` reals
    std::vector<FftwArray<fftw_complex>> bins;    // per thread: length / 2 + 1 complex values
    OwnedPlan forward, backward;
};

// Makes the filter for views of `detectors` samples with `threads` work
// arrays. False when memory or a plan cannot be had. Plans are made with FFTW_ESTIMATE, so they never depend on
// timing and a view is filtered the same way on every run.
bool MakeViewFilter(int detectors, Kernel kernel, int threads, ViewFilter *filter);

// The spectrum of the kernel's samples at offsets -(N - 1) ... N - 1 laid
// out circularly on `length` >= 2 N - 1 points, 1 / length included:
// length / 2 + 1 reals into `spectrum`. `forward` is a real-to-complex plan
// of that length for `work` (length reals) and `bins` (length / 2 + 1).
void KernelSpectrum(Kernel kernel, int detectors, int length, fftw_plan forward, double *work, fftw_complex *bins,
                    double *spectrum);

// Filters one view in place with work arrays `slot` (0 ... threads - 1).
void FilterView(const ViewFilter &filter, int slot, double *view);

// Filters `views` consecutive views in place, shared among the threads
// (at most filter.threads of them). Each view's result does not depend on
// which thread filters it.
void FilterViews(const ViewFilter &filter, double *views, int count);
