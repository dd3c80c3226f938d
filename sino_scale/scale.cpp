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
    return StreamThroughSink(in, sink, count, read_failure, [&](double *samples, std::size_t got, std::size_t) {
        return ScaleSamples(samples, got, factor, offset) ? Success() : Failure("result out of range.");
    });
}
