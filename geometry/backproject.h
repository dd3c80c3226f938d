// Back-projection of filtered views into an image (grid.h): every pixel
// sums, over the views in order, its view linearly interpolated at the
// pixel's detector position s: between detectors i = min(floor(s), N - 2)
// and i + 1, zero when s lies outside [0, N - 1]. Every pixel adds its views
// in the same order however the image is shared among threads, so the
// image does not depend on their number.
#pragma once

#include <cstddef>

#include "grid.h"
#include "row_sums.h"
#include "views.h"

// The detector of a scan: N samples per view, the rotation axis at `axis`
// (detector position, in intervals from detector 0).
struct Detector {
    int count;
    double axis;
};

// The x of every column of the grid: `size` values.
void ColumnPositions(const Grid &grid, double *xs);

// Adds every view's contribution to every pixel of `image` (K * K doubles,
// row 0 first, holding the sums so far: zero to start), with the inner
// loop's `path` (every path gives the same sums). `filtered` holds the
// views, N samples each. Threads share the image by tiles.
void BackProjectViews(const double *filtered, const ViewSet &views, const Detector &detector, const Grid &grid,
                      double *image, RowPath path = BestRowPath());

// The pixels j in [first, last) of a row whose detector position
// base + xs[j] cosine lies in [0, N - 1]: [*lo, *hi), empty when
// *lo == *hi. The positions are monotone in j, so the pixels form one run.
void PixelRun(double base, double cosine, const Grid &grid, const double *xs, int detectors, int first, int last,
              int *lo, int *hi);

// Multiplies each view of a set that is not an even half turn by its
// weight (the angle it stands for); an even half turn is left alone, its
// common step applied once to the image instead (BackProjectionScale).
void WeightViews(double *filtered, const ViewSet &views, int detectors);

// What the sums are multiplied by before the division by the interval: the
// step pi / M of an even half turn, 1 for weighted views.
double BackProjectionScale(const ViewSet &views);

// Multiplies every sum by `scale`, then divides it by the interval.
void ScaleImage(double *image, std::size_t count, double scale, double interval);
