#include "scale.h"

#include <cmath>

bool ScaleSamples(double *samples, std::size_t count, double factor, double offset) {
    bool finite = true;
    for (std::size_t i = 0; i < count; ++i) {
        double scaled = samples[i] * factor + offset;
        // A sample that is not finite stays so; one that is must stay finite.
        if (std::isfinite(samples[i]) && !std::isfinite(scaled)) finite = false;
        samples[i] = scaled;
    }
    return finite;
}

Status ScaleStream(FILE *in, SampleSink *sink, std::size_t count, double factor, double offset,
                   const std::string &read_failure) {
    while (count > 0) {
        std::size_t piece = count < sink->capacity ? count : sink->capacity;
        double *space = nullptr;
        Status room = SinkSpace(sink, piece, &space);
        if (!room.ok()) return room;
        std::size_t got = std::fread(space, sizeof(double), piece, in);
        if (!ScaleSamples(space, got, factor, offset)) return Failure("result out of range.");
        SinkAdvance(sink, got);
        if (got != piece) {
            Status flushed = SinkFlush(sink);
            if (!flushed.ok()) return flushed;
            return Failure(read_failure);
        }
        count -= piece;
    }
    return SinkFlush(sink);
}
