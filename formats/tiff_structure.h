// Where a TIFF's bytes lie: its structure (the header, every directory's
// entries and the values they hold out of line) and the strips or tiles of
// each page. libtiff reads a piece from wherever its offset points, so a
// piece that points into the structure, or into another piece of its page,
// would turn directory entries or another strip's bytes into samples
// (values up to 1e37 from a directory): such a page is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <tiffio.h>

#include "status.h"

// A TIFF's raw bytes: an open file (fd >= 0, read with pread) or a block in
// memory (fd < 0).
struct RawTiff {
    int fd;
    const unsigned char *bytes;
    std::uint64_t size;
};

// The raw bytes of an open file, its size from fstat; false when it cannot
// be had.
bool RawTiffOfFile(int fd, RawTiff *raw);

// Reads `count` bytes at `at`; false when they are not all in the file.
bool ReadRaw(const RawTiff &raw, std::uint64_t at, void *out, std::size_t count);

struct ByteRange {
    std::uint64_t begin, end;  // [begin, end)
};

struct TiffStructure {
    std::vector<ByteRange> ranges;  // sorted, apart from one another
    std::uint64_t size;             // the file's bytes
    // The directories (0 the first) whose width, length or bits per sample
    // is 0: libtiff refuses to read them, and the page has no pixels.
    std::vector<int> zero_sizes;
};

// Whether directory `index` has a width, length or bits per sample of 0.
bool ZeroSize(const TiffStructure &structure, int index);

// The structure of the file, following the chain of directories from the
// header until it ends, leaves the file or comes back on itself (libtiff
// reports those when it reaches them). Memory follows the directories the
// file holds.
TiffStructure ReadTiffStructure(const RawTiff &raw);

// Whether the current directory of `tif` (the same file) lies wholly inside
// it. libtiff takes a directory cut short by the end of the file as the
// last one, with the tags it could read: a stack cut short would silently
// lose pages.
bool DirectoryInRaw(TIFF *tif, const RawTiff &raw);

// Checks the strips or tiles of the current directory: none may overlap
// the structure or another piece of the page, and the page may not have
// more pieces than the file has bytes. Fails with "data read error.".
Status CheckPieces(TIFF *tif, const TiffStructure &structure);
