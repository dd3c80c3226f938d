// Streaming SG2: every view holds SG1's samples in columns pad ... end1 - 1
// and SG0's samples, resampled, elsewhere.
#pragma once

#include <cstdio>

#include "geometry.h"
#include "sink.h"
#include "source_table.h"
#include "status.h"

// Fills columns [first, last) of view `view` from the table; positions
// outside (-1, N0) give 0.
void SampleColumns(const SourceTable &table, const ViewPlacement &view, int first, int last,
                   double *columns);

// Columns computed at once: a whole view for any usual width, and bounded
// memory for an absurd one. The sink must have room for this many.
int GraftChunk(const GraftGeometry &g);

// Writes the M1 views of SG2 after its header through the sink, in blocks of
// columns. With an SG1 stream, its samples are copied in order into their
// columns; when SG1 runs short, the columns before the missing sample are
// written and the result is "SG1 data read error.". A failed write fails
// with the sink's message. With `check_finite` (SamplesMayOverflow), a
// resampled sample that is not finite fails with "result out of range.".
Status WriteGraftViews(SampleSink *sink, const SourceTable &table, const GraftGeometry &g, FILE *sg1,
                       bool check_finite = false);
