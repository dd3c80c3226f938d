// sino_recon evaluated as written: each filtered sample a direct sum over
// the view's detectors, each pixel's detector position and interpolation
// worked out per view with its cosine and sine computed on the spot. The
// reference the FFT filter and the tiled back-projection are checked against.
#pragma once

#include "real.h"

// out[i] = sum over m = 0 ... n - 1 of view[m] h(i - m), summed in the
// extended type, for i = 0 ... n - 1.
void FilterViewOracle(const double *view, int n, Real (*kernel)(long long), double *out);

// The K x K image from M filtered views of N detectors: for pixel (j, r),
// x = j - (K - 1)/2, y = (K - 1)/2 - r; for view k, theta = k dtheta,
// s = (c + y sin theta) + x cos theta; the view interpolated between
// i = min(floor(s), N - 2) and i + 1 when 0 <= s <= N - 1 (detector 0 itself
// when N = 1), nothing otherwise; the sum over k in order, times dtheta,
// divided by the interval.
void BackProjectImageOracle(const double *filtered, int n, int m, double center, int size, double dtheta,
                            double interval, double *image);
