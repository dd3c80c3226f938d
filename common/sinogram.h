// Sinograms: a text header line "N\tM\n" (detectors per view, views), then
// M rows of N little-endian binary64 samples with no gaps.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdio>
#include <string>

#include "status.h"

static_assert(std::endian::native == std::endian::little,
              "samples are written as the host's doubles; this host would write them big-endian");

// Writes "%d\t%d\n"; returns what fprintf returned.
int WriteSinogramHeader(FILE *out, int columns, int rows);

// Writes the header; fails with `failure` when the write fails. A program
// that checks its header at once calls this; the others learn of a failed
// header write from the final flush (CloseOutput), which no failure passes.
Status WriteCheckedHeader(FILE *out, int columns, int rows, const char *failure);

// Reads one header line (at most 1023 bytes and its line feed) and parses two
// integers from it as "%d %d" would; text after the second is ignored.
// Returns false when no line can be read, when the line does not end within
// the 1024-byte buffer (its rest would otherwise be taken as samples), or
// when two integers in the 32-bit range cannot be parsed. The caller decides
// which counts are valid.
bool ReadSinogramHeader(FILE *in, int *columns, int *rows);

// The parsing step alone, on a zero-terminated line.
bool ParseSinogramHeader(const char *line, int *columns, int *rows);

// Reads the header and requires both counts to be greater than zero;
// otherwise fails with "<prefix>bad number of pixels.".
Status ReadCheckedHeader(FILE *in, const std::string &prefix, int *columns, int *rows);

// Reads `count` samples in large pieces into a block from ReserveBlock (or
// any memory), putting each piece's pages in place just before it is read,
// so that memory follows the data actually supplied. False on a short read.
bool ReadSamples(FILE *in, double *samples, std::size_t count);

// A whole sinogram (or image) in memory: rows of columns samples, row 0
// first.
struct Sinogram {
    int columns;
    int rows;
    double *samples;
    std::size_t bytes;  // the block's size, for ReleaseSinogram
};

// Opens the named sinogram ("rb"; a name starting with '-' is standard
// input), reads it whole and closes it unless it is standard input. Fails
// with the prefix and "file not found.", "bad number of pixels.", "memory
// allocation error." or "data read error." (a short file). Data after the
// last sample is not read.
Status ReadSinogram(const char *name, const std::string &prefix, Sinogram *sinogram);
Status ReadSinogramFrom(FILE *in, const std::string &prefix, Sinogram *sinogram);

// The samples alone, for a reader that checks the header's counts (already
// in `columns` and `rows`) in its own way first; the same messages.
Status ReadSinogramBody(FILE *in, const std::string &prefix, Sinogram *sinogram);
void ReleaseSinogram(Sinogram *sinogram);

// Succeeds when every sample is finite; otherwise fails with "<prefix>sample
// not finite (view V, column C).", naming the first such sample (views and
// columns counted from 0). A NaN or an infinity filtered and
// back-projected spreads over the whole image.
Status CheckSamplesFinite(const Sinogram &sinogram, const std::string &prefix);
