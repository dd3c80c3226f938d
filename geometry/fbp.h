// Filtered back-projection, the steps in order: each view filtered by the
// kernel, weighted by the angle it stands for, back-projected into the
// image, the sums scaled by the view step and divided by the detector
// interval. A disk of unit density reconstructs to about 1.
#pragma once

#include <cstddef>

#include "backproject.h"
#include "checks.h"
#include "filter.h"
#include "grid.h"
#include "views.h"

// Reconstructs `sinogram` (views.count views of detector.count samples,
// filtered in place) into `image` (grid.size^2 doubles, overwritten).
// With `zeroed`, the image already holds zeros (a fresh block) and is not
// cleared again.
void ReconstructImage(const ViewFilter &filter, double *sinogram, const ViewSet &views, const Detector &detector,
                      const Grid &grid, double interval, double *image, bool zeroed = false);

// Whether an interval leaves the image finite for finite sums: the view
// step (or weight) divided by it must be a finite number.
bool IntervalKeepsImageFinite(const ViewSet &views, double interval);
