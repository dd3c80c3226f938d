#include "sink.h"

#include <cstdint>

#include "blocks.h"
#include "error.h"
#include "memory.h"
#include "streams.h"

SampleSink AllocateSink(std::size_t at_least, const char *memory_failure) {
    std::size_t capacity = kSinkBytes / sizeof(double);
    if (at_least > capacity) capacity = at_least;
    SampleSink sink{nullptr, nullptr, nullptr, capacity, 0};
    if (capacity > SIZE_MAX / sizeof(double)) Error(memory_failure);
    sink.block = static_cast<double *>(AllocateBlock(capacity * sizeof(double)));
    if (sink.block == nullptr) Error(memory_failure);
    return sink;
}

void AttachSink(SampleSink *sink, FILE *out, const char *failure) {
    sink->out = out;
    sink->failure = failure;
}

double *SinkSpace(SampleSink *sink, std::size_t count) {
    if (sink->capacity - sink->used < count) SinkFlush(sink);
    return sink->block + sink->used;
}

void SinkAdvance(SampleSink *sink, std::size_t count) { sink->used += count; }

void SinkFlush(SampleSink *sink) {
    WriteBlock(sink->out, sink->block, sink->used * sizeof(double), sink->failure);
    sink->used = 0;
}

void ReleaseSink(SampleSink *sink) {
    ReleaseBlock(sink->block, sink->capacity * sizeof(double));
    *sink = SampleSink{};
}
