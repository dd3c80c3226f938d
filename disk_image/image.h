// The image of concentric signed disks on a square grid of unit pixels.
//
// The grid has `size` x `size` pixels of one detector interval, centered on
// the rotation axis with y up: pixel (column j, row r) covers
// [x - 1/2, x + 1/2] x [y - 1/2, y + 1/2] with x = j - (size - 1)/2 and
// y = (size - 1)/2 - r. Each pixel holds the signed sum over the disks of
// the area the disk covers in it: exactly 1 for a pixel wholly inside a
// positive disk, exactly 0 for one wholly outside every disk.
#pragma once

#include "sink.h"
#include "status.h"

struct DiskPhantom {
    double xc, yc;         // center, pixels from the rotation axis
    int count;             // number of radii
    const double *radius;  // signed radii, in the order they are summed
};

// Reads the radius arguments (first ... last) into `radius`, reversed, so
// that pixels sum the disks in the order disk_sino sums its chords. Each
// word must be wholly a number (StrictReal, args.h), else "bad radius:
// WORD.".
Status ParseSignedRadii(char *const *arguments, int count, double *radius);

// Row `row` (0 at the top) of the image: `size` pixels. A zero or
// not-a-number radius adds nothing; an infinite one covers every pixel.
void DiskImageRow(const DiskPhantom &phantom, int size, int row, double *pixels);

// Every row, top first, computed in place in the sink (room for a row at
// least) and written out through it; fails with the sink's message when a
// write fails.
Status WriteDiskImage(SampleSink *sink, const DiskPhantom &phantom, int size);
