// The sum the gridding evaluates, term by term: for every pixel and view,
// the view's Fourier series (period L, the padded length) at the pixel's
// detector position, |m| <= band, each term the view's DFT at m mod L times
// the kernel's spectrum (its samples at offsets -(N - 1) ... N - 1, summed
// as cosines) times sinc^2(m / L), the Nyquist term halved when band is
// L / 2; weighted by the view's weight, divided by the interval.
#pragma once

#include "backproject.h"
#include "grid.h"
#include "kernels.h"
#include "views.h"

void GridRecImageOracle(const double *sinogram, const ViewSet &views, const Detector &detector, const Grid &grid,
                        double interval, Kernel kernel, int band, double *image);

// How far the direct (ReconstructImage) and the gridding reconstruction of
// an n x n image lie from the truth, and from each other: root mean squares
// over the pixels within (n - 1) / 2 - 2 of the grid's centre, where both
// methods see every view.
struct MethodErrors {
    double direct, fourier, between;
};
MethodErrors ErrorsInsideTheCircle(const Grid &grid, int n, const double *truth, const double *direct,
                                   const double *fourier);
