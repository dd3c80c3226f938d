#include "sink.h"

#include <cstdint>

#include "blocks.h"
#include "memory.h"
#include "output.h"

Status AllocateSink(std::size_t at_least, const char *memory_failure, SampleSink *sink) {
    std::size_t capacity = kSinkBytes / sizeof(double);
    if (at_least > capacity) capacity = at_least;
    *sink = SampleSink{nullptr, nullptr, nullptr, capacity, 0};
    if (capacity > SIZE_MAX / sizeof(double)) return Failure(memory_failure);
    sink->block = static_cast<double *>(AllocateBlock(capacity * sizeof(double)));
    if (sink->block == nullptr) return Failure(memory_failure);
    return Success();
}

void AttachSink(SampleSink *sink, FILE *out, const char *failure) {
    sink->out = out;
    sink->failure = failure;
}

Status SinkSpace(SampleSink *sink, std::size_t count, double **space) {
    if (sink->capacity - sink->used < count) {
        Status flushed = SinkFlush(sink);
        if (!flushed.ok()) return flushed;
    }
    *space = sink->block + sink->used;
    return Success();
}

void SinkAdvance(SampleSink *sink, std::size_t count) { sink->used += count; }

Status SinkFlush(SampleSink *sink) {
    Status written = WriteBlock(sink->out, sink->block, sink->used * sizeof(double), sink->failure);
    sink->used = 0;
    return written;
}

void ReleaseSink(SampleSink *sink) {
    ReleaseBlock(sink->block, sink->capacity * sizeof(double));
    *sink = SampleSink{};
}
