#include "scale.h"

void ScaleSamples(double *samples, std::size_t count, double factor, double offset) {
    for (std::size_t i = 0; i < count; ++i) samples[i] = samples[i] * factor + offset;
}

bool ScaleStream(FILE *in, SampleSink *sink, std::size_t count, double factor, double offset) {
    while (count > 0) {
        std::size_t piece = count < sink->capacity ? count : sink->capacity;
        double *space = SinkSpace(sink, piece);
        std::size_t got = std::fread(space, sizeof(double), piece, in);
        ScaleSamples(space, got, factor, offset);
        SinkAdvance(sink, got);
        if (got != piece) {
            SinkFlush(sink);
            return false;
        }
        count -= piece;
    }
    SinkFlush(sink);
    return true;
}
