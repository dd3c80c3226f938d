#include "oracle/projector_oracle.h"

#include <cmath>
#include <cstddef>

namespace {

// The image along row r at column coordinate u (pixel j at u = j), zero
// beyond the first and last pixels.
double RowAt(const double *image, int k, int r, double u) {
    double j0 = std::floor(u);
    double f = u - j0;
    auto pixel = [&](double j) { return j < 0 || j > k - 1 ? 0.0 : image[static_cast<std::size_t>(r) * k + static_cast<int>(j)]; };
    return (1 - f) * pixel(j0) + f * pixel(j0 + 1);
}

double ColumnAt(const double *image, int k, int j, double u) {
    double r0 = std::floor(u);
    double f = u - r0;
    auto pixel = [&](double r) { return r < 0 || r > k - 1 ? 0.0 : image[static_cast<std::size_t>(r) * k + j]; };
    return (1 - f) * pixel(r0) + f * pixel(r0 + 1);
}

}  // namespace

void ProjectOracle(const double *image, int k, double pixel, double x0, double y0, const double *angles, int m, int n,
                   double axis, double *sinogram) {
    double half = (k - 1) / 2.0;
    for (int v = 0; v < m; ++v) {
        double c = std::cos(angles[v]), s = std::sin(angles[v]);
        for (int i = 0; i < n; ++i) {
            double sum = 0;
            if (std::fabs(c) >= std::fabs(s)) {
                for (int r = 0; r < k; ++r) {
                    double y = y0 + (half - r) * pixel;
                    double x = (i - axis - y * s) / c;
                    sum += RowAt(image, k, r, (x - x0) / pixel + half) * pixel / std::fabs(c);
                }
            } else {
                for (int j = 0; j < k; ++j) {
                    double x = x0 + (j - half) * pixel;
                    double y = (i - axis - x * c) / s;
                    sum += ColumnAt(image, k, j, half - (y - y0) / pixel) * pixel / std::fabs(s);
                }
            }
            sinogram[static_cast<std::size_t>(v) * n + i] = sum;
        }
    }
}
