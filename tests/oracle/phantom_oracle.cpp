#include "oracle/phantom_oracle.h"

#include <cmath>
#include <vector>

#include "phantom_pixels.h"
#include "real.h"

namespace {

// The ray of detector i in the view (c, s): x c + y s = i - axis.
double RaySum(const Phantom &phantom, double c, double s, double axis, int i) {
    double sum = 0;
    for (int k = 0; k < phantom.count; ++k) {
        const Ellipse &e = phantom.ellipses[k];
        Real cos_phi, sin_phi;
        DegreesCosineSine(e.angle, &cos_phi, &sin_phi);
        Real cos_alpha = static_cast<Real>(c) * cos_phi + static_cast<Real>(s) * sin_phi;
        Real sin_alpha = static_cast<Real>(s) * cos_phi - static_cast<Real>(c) * sin_phi;
        Real a2 = static_cast<Real>(e.a) * e.a;
        Real b2 = static_cast<Real>(e.b) * e.b;
        Real r2 = e.a >= e.b ? b2 + (a2 - b2) * cos_alpha * cos_alpha : a2 + (b2 - a2) * sin_alpha * sin_alpha;
        double offset = -axis - static_cast<Real>(c) * e.xc;
        offset = offset - static_cast<Real>(s) * e.yc;
        double u = static_cast<Real>(i) + offset;
        double u2 = static_cast<Real>(u) * u;
        double d = r2 - u2;
        if (d > 0) {
            Real chord_per_root = 2 * static_cast<Real>(e.a) * e.b / r2;
            sum = sum + chord_per_root * e.value * static_cast<Real>(std::sqrt(d));
        }
    }
    return sum;
}

}  // namespace

void PhantomSinogramOracle(const Phantom &phantom, const ViewSet &views, int detectors, double axis, FILE *out) {
    std::fprintf(out, "%d\t%d\n", detectors, views.count);
    for (int k = 0; k < views.count; ++k) {
        for (int i = 0; i < detectors; ++i) {
            double sample = RaySum(phantom, views.cosines[k], views.sines[k], axis, i);
            std::fwrite(&sample, sizeof sample, 1, out);
        }
    }
}

void PhantomImageOracle(const Phantom &phantom, const Grid &grid, FILE *out) {
    std::vector<EllipseFrame> frames;
    for (int k = 0; k < phantom.count; ++k) frames.push_back(FrameOf(phantom.ellipses[k]));
    std::fprintf(out, "%d\t%d\n", grid.size, grid.size);
    for (int row = 0; row < grid.size; ++row) {
        for (int column = 0; column < grid.size; ++column) {
            double pixel = PhantomPixelMean(frames.data(), phantom.count, grid, column, row);
            std::fwrite(&pixel, sizeof pixel, 1, out);
        }
    }
}
