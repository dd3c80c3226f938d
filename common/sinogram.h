// Sinograms: a text header line "N\tM\n" (detectors per view, views), then
// M rows of N little-endian binary64 samples with no gaps.
#pragma once

#include <bit>
#include <cstdio>

static_assert(std::endian::native == std::endian::little,
              "samples are written as the host's doubles; this host would write them big-endian");

// Writes "%d\t%d\n"; returns what fprintf returned.
int WriteSinogramHeader(FILE *out, int columns, int rows);

// Reads one header line (at most 1023 bytes and its line feed) and parses two
// integers from it as "%d %d" would; text after the second is ignored.
// Returns false when no line can be read, when the line does not end within
// the 1024-byte buffer (its rest would otherwise be taken as samples), or
// when two integers in the 32-bit range cannot be parsed. The caller decides
// which counts are valid.
bool ReadSinogramHeader(FILE *in, int *columns, int *rows);

// The parsing step alone, on a zero-terminated line.
bool ParseSinogramHeader(const char *line, int *columns, int *rows);
