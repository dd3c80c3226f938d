// The gridding's slices of a volume (-M fourier): an even detector row and
// the next reconstructed together (GridRecPair), a row whose partner is
// not there alone, each pair or row on a thread of its own with a
// gridding of its own. A slice is computed by one thread from start to
// end, so it does not depend on the number of threads; only the threads'
// grids cost memory, not their waiting on each other.
#pragma once

#include <cstddef>

#include "gridrec.h"
#include "status.h"

// How many workers a volume of `rows` slices gets: a thread each (as
// OpenMP would start them), no more than it has pairs of rows.
int SliceWorkersFor(int rows);

struct SliceWorkers {
    int count = 0;
    GridRec *recs = nullptr;  // one single-threaded gridding each
};

// Makes `count` griddings for views of `detectors` samples into slices of
// `size` pixels a side; false when memory or a plan cannot be had.
bool MakeSliceWorkers(int detectors, Kernel kernel, int size, int count, SliceWorkers *workers);
void ReleaseSliceWorkers(SliceWorkers *workers);

// Reconstructs the `rows` sinograms at `sinograms` (each `stride` doubles),
// detector rows first ... first + rows - 1 with axes axes[0 ...], into
// images[0 ...] (size^2 doubles each) on `grid` (its size the workers'): row first + j pairs with the next
// when first + j is even and the next is among them. The workers share the
// pairs and lone rows.
void GridRows(const SliceWorkers &workers, const double *sinograms, std::size_t stride, int first, int rows,
              const double *axes, const ViewSet &views, const Grid &grid, double *images);
