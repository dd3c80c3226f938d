// Angle lists ("-a ANGLES"): the text file of a scan's view angles, read
// into the degrees it holds and handed to geometry as an array.
#pragma once

#include <vector>

#include "status.h"
#include "views.h"

// The angles of a text file: one number per view, in degrees, in the
// sinogram's row order, separated by any white space (what numpy.savetxt
// writes; lines starting with '#' are comments). Any spacing, order and
// direction. The views are those of ViewsFromDegrees. Fails with "<file>:
// file not found.", "<file>: data read error." (a word that is not a whole
// number; "<file>: decimal comma in <word>: angles take a point." for a
// number written with a decimal comma), "<file>: bad angle." (not finite), "<file>: <n> angles for
// <count> views." or "memory allocation error."; for standard input the
// file is called "angles".
Status ReadAngles(const char *name, int count, ViewSet *views);

// The same file's numbers as they are written (the unit left to the
// caller), with the same messages.
Status ReadAngleValues(const char *name, int count, std::vector<double> *values);
