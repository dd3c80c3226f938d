#include "stats.h"

#include <cfloat>
#include <cmath>

#include "real.h"

namespace {

// Offset of index i from the middle of n indices, squared: exact for every
// 32-bit count, since (i - (n - 1)/2) is a multiple of 1/2 below 2^31.
double SquaredOffset(int i, int n) {
    double d = i - (n - 1) * 0.5;
    return d * d;
}

}  // namespace

bool InRegion(int column, int row, int columns, int rows, double radius) {
    return !(SquaredOffset(column, columns) + SquaredOffset(row, rows) > radius * radius);
}

ImageStats ComputeStats(const double *a, const double *b, int columns, int rows, double radius) {
    ImageStats s{0, 0, 0, 0, 0, 0, 0, false};
    Real sum = 0;
    Real squares = 0;
    for (int r = 0; r < rows; ++r) {
        std::size_t base = static_cast<std::size_t>(r) * static_cast<std::size_t>(columns);
        for (int c = 0; c < columns; ++c) {
            if (!InRegion(c, r, columns, rows, radius)) continue;
            double x = a[base + c];
            if (!std::isfinite(x)) continue;
            if (s.count == 0 || x < s.min) s.min = x;
            if (s.count == 0 || x > s.max) s.max = x;
            sum += x;
            ++s.count;
            if (b == nullptr || !std::isfinite(b[base + c])) continue;
            double d = x - b[base + c];
            // Two finite samples whose difference leaves the double range.
            if (std::isinf(d)) s.overflow = true;
            squares += static_cast<Real>(d) * d;
            if (std::fabs(d) > s.maxabs) s.maxabs = std::fabs(d);
            ++s.compared;
        }
    }
    if (s.count > 0) s.mean = static_cast<double>(sum / s.count);
    if (s.compared > 0) {
        Real mean_square = squares / s.compared;
        // Beyond the double range the root is taken in the extended type.
        s.rms = mean_square <= DBL_MAX ? std::sqrt(static_cast<double>(mean_square))
                                       : static_cast<double>(std::sqrt(mean_square));
    }
    return s;
}

int PrintStats(FILE *out, const ImageStats &stats, int columns, int rows, bool compared) {
    if (!compared) {
        return std::fprintf(out, "size %dx%d count %lld min %.9g max %.9g mean %.9g\n", columns, rows, stats.count,
                            stats.min, stats.max, stats.mean);
    }
    return std::fprintf(out, "size %dx%d count %lld min %.9g max %.9g mean %.9g compared %lld rms %.9g maxabs %.9g\n",
                        columns, rows, stats.count, stats.min, stats.max, stats.mean, stats.compared, stats.rms,
                        stats.maxabs);
}
