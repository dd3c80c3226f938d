// The forward projector evaluated as its definition reads: for every view
// and detector, the ray's crossing of every image row (or column) worked
// out on the spot from s = axis + x cos + y sin, the image interpolated
// linearly there with zero beyond its pixels, times the ray's length per
// row (column). The reference the fast projector is checked against (to
// rounding: it forms the crossing another way).
#pragma once

// sinogram (m views x n detectors) from image (k x k, row 0 the top) with
// pixels `pixel` wide centered at (x0, y0); views at `angles` (radians).
void ProjectOracle(const double *image, int k, double pixel, double x0, double y0, const double *angles, int m, int n,
                   double axis, double *sinogram);
