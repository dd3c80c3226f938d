// The field of view: the disc around the rotation axis that the detector's
// rays reach. An image placed wholly outside it (an -o given in pixels or
// millimetres where detector intervals were meant) is empty, which a
// program says rather than write zeros without a word.
#pragma once

#include <string>

#include "grid.h"

// Empty when some of `grid` lies within reach of the detector of `columns`
// samples for one of the `count` axes given (the farther end of the
// detector from the axis, and one interval beyond: the interpolation's
// reach); otherwise the warning line.
std::string OutsideFieldWarning(const Grid &grid, int columns, const double *axes, int count);
