// A whole TIFF held in memory, opened through libtiff's client interface:
// standard input is not seekable, and libtiff must seek.
#pragma once

#include <cstdio>
#include <vector>

#include "status.h"
#include "tiff_pages.h"

struct TiffBytes {
    std::vector<unsigned char> bytes;
    std::size_t at;  // libtiff's position
};

// Reads the rest of a stream; memory grows with the bytes actually read.
// Fails with "data read error." or "memory allocation error.".
Status ReadAll(FILE *in, std::vector<unsigned char> *bytes);

// Opens the TIFF in `tiff` for reading; nullptr when libtiff cannot read
// its header or first directory. `tiff` must outlive the handle.
TiffHandle OpenTiffBytes(TiffBytes *tiff);
