// The forward projector and its exact transpose, by Joseph's method.
//
// Each ray (view theta, detector i) is the line of points (x, y) whose
// detector position s = axis + x cos theta + y sin theta equals i (grid.h).
// A ray closer to the y axis (|cos| >= |sin|) is sampled where it crosses
// each image row, a ray closer to the x axis where it crosses each column;
// there the image is interpolated linearly between the two nearest pixel
// centers of that row (column), pixels beyond the image counting as zero,
// and the samples are summed times the length of ray between two rows
// (columns): PIXEL / |cos| (PIXEL / |sin|). A sample is the line integral
// of the image density in detector intervals, so the projection of a
// disk_image approaches disk_sino's chords.
//
// ProjectTransposed applies the transpose of the same matrix: every weight
// the projector uses once, scattered back. Both share the image among
// threads so that no sum depends on their number: the projector gives each
// thread whole views, the transpose whole image rows (and columns).
#pragma once

#include <cstddef>

#include "backproject.h"
#include "grid.h"
#include "owned.h"
#include "status.h"
#include "views.h"

// The inner loops' instruction sets (project_lines.h); every one gives the
// same results.
enum class LinePath { kScalar, kAvx512 };
LinePath BestLinePath();

// Scratch of a projection: the image with a zero column on each side of
// every row, and its transpose likewise, so that the interpolation never
// tests an index. It releases itself.
struct ProjectionWork {
    int size = 0;
    Owned<double> rows;     // K rows of K + 2 samples
    Owned<double> columns;  // K columns of K + 2 samples
};

// Fails with "memory allocation error.".
Status AllocateProjection(int size, ProjectionWork *work);

// sinogram (views.count rows of detector.count samples) = the line
// integrals of `image` (grid.size^2 pixels, row 0 the top).
void Project(const Grid &grid, const ViewSet &views, const Detector &detector, const double *image,
             double *sinogram, ProjectionWork *work, LinePath path = BestLinePath());

// image = the transpose of Project applied to `sinogram`.
void ProjectTransposed(const Grid &grid, const ViewSet &views, const Detector &detector, const double *sinogram,
                       double *image, ProjectionWork *work, LinePath path = BestLinePath());

// One line of pixels a view's rays cross: a ray's position along the line,
// in the padded line's coordinates (pixel j of the line at j + 1), is
// alpha + i beta for detector i; each crossing weighs `weight`.
struct RayLine {
    double alpha, beta, weight;
};

// Whether a view is sampled by rows (|cos| >= |sin|), else by columns.
inline bool ByRows(double cosine, double sine) { return (cosine < 0 ? -cosine : cosine) >= (sine < 0 ? -sine : sine); }

// The line of image row r (a view by rows) or image column j (by columns).
RayLine RowLine(const Grid &grid, const Detector &detector, double cosine, double sine, int row);
RayLine ColumnLine(const Grid &grid, const Detector &detector, double cosine, double sine, int column);

// The detectors [*lo, *hi) whose positions along a line of `size` pixels
// lie in [0, size + 1), the padded line.
void LineDetectors(const RayLine &line, int size, int detectors, int *lo, int *hi);
