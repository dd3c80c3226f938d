// Ellipse phantoms evaluated as written: every sample sums every ellipse,
// each ellipse's shadow and chord formed anew from its numbers for every
// ray; every pixel sums every ellipse's fraction; one 8-byte write per
// sample.
#pragma once

#include <cstdio>

#include "grid.h"
#include "phantom.h"
#include "views.h"

// The sinogram phantom_sino writes (header and samples) for `detectors`
// detectors with the axis at `axis` and these views.
void PhantomSinogramOracle(const Phantom &phantom, const ViewSet &views, int detectors, double axis, FILE *out);

// The image phantom_image writes (header and pixels) on this grid.
void PhantomImageOracle(const Phantom &phantom, const Grid &grid, FILE *out);
