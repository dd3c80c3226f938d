// Phase retrieval of a whole projection at once, as the formula reads: the
// projection continued by reflection to twice its size each way (the
// reflection's own period, so that the circular transform is exact), a
// complex transform, each frequency u (cycles per metre) divided by
// 1 + coefficient |u|^2, back, and -ln of the projection's own samples.
#pragma once

// `ratio` and `out`: rows x columns, row-major.
void PaganinWholeProjection(const double *ratio, int rows, int columns, double coefficient, double pixel,
                            double *out);
