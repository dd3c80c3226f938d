// The steps a band of sinograms takes after it is read, besides
// normalisation and zingers: rings removed (-R), the slice method and its
// settings (-M, -i, -n, -S, -L, -e), and the slices' centre (-o).
#pragma once

#include "grid.h"
#include "methods.h"
#include "rings_band.h"

struct BandSteps {
    RingsChoice rings;
    SliceMethod method = SliceMethod::kFbp;
    IterativeSettings iterative;
    double x0 = 0, y0 = 0;  // -o, detector intervals from the axis
};

// The slices' grid: `size` pixels of one detector interval, centred at -o.
inline Grid SliceGrid(const BandSteps &steps, int size) { return Grid{size, 1.0, steps.x0, steps.y0}; }
