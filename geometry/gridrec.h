// Filtered back-projection in Fourier space, by gridding: O(K^2 log K) per
// slice instead of the direct method's O(K^2 M).
//
// The direct method (fbp.h) sums over the views each filtered view,
// linearly interpolated between detectors, at the pixels' detector
// positions (grid.h), weighted by the views' weights and divided by the
// interval. A view so interpolated has a Fourier series of period L (the
// filter's padded length, PaddedLength) whose term m is the filtered view's
// DFT at m mod L times sinc^2(m / L): the view zero-padded to L, its DFT
// times the kernel's spectrum (the direct method's, filter.h). The gridding
// sums these terms, for |m| <= L / 2 with the chesler kernel, whose response
// vanishes at the Nyquist frequency, and for |m| < L (up to the first zero
// of sinc^2) with shepp and ramachandran, which pass it. The terms, placed
// at their frequencies along each view's direction, are spread over W x W
// points of a Cartesian grid oversampled 1.25 times by a Kaiser-Bessel
// kernel (Jackson et al. 1991, with Beatty et al.'s width for that
// oversampling); one 2-D inverse FFT and a division by the kernel's Fourier
// transform (deapodisation) give every pixel at once.
//
// The two methods' images then differ by the terms left out, by the
// gridding's own error (up to 2e-4 of the image's largest value), and
// where a pixel's detector position lies outside [0, N - 1]: the gridding
// takes the filtered view's tails there, the direct method zero.
//
// Any angle list, pixel and image center: the center enters as a phase
// ramp of each view, the pixel as the scale of the frequencies (folded onto
// the grid when wider than the detector interval). The grid is shared
// among the threads by blocks of rows, every grid point summing the terms
// in the same order, and the transforms run line by line, so the image
// does not depend on the number of threads.
#pragma once

#include <fftw3.h>

#include "backproject.h"
#include "grid.h"
#include "kernels.h"
#include "status.h"
#include "views.h"

// The reconstruction methods a program offers (-M): filtered
// back-projection pixel by pixel (fbp.h), or by gridding.
enum class ReconMethod { kDirect, kFourier };

// "fbp" or "fourier" (exactly so); fails with "unknown method (fbp or
// fourier)." for any other word.
Status ReconMethodArgument(const char *text, ReconMethod *method);

// At least the bytes MakeGridRec allocates for these arguments.
double GridRecBytes(int detectors, int size, int threads);

// Everything the gridding needs for images of one side from views of one
// length, made once.
struct GridRec {
    int detectors;       // N
    int length;          // L, the padded view length
    int size;            // K, the image side
    int cells;           // M, the grid side
    int threads;
    int band;            // the largest |m| gridded: L / 2, or L - 1
    double *amplitudes;  // band + 1: the weight of the term m, 1 / L included
    double *table;       // the interpolation kernel on [0, W / 2]
    double *deapodise;   // K: 1 / the kernel's transform at each pixel index
    fftw_complex *grid;  // M * M
    fftw_complex *values;  // the samples of a block of views
    double **work;         // per thread: L reals (one view)
    fftw_complex **bins;   // per thread: L complex values
    fftw_plan forward;     // one view, real to complex, length L
    fftw_plan pair;        // two views as one complex sequence, length L
    fftw_plan columns;     // a block of grid columns, inverse
    fftw_plan rows;        // a grid row, inverse, in place
};

// Makes the gridding for views of `detectors` samples into images of
// `size` pixels a side, with `threads` work arrays. False when memory or a
// plan cannot be had (what was made is released then). Plans are made with
// FFTW_ESTIMATE, so that they never depend on timing.
bool MakeGridRec(int detectors, Kernel kernel, int size, int threads, GridRec *rec);
void ReleaseGridRec(GridRec *rec);

// Reconstructs `sinogram` (views.count views of detector.count samples,
// left as it is) into `image` (grid.size^2 doubles, overwritten), as
// ReconstructImage does (fbp.h). grid.size and detector.count must be the
// ones `rec` was made for.
void GridRecImage(const GridRec &rec, const double *sinogram, const ViewSet &views, const Detector &detector,
                  const Grid &grid, double interval, double *image);

// Two slices at once: the views of `first` and `second` (rotation axes
// `axes[0]` and `axes[1]`) as the real and imaginary parts of one complex
// sequence, one transform per pair of views, their samples on one grid, one
// 2-D inverse FFT whose real part is the first image and whose imaginary
// part is the second. Each image equals GridRecImage's up to the gridding's
// error.
void GridRecPair(const GridRec &rec, const double *first, const double *second, const ViewSet &views,
                 const double axes[2], const Grid &grid, double interval, double *first_image,
                 double *second_image);
