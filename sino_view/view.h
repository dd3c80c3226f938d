// A sinogram as an 8-bit greyscale picture: one image row per view, one
// column per detector, grey levels mapping a window [lo, hi] onto 0 ... 255.
#pragma once

#include <cstddef>
#include <cstdio>

#include "status.h"

struct Window {
    double lo, hi;
};

// The window given on the command line; hi <= lo or a bound that is not
// finite fails with "bad window.".
Status WindowArguments(const char *lo, const char *hi, Window *window);

// The smallest and largest finite sample; {0, 0} when there is none.
Window SampleWindow(const double *samples, std::size_t count);

// Grey level of one sample: 0 at lo, 255 at hi, linear between, clamped
// outside; 0 (black) for a sample that is not finite; 128 for every finite
// sample when lo == hi (a constant image).
unsigned char GreyLevel(double sample, Window window);

// Writes the PNG (8-bit greyscale, columns x rows) of `samples` in `window`.
// Any failure of the encoder or the output fails with `write_failure`; the
// encoder's memory running out, with "memory allocation error.".
Status WritePng(FILE *out, const double *samples, int columns, int rows, Window window, const char *write_failure);

// Largest width and height the encoder accepts.
inline constexpr int kMaxPngSide = 1000000;
