// Scaling samples on their way from one sinogram file to another.
#pragma once

#include <cstddef>
#include <cstdio>

#include <string>

#include "sink.h"
#include "status.h"

// samples[i] = samples[i] * factor + offset, the product rounded to double
// before the sum. Returns false when a finite sample became infinite (the
// factor or the offset too large for it).
bool ScaleSamples(double *samples, std::size_t count, double factor, double offset);

// Reads `count` samples from `in` in pieces of the sink's block, scales
// each piece in place and writes it out through the sink. On a short read
// every complete sample read so far is written out, and the result is
// `read_failure`; a finite sample scaled beyond the double range fails
// with "result out of range."; a failed write with the sink's message.
Status ScaleStream(FILE *in, SampleSink *sink, std::size_t count, double factor, double offset,
                   const std::string &read_failure);
