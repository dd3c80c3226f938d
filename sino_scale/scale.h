// Scaling samples on their way from one sinogram file to another.
#pragma once

#include <cstddef>
#include <cstdio>

#include "sink.h"

// samples[i] = samples[i] * factor + offset, the product rounded to double
// before the sum.
void ScaleSamples(double *samples, std::size_t count, double factor, double offset);

// Reads `count` samples from `in` in pieces of the sink's block, scales
// each piece in place and writes it out through the sink. On a short read
// every complete sample read so far is written out, and the result is
// false; a failed write ends the process with the sink's message.
bool ScaleStream(FILE *in, SampleSink *sink, std::size_t count, double factor, double offset);
