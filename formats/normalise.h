// Detector counts to line integrals: p = -ln((I - D) / (F - D)), with F and
// D the mean flat (open beam) and dark images.
#pragma once

#include <cstddef>

// A ratio (I - D) / (F - D) that is not a positive finite number (no signal
// above the dark, a dead flat pixel, a sample that is not a number) has no
// line integral; it is replaced by this floor, whose line integral is
// -ln(1e-6) = 13.8155...
inline constexpr double kRatioFloor = 1e-6;

// The line integral of one ratio; sets *clamped when the floor was used.
double LineIntegral(double ratio, bool *clamped);

// Normalises a band in place: `rows` sinograms of `views` x `columns`
// samples, sinogram j at band + j * views * columns, against the mean flat
// and dark rows (row j at flat + j * columns; either may be nullptr: no
// dark means D = 0, no flat means F = 1, the samples being intensities
// already normalised). Returns how many samples were clamped.
long long NormaliseBand(double *band, int rows, int views, int columns, const double *flat, const double *dark);
