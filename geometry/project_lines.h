// The inner loops of the projector and its transpose: one line of pixels
// against one view's detectors. Plain scalar code for any x86-64, and
// AVX-512 versions chosen at run time when the processor has them; every
// path does the same operations in the same order, so they give the same
// samples and images to the last bit.
#pragma once

#include "project.h"

bool LinePathSupported(LinePath path);

// Detector i's position along the padded line.
inline double LinePosition(const RayLine &line, int i) { return line.alpha + i * line.beta; }

// For i in [lo, hi): v = LinePosition(line, i), p = trunc(v), f = v - p,
// samples[i] += (padded[p] + f (padded[p + 1] - padded[p])) weight.
// Positions must lie in [0, size + 1) (LineDetectors); the padded line
// holds size + 2 samples.
void GatherLine(LinePath path, const double *padded, int size, const RayLine &line, int lo, int hi,
                double *samples);

// The transpose: detector i gives y (1 - f) to pixel p and y f to pixel
// p + 1, y = samples[i] weight. The detectors go in groups of eight from
// lo (the last one shorter); within a group each pixel sums its shares in
// detector order, and the sum is added to padded[p] at once.
void ScatterLine(LinePath path, const double *samples, int size, const RayLine &line, int lo, int hi,
                 double *padded);
