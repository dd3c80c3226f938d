// The disk phantom's image by a second, independent closed form: the area of
// a disk in a pixel by inclusion and exclusion of the disk's parts inside
// the quadrant rectangles [0, x] x [0, y], every pixel and every disk, in
// long double.
#pragma once

#include <vector>

// Area of the disk of radius r (> 0, finite) centered at the origin inside
// [x0, x1] x [y0, y1].
long double OracleRectangleArea(long double x0, long double x1, long double y0, long double y1, long double r);

// The size x size image, row 0 (the top) first, of signed radii centered at
// (xc, yc), pixel (j, r) centered at (j - (size - 1)/2, (size - 1)/2 - r).
std::vector<double> DiskImageOracle(int size, double xc, double yc, const std::vector<double> &radii);
