#include "oracle/recon2d_oracle.h"

#include <cmath>
#include <cstddef>

void FilterViewOracle(const double *view, int n, Real (*kernel)(long long), double *out) {
    for (int i = 0; i < n; ++i) {
        Real sum = 0;
        for (int m = 0; m < n; ++m) sum += view[m] * static_cast<double>(kernel(i - m));
        out[i] = static_cast<double>(sum);
    }
}

void BackProjectImageOracle(const double *filtered, int n, int m, double center, int size, double dtheta,
                            double interval, double *image) {
    double half = (size - 1.0) / 2;
    for (int r = 0; r < size; ++r) {
        for (int j = 0; j < size; ++j) {
            double x = j - half;
            double y = half - r;
            double sum = 0;
            for (int k = 0; k < m; ++k) {
                double theta = k * dtheta;
                double s = (center + y * std::sin(theta)) + x * std::cos(theta);
                if (s < 0 || s > n - 1) continue;
                const double *view = filtered + static_cast<std::size_t>(n) * k;
                if (n == 1) {
                    sum += view[0];
                    continue;
                }
                int i = static_cast<int>(std::floor(s));
                if (i > n - 2) i = n - 2;
                double t = s - i;
                sum += view[i] + t * (view[i + 1] - view[i]);
            }
            image[static_cast<std::size_t>(r) * size + j] = sum * dtheta / interval;
        }
    }
}
