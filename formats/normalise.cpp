#include "normalise.h"

#include <cmath>

double LineIntegral(double ratio, bool *clamped) {
    // Written so that not-a-number fails the test too.
    if (!(ratio > 0 && ratio <= 1.7976931348623157e308)) {
        *clamped = true;
        ratio = kRatioFloor;
    }
    return -std::log(ratio);
}

long long NormaliseBand(double *band, int rows, int views, int columns, const double *flat, const double *dark) {
    long long clamped = 0;
    std::size_t width = static_cast<std::size_t>(columns);
    for (int j = 0; j < rows; ++j) {
        const double *f = flat != nullptr ? flat + j * width : nullptr;
        const double *d = dark != nullptr ? dark + j * width : nullptr;
        double *sinogram = band + static_cast<std::size_t>(j) * static_cast<std::size_t>(views) * width;
        for (int v = 0; v < views; ++v) {
            double *row = sinogram + static_cast<std::size_t>(v) * width;
            for (std::size_t c = 0; c < width; ++c) {
                double dark_level = d != nullptr ? d[c] : 0.0;
                double open = f != nullptr ? f[c] - dark_level : 1.0;
                bool low = false;
                // A flat at or below the dark: no ratio, whatever the sign
                // of the sample's own difference.
                row[c] = LineIntegral(open > 0 ? (row[c] - dark_level) / open : 0, &low);
                clamped += low;
            }
        }
    }
    return clamped;
}

int RowWithoutBeam(const double *flat, const double *dark, int rows, int columns) {
    std::size_t width = static_cast<std::size_t>(columns);
    for (int j = 0; j < rows; ++j) {
        bool beam = false;
        for (std::size_t c = 0; c < width && !beam; ++c)
            beam = flat[j * width + c] > (dark != nullptr ? dark[j * width + c] : 0.0);
        if (!beam) return j;
    }
    return -1;
}

void TallyTransmissions(const double *band, std::size_t count, long long *samples, long long *above) {
    long long high = 0;
    for (std::size_t i = 0; i < count; ++i) high += band[i] > 1.5;
    *samples += static_cast<long long>(count);
    *above += high;
}

void TallyLineIntegrals(const double *band, std::size_t count, long long *samples, long long *above) {
    long long high = 0;
    for (std::size_t i = 0; i < count; ++i) high += band[i] > 50;
    *samples += static_cast<long long>(count);
    *above += high;
}
