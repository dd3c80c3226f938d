// The pieces of total variation on a K x K image (row 0 the top): forward
// differences to the right and downwards, zero across the last column and
// the last row, and the isotropic variation, the sum over pixels of
// sqrt(dx^2 + dy^2). Every step gives each thread whole rows, and sums are
// taken row by row and the rows added in order, so every result is the
// same for any number of threads.
#pragma once

#include <cstddef>

// The isotropic total variation of `image` (size^2 pixels).
double TotalVariation(const double *image, int size);

// The dual step of the primal-dual method on the variation: each pixel's
// pair (qx, qy) += gain / 2 times its forward differences of `image`, then
// shrunk onto the disk of radius `bound`.
void DualVariationStep(const double *image, int size, double bound, double gain, double *qx, double *qy);

// The primal step: x -= tau (back - weight div q), div the negative
// transpose of the forward differences; with `nonnegative`, negative
// pixels become zero. `extrapolated` receives 2 x - (x before the step);
// *change the sum of the squared steps, *norm that of the new pixels.
void PrimalVariationStep(const double *back, const double *qx, const double *qy, const double *tau, double weight,
                         bool nonnegative, int size, double *image, double *extrapolated, double *change,
                         double *norm);
