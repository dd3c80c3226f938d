// A sinogram or image as a baseline TIFF of floats: one page, one sample
// per pixel, 32 or 64-bit IEEE floats, uncompressed, one strip, little
// endian. The directory comes before the samples, so the file is written
// front to back and can go to a pipe.
#pragma once

#include <cstddef>
#include <cstdio>

#include "status.h"

// Bytes before the samples: the header, the directory and padding to a
// multiple of 8.
inline constexpr std::size_t kTiffPreamble = 152;

// Whether an image of columns x rows samples of `bits` fits a classic TIFF,
// whose offsets and counts are 32-bit.
bool FitsClassicTiff(int columns, int rows, int bits);

// The header and directory for an image of columns x rows samples of
// `bits` (32 or 64), exactly kTiffPreamble bytes.
void TiffPreamble(int columns, int rows, int bits, unsigned char *out);

// Writes the preamble and then the samples, row 0 (view 0) first, as
// floats (each double rounded to the nearest float) or as the doubles
// themselves. Fails with `failure` when a write fails.
Status WriteFloatTiff(FILE *out, const double *samples, int columns, int rows, int bits, const char *failure);
