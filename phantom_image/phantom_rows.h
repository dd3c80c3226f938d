// phantom_image's image, row after row, computed in place in the output's
// large blocks.
#pragma once

#include <cstddef>

#include "grid.h"
#include "phantom_pixels.h"
#include "real.h"
#include "sink.h"
#include "status.h"

// The number of threads the rows of one block are shared among, for a
// sink's block and rows of `size` pixels: the scratch PhantomImageRows needs
// is that many rows of `size` extended numbers.
int RowThreads(const SampleSink &sink, int size);

// Every row of the image (PhantomImageRow), top first, after the header.
// The rows of a block are shared among `threads` threads (RowThreads), each
// with its row of `sums`; a row is computed whole by one thread, so the
// bytes do not depend on their number. Fails with the sink's message when
// a write fails.
Status WritePhantomImage(SampleSink *sink, const EllipseFrame *frames, int count, const Grid &grid, int threads,
                         Real *sums);
