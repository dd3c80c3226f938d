// Greyscale TIFF pages read row by row through libtiff: one sample per
// pixel, 8/16/32-bit unsigned integers or 32/64-bit floats, in strips or
// tiles, any compression libtiff decodes. Every sample becomes a double
// exactly.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include <tiffio.h>

#include "status.h"

// Closes a TIFF when it leaves scope, so that a failure on the way out
// never leaks the file (the fuzzing build resumes after failures).
struct TiffCloser {
    void operator()(TIFF *tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Silences libtiff's own messages: every failure is reported once, by the
// caller, in the toolkit's words. Call before opening any TIFF.
void QuietTiff();

// Opens a TIFF for reading (no memory mapping: a file cut short must fail
// as a read error, not as a fault). nullptr when it cannot be opened.
TiffHandle OpenTiff(const char *name);

// Room for one decoded strip or tile. Its bytes are not set when it grows:
// a page whose strip claims gigabytes of samples but holds a few bytes
// must cost what libtiff actually decodes, not the claim (fresh pages of a
// large block stay uncommitted until written). Only bytes libtiff wrote
// are read.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <typename U>
    UnsetAllocator(const UnsetAllocator<U> &) {}
    template <typename U>
    void construct(U *at) {
        ::new (static_cast<void *>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U *at, Args &&...args) {
        ::new (static_cast<void *>(at)) U(std::forward<Args>(args)...);
    }
};
using TiffScratch = std::vector<unsigned char, UnsetAllocator<unsigned char>>;

struct PageFormat {
    int columns;
    int rows;
    int bits;          // 8, 16, 32 or 64
    bool floating;     // IEEE floats, else unsigned integers
    bool tiled;
};

// The format of the current directory, when it is one this reader takes;
// otherwise fails with "unsupported sample format." or "bad number of
// pixels.".
Status ReadPageFormat(TIFF *tif, PageFormat *format);

// Reads rows [first, first + count) of the current directory into `out`,
// row j at out + j * row_step, columns 0 ... columns - 1. `scratch` holds
// the decoded part of one strip or tile between calls: each piece is
// decoded only down to the last of these rows it holds. Fails when libtiff cannot read
// or decode the rows (a file cut short, a broken strip, an uncompressed
// strip or tile whose byte count is short of its samples) with "data read
// error.", or with "memory allocation error." for a strip or tile too large
// to hold.
Status ReadPageRows(TIFF *tif, const PageFormat &format, int first, int count, double *out, std::size_t row_step,
                    TiffScratch *scratch);

// Converts `count` samples of the given format from raw bytes (host order,
// as libtiff delivers them) to doubles.
void SamplesToDoubles(const unsigned char *raw, const PageFormat &format, std::size_t count, double *out);
