// Back-projection of filtered views into a K x K image. Pixel (column j,
// row r) sits at x = j - (K - 1)/2, y = (K - 1)/2 - r and meets view k
// (angle k dtheta) at detector position s = (c + y sin) + x cos. Its sum
// takes, over the views in order, the view linearly interpolated at s:
// between detectors i = min(floor(s), N - 2) and i + 1, zero when s lies
// outside [0, N - 1]. Every pixel adds its views in the same order however
// the image is shared among threads, so the image does not depend on their
// number.
#pragma once

#include <cstddef>

#include "row_sums.h"

// What the back-projection needs besides the views and the image.
struct Geometry {
    int detectors;          // N, per view
    int views;              // M
    double centre;          // c, the column of the rotation axis
    int size;               // K, the image side
    const double *cosines;  // M values, cos(k dtheta)
    const double *sines;    // M values, sin(k dtheta)
};

// pi / M, formed in the extended type and rounded once.
double ViewAngleStep(int views);

// cos and sin of k dtheta (the angle rounded to double) for k = 0 ... M - 1.
void ViewAngles(int views, double dtheta, double *cosines, double *sines);

// Adds every view's contribution to every pixel of `image` (K * K doubles,
// row 0 first, holding the sums so far: zero to start), with the inner
// loop's `path` (every path gives the same sums). Threads share the image
// by tiles.
void BackProjectViews(const double *filtered, const Geometry &geometry, double *image,
                      RowPath path = BestRowPath());

// The pixels j in [first, last) of a row whose detector position
// base + (j - half) cosine lies in [0, N - 1]: [*lo, *hi), empty when
// *lo == *hi. The positions are monotone in j, so the pixels form one run.
void PixelRun(double base, double cosine, double half, int detectors, int first, int last, int *lo,
              int *hi);

// Multiplies every sum by dtheta, then divides it by the interval.
void ScaleImage(double *image, std::size_t count, double dtheta, double interval);
