// The mean of an ellipse phantom (phantom.h) over each pixel of a grid
// (grid.h), in closed form.
//
// Pixel (column j, row r) is the rectangle between the column edges
// x0 + (j - K/2) PIXEL and x0 + (j + 1 - K/2) PIXEL and the row edges
// y0 + (K/2 - r - 1) PIXEL and y0 + (K/2 - r) PIXEL (neighbours share their
// edges to the bit). Its mean is the sum over the ellipses, in order, of
// value times the fraction of the rectangle inside the ellipse, formed in
// the extended type and rounded once.
//
// The fraction: the ellipse's own frame (turned by -angle, scaled by 1/a
// and 1/b) makes it the unit disk and the rectangle a parallelogram; the
// area of their intersection is the sum over the parallelogram's edges of
// the part of the triangle (origin, edge) inside the disk (triangles where
// the edge is inside, circular sectors where it is outside), times a b. It
// is exactly 1 when the four corners lie in the closed ellipse, exactly 0
// when the rectangle misses the ellipse's extent in its strip of rows, and
// pi a b over the rectangle's area when the ellipse lies inside it. All of
// it in the extended type: against 40-digit quadrature the error of a
// fraction stays below 2e-19 times the ellipse's larger half-axis over the
// pixel side (2e-15 for half-axes up to 1e4 pixels).
#pragma once

#include "grid.h"
#include "phantom.h"
#include "real.h"

// An ellipse in the form the pixel sums use, made once per phantom.
struct EllipseFrame {
    Real xc, yc, cos_phi, sin_phi, a, b;
    Real value;
    Real wx, wy;       // half-widths of the ellipse's bounding box
    Real slope;        // shift of a horizontal chord's middle per unit of height
    Real width;        // half-length of the horizontal chord through the center
    Real rightmost;    // height of the rightmost point above the center
    Real margin;       // added around extents, far above their rounding
};

EllipseFrame FrameOf(const Ellipse &ellipse);

// The thinnest half-axis, in pixel sides, whose pixel means are exact: the
// disk frame scales a pixel by the inverse half-axes, and the fraction of a
// pixel the boundary crosses loses digits as the square of that scale
// (relative error near 1e-14 at this limit, 1e-3 at 1e-9 pixel sides).
inline constexpr double kThinnestHalfAxis = 1e-6;

// The longest half-axis, in pixel sides, whose pixel means are exact: the
// error of a fraction grows with the half-axis over the pixel side (1e-10
// at this limit, 3e-5 at 1e15 pixel sides).
inline constexpr double kLongestHalfAxis = 1e9;

// Whether both half-axes lie within kThinnestHalfAxis ... kLongestHalfAxis
// pixel sides.
bool PixelMeansExact(const Ellipse &ellipse, double pixel);

// Column edge j (0 ... K) and row edge r (0 ... K, the top of row r).
double ColumnEdge(const Grid &grid, int j);
double RowEdge(const Grid &grid, int r);

// The fraction of the rectangle [left, right] x [bottom, top] inside the
// ellipse.
Real EllipseFraction(const EllipseFrame &frame, double left, double right, double bottom, double top);

// The mean of the phantom (its `count` frames) over pixel (column, row),
// ellipse by ellipse: the straightforward evaluation.
double PhantomPixelMean(const EllipseFrame *frames, int count, const Grid &grid, int column, int row);

// Row `row` of the image (grid.size pixels into `pixels`), equal pixel for
// pixel to PhantomPixelMean: each ellipse visits only the columns of its
// extent in the row's strip, and adds its value without computing the
// fraction where a run of pixels lies wholly inside it. `sums` is scratch of
// grid.size extended numbers.
void PhantomImageRow(const EllipseFrame *frames, int count, const Grid &grid, int row, Real *sums, double *pixels);
