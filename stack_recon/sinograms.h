// A band of detector rows read from the stack as sinograms of line
// integrals, the way proj_sino writes them: each row's views in order,
// normalised against the mean flat and dark rows.
#pragma once

#include "stack_inputs.h"
#include "status.h"

// Reads rows [start, start + rows) of the first `views` images into
// `band` (sinogram j at band + j * views * columns) and normalises them;
// `means` holds 3 * rows * columns doubles of scratch. Adds the clamped
// samples to *clamped. Fails with the readers' messages about the file.
Status ReadSinograms(const StackInputs &in, int views, int start, int rows, double *band, double *means,
                     long long *clamped);
