// Binary samples on their way to an output: callers compute samples in
// place in a large staging block, which goes out in large writes with no
// copy through the stream's buffer.
#pragma once

#include <cstddef>
#include <cstdio>

struct SampleSink {
    FILE *out;
    const char *failure;  // message for a failed write
    double *block;
    std::size_t capacity;  // doubles
    std::size_t used;
};

// A sink with room for at least `at_least` samples at once. Ends the process
// with "memory allocation error." prefixed by `name` when the block cannot
// be had (name may be "").
SampleSink OpenSink(FILE *out, std::size_t at_least, const char *failure, const char *memory_failure);

// Room for `count` samples (count <= the capacity asked for), written out
// first if the block is too full; fill it, then call SinkAdvance.
double *SinkSpace(SampleSink *sink, std::size_t count);
void SinkAdvance(SampleSink *sink, std::size_t count);

// Writes what the block holds; ends the process with the sink's failure
// message when the write fails.
void SinkFlush(SampleSink *sink);
