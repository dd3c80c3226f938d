#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "area.h"
#include "args.h"

namespace {

// Distance from 0 to the nearest and to the farthest point of [lo, hi].
double Nearest(double lo, double hi) { return lo > 0 ? lo : (hi < 0 ? -hi : 0); }
double Farthest(double lo, double hi) { return std::max(std::fabs(lo), std::fabs(hi)); }

// Columns whose pixels can meet the disk: [first, last], a margin of one
// pixel each side for rounding; empty when last < first. Computed in
// doubles and clamped before any conversion, so any center and radius do.
void ColumnWindow(double xc, double radius, int size, int *first, int *last) {
    double half = 0.5 * size;
    double lo = std::floor(xc - radius + half) - 1;
    double hi = std::ceil(xc + radius + half) + 1;
    *first = lo <= 0 ? 0 : (lo >= size ? size : static_cast<int>(lo));
    *last = hi >= size - 1 ? size - 1 : (hi < 0 ? -1 : static_cast<int>(hi));
}

}  // namespace

Status ParseSignedRadii(char *const *arguments, int count, double *radius) {
    for (int r = 0; r < count; ++r) {
        Status read = StrictReal(arguments[count - 1 - r], "bad radius.", &radius[r]);
        if (!read.ok()) return read;
    }
    return Success();
}

void DiskImageRow(const DiskPhantom &phantom, int size, int row, double *pixels) {
    std::fill(pixels, pixels + size, 0.0);
    double half = 0.5 * size;
    // The row's edges relative to the center; the first differences are exact.
    double v0 = (half - row - 1) - phantom.yc;
    double v1 = (half - row) - phantom.yc;
    double near_y = Nearest(v0, v1);
    double far_y = Farthest(v0, v1);
    for (int d = 0; d < phantom.count; ++d) {
        double signed_radius = phantom.radius[d];
        if (!(signed_radius != 0)) continue;
        double radius = std::fabs(signed_radius);
        double squared = radius * radius;
        if (!(near_y < radius)) continue;
        double sign = signed_radius > 0 ? 1.0 : -1.0;
        int first, last;
        ColumnWindow(phantom.xc, radius, size, &first, &last);
        for (int j = first; j <= last; ++j) {
            double u0 = (j - half) - phantom.xc;
            double u1 = (j + 1 - half) - phantom.xc;
            double near_x = Nearest(u0, u1);
            if (!(near_x * near_x + near_y * near_y < squared)) continue;
            double far_x = Farthest(u0, u1);
            if (far_x * far_x + far_y * far_y <= squared) {
                pixels[j] += sign;
            } else {
                pixels[j] += sign * RectangleDiskArea(u0, u1, v0, v1, radius);
            }
        }
    }
}

Status WriteDiskImage(SampleSink *sink, const DiskPhantom &phantom, int size) {
    std::size_t n = static_cast<std::size_t>(size);
    for (int row = 0; row < size; ++row) {
        double *pixels = nullptr;
        Status room = SinkSpace(sink, n, &pixels);
        if (!room.ok()) return room;
        DiskImageRow(phantom, size, row, pixels);
        SinkAdvance(sink, n);
    }
    return SinkFlush(sink);
}
