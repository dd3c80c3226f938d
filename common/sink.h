// Binary samples on their way to an output: callers compute samples in
// place in a large staging block, which goes out in large writes with no
// copy through the stream's buffer.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "status.h"

struct SampleSink {
    FILE *out;
    const char *failure;  // message for a failed write
    double *block;
    std::size_t capacity;  // doubles
    std::size_t used;
};

// A sink with room for at least `at_least` samples at once; fails with
// `memory_failure` when the block cannot be had. It is allocated before the
// output is opened, so that running out of memory leaves no output file.
Status AllocateSink(std::size_t at_least, const char *memory_failure, SampleSink *sink);

// Where the samples go, and the message for a failed write.
void AttachSink(SampleSink *sink, FILE *out, const char *failure);

// Room for `count` samples (count <= the capacity asked for) at *space,
// what the block holds written out first if it is too full; fill it, then
// call SinkAdvance. Fails with the sink's message when that write fails.
Status SinkSpace(SampleSink *sink, std::size_t count, double **space);
void SinkAdvance(SampleSink *sink, std::size_t count);

// Writes what the block holds; fails with the sink's message when the
// write fails.
Status SinkFlush(SampleSink *sink);

// Gives the block back (after the last SinkFlush); the sink is empty after.
void ReleaseSink(SampleSink *sink);

// Streams `count` samples from `in` to the sink, a block at a time, each
// piece changed in place by `change(samples, got, first)` (first: the
// index of the piece's first sample), which returns a Status; a failure
// there ends the stream with it. A short input sends what was read, then
// fails with `read_failure`.
template <class Change>
Status StreamThroughSink(FILE *in, SampleSink *sink, std::size_t count, const std::string &read_failure,
                         Change change) {
    std::size_t first = 0;
    while (count > 0) {
        std::size_t piece = count < sink->capacity ? count : sink->capacity;
        double *space = nullptr;
        Status room = SinkSpace(sink, piece, &space);
        if (!room.ok()) return room;
        std::size_t got = std::fread(space, sizeof(double), piece, in);
        Status changed = change(space, got, first);
        if (!changed.ok()) return changed;
        SinkAdvance(sink, got);
        first += got;
        if (got != piece) {
            Status flushed = SinkFlush(sink);
            if (!flushed.ok()) return flushed;
            return Failure(read_failure);
        }
        count -= piece;
    }
    return SinkFlush(sink);
}
