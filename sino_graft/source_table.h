// The source sinogram SG0 held for sampling at any angle and detector
// position: one block of (M0 + 1) rows of N0 + 2 cells. Each row pointer
// addresses the row's first sample, so indices -1 and N0 are zero guard
// cells and a bilinear step never needs a bounds test. Row M0, the view at
// angle pi, is view 0 mirrored about the rotation center.
#pragma once

#include <cstddef>
#include <cstdio>

#include "real.h"
#include "status.h"

struct SourceTable {
    int columns;             // N0
    int rows;                // M0
    double **row;            // M0 + 1 pointers to each row's sample 0
    double *block;           // all cells, guards included
    std::size_t block_bytes;
};

// Opens SG0 ("rb", '-' for standard input), reads its header and its M0 rows
// (one block read each) and closes it unless it is standard input. Fails
// with "SG0 file not found.", "SG0 bad number of pixels.", "SG0 memory
// allocation error." or "SG0 data read error.".
Status LoadSourceTable(const char *name, SourceTable *table);
Status LoadSourceTableFrom(FILE *in, SourceTable *table);

// Whether resampling the table can leave the double range: every sample
// finite, and one so large (beyond a sixteenth of the largest double) that
// a bilinear step may overflow. Tables of ordinary values cannot.
bool SamplesMayOverflow(const SourceTable &table);

// Fills row M0 from row 0 mirrored about c0, with 0 < c0 < N0 - 1.
void MirrorClosingRow(const SourceTable &table, double c0);

// The detector cell of position R, -1 < R < N0: k = floor(R) and
// fx = R - k. Truncation gives the floor for R >= 0, where R - k is exact.
inline int DetectorCell(double position, double *fx) {
    if (position >= 0) {
        int k = static_cast<int>(position);
        *fx = position - k;
        return k;
    }
    *fx = static_cast<Real>(position) + 1;
    return -1;
}

// The bilinear step between a row (a) and the next (b), at cell k of both:
// X = ((b1 - a0) - (a1 - a0)) - (b0 - a0), rounded to a double, then
// ((a1 - a0) fx + a0) + fy (b0 - a0) + (X fx) fy, added in that order.
inline double Bilinear(const double *a, const double *b, double fx, double fy) {
    double a0 = a[0], a1 = a[1], b0 = b[0], b1 = b[1];
    Real da = static_cast<Real>(a1) - a0;
    Real db = static_cast<Real>(b0) - a0;
    double x = ((static_cast<Real>(b1) - a0) - da) - db;
    return ((da * fx + a0) + fy * db) + (static_cast<Real>(x) * fx) * fy;
}

// The bilinear value between rows r and r + 1 at row fraction fy and detector
// position R, for 0 <= r <= M0 - 1 and -1 < R < N0.
inline double SampleSource(const SourceTable &table, int r, double fy, double position) {
    double fx;
    int k = DetectorCell(position, &fx);
    return Bilinear(table.row[r] + k, table.row[r + 1] + k, fx, fy);
}

void ReleaseSourceTable(SourceTable &table);
