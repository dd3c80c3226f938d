// The image grid and where its pixels meet the detector: the one definition
// of the map from the object's plane to detector positions.
//
// A K x K image of pixels PIXEL detector intervals wide, centered at (x0, y0)
// detector intervals from the rotation axis, y up: pixel (column j, row r)
// is centered at
//     x = x0 + (j - (K - 1)/2) PIXEL,   y = y0 + ((K - 1)/2 - r) PIXEL.
// In a view at angle theta the point (x, y) projects onto the detector
// position
//     s = (axis + y sin theta) + x cos theta,
// evaluated in that order: the first part once per image row, the product
// with x once per pixel.
#pragma once

struct Grid {
    int size;      // K
    double pixel;  // side of a pixel, detector intervals
    double x0, y0; // the image's center, detector intervals from the axis
};

// The grid of sino_recon's default image: K pixels of one detector interval
// centered on the axis.
inline Grid AxisGrid(int size) { return Grid{size, 1.0, 0.0, 0.0}; }

inline double GridHalf(const Grid &grid) { return (grid.size - 1.0) / 2; }

inline double PixelX(const Grid &grid, int column) { return grid.x0 + (column - GridHalf(grid)) * grid.pixel; }

inline double PixelY(const Grid &grid, int row) { return grid.y0 + (GridHalf(grid) - row) * grid.pixel; }

// The row's part of the detector position: axis + y sin theta.
inline double RowBase(double axis, double y, double sine) { return axis + y * sine; }

// The detector position of the pixel at x in a row whose base is `base`.
inline double DetectorPosition(double base, double x, double cosine) { return base + x * cosine; }

// The detector position of the point (x, y) in one view.
inline double ProjectPoint(double axis, double cosine, double sine, double x, double y) {
    return DetectorPosition(RowBase(axis, y, sine), x, cosine);
}
