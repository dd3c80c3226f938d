// Writing TIFF pages with libtiff for the tests of programs that read them:
// images of known samples in every sample format and layout the readers
// take, and a few they refuse.
#pragma once

#include <cstdint>
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

// The raw structure of a classic little-endian TIFF (what libtiff writes
// here), for tests that read or damage a file's tags byte by byte.
// Directory offsets in chain order.
std::vector<std::uint64_t> DirectoryOffsets(const std::string &bytes);

// Value `index` of tag `tag` (SHORT or LONG) of directory `page`, wherever
// it is stored (in the entry, or out of line); where it is stored; and the
// same value overwritten. A missing tag reads as 0xffffffff, lies at 0 and
// is not written.
std::uint32_t TagValue(const std::string &bytes, int page, int tag, int index);
std::uint64_t TagValueOffset(const std::string &bytes, int page, int tag, int index);
void SetTagValue(std::string *bytes, int page, int tag, int index, std::uint32_t value);
