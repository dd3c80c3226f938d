// Expansion of a one-sided profile into a sinogram: every view is the profile
// mirrored about the rotation axis, which lies on column n - 1 of 2n - 1.
#pragma once

#include "sink.h"
#include "status.h"

// Columns of the expanded sinogram, 2n - 1; fails with "profile too long
// for a sinogram row." when that leaves the 32-bit range of the header's
// counts.
Status ExpandedColumns(int n, int *columns);

// Fills row[c] = p[|c - (n - 1)|] for c = 0 ... 2n - 2.
void MirrorProfile(const double *p, int n, double *row);

// Writes `views` copies of the row through the sink (room for a row at
// least), so the output reaches the system in large writes. A failed write
// fails with the sink's message.
Status WriteRepeatedRow(SampleSink *sink, const double *row, int columns, int views);
