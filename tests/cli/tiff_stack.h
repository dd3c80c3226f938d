// Writing TIFF pages with libtiff for the tests of programs that read them:
// images of known samples in every sample format and layout the readers
// take, and a few they refuse.
#pragma once

#include <string>
#include <vector>

enum class SampleKind { kU8, kU16, kU32, kF32, kF64, kS16 };

struct TiffLayout {
    int rows_per_strip = 0;  // strips of this many rows (0: one strip)
    int tile = 0;            // square tiles of this side (a multiple of 16) instead
    int compression = 1;     // COMPRESSION_NONE; COMPRESSION_LZW, _ADOBE_DEFLATE ...
    int samples_per_pixel = 1;
};

// Writes `pages` images of columns x rows samples (page k at
// pages[k], row-major), each sample converted to the kind as a C cast would
// (the caller rounds integers). Returns false when libtiff fails.
bool WriteTiff(const std::string &path, const std::vector<std::vector<double>> &pages, int columns, int rows,
               SampleKind kind, const TiffLayout &layout = {});

// Samples of a sinogram file (after its header).
std::vector<double> SinogramSamples(const std::string &bytes, int *columns, int *rows);
