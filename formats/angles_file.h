// Angle lists ("-a ANGLES"): the text file of a scan's view angles, read
// into the degrees it holds and handed to geometry as an array.
#pragma once

#include <cstdio>
#include <string>
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
//
// Given `warn`, values the unit rule below takes as radians are read as
// radians, said on `warn` as "warning: <file>: the angles read as radians
// (their values <what RadiansSpan says>)." (no option tells the unit).
Status ReadAngles(const char *name, int count, ViewSet *views, FILE *warn = nullptr);

// The same file's numbers as they are written (the unit left to the
// caller), with the same messages.
Status ReadAngleValues(const char *name, int count, std::vector<double> *values);

// Whether angle values (`count` of them, not told their unit) are radians
// by their shape: all within 2 pi in magnitude and spanning
// - about pi (0.75 pi to 1.1 pi) or about 2 pi (1.5 pi to 2.05 pi): a
//   half or whole turn, its last view in or out;
// - or, with 8 views or more, a limited range of at least 0.25 (about 14
//   degrees as radians) whose mean step is under a quarter of a unit: as
//   degrees, views packed under a quarter degree apart within 6.3 degrees,
//   which no scan takes (a list in degrees of 0..179, 0..120 or the
//   golden angle lies beyond 2 pi).
// A half or a few degrees in degrees is no tomography, so these are
// radians. Returns false otherwise; when true, *span says why, for a
// warning: "span about pi", "span about 2 pi" or "span only 2.08567, 119.5
// degrees as radians".
bool RadiansSpan(const double *values, int count, std::string *span);
