#include "oracle/disk_image_oracle.h"

#include <cmath>

namespace {

// Area of the disk inside [0, x] x [0, y], x, y >= 0.
long double Quadrant(long double x, long double y, long double r) {
    if (x > r) x = r;
    if (y > r) y = r;
    if (x * x + y * y <= r * r) return x * y;
    // Below the line y up to xs = sqrt(r^2 - y^2), under the circle beyond.
    long double xs = std::sqrt(r * r - y * y);
    auto primitive = [r](long double t) {
        return (t * std::sqrt(std::fmax(r * r - t * t, 0.0L)) + r * r * std::asin(std::fmin(t / r, 1.0L))) / 2;
    };
    return xs * y + primitive(x) - primitive(xs);
}

// The signed area over [0, x] x [0, y]: odd in x and in y, since the disk is
// symmetric about both axes.
long double Signed(long double x, long double y, long double r) {
    long double q = Quadrant(std::fabs(x), std::fabs(y), r);
    return ((x < 0) != (y < 0)) ? -q : q;
}

}  // namespace

long double OracleRectangleArea(long double x0, long double x1, long double y0, long double y1, long double r) {
    return Signed(x1, y1, r) - Signed(x0, y1, r) - Signed(x1, y0, r) + Signed(x0, y0, r);
}

std::vector<double> DiskImageOracle(int size, double xc, double yc, const std::vector<double> &radii) {
    std::vector<double> image(static_cast<std::size_t>(size) * size, 0.0);
    long double middle = (size - 1) / 2.0L;
    for (int row = 0; row < size; ++row) {
        for (int j = 0; j < size; ++j) {
            long double x = j - middle - xc;
            long double y = middle - row - yc;
            long double value = 0;
            for (double radius : radii) {
                if (radius == 0 || std::isnan(radius)) continue;
                long double a = OracleRectangleArea(x - 0.5L, x + 0.5L, y - 0.5L, y + 0.5L, std::fabs(radius));
                value += radius > 0 ? a : -a;
            }
            image[static_cast<std::size_t>(row) * size + j] = static_cast<double>(value);
        }
    }
    return image;
}
