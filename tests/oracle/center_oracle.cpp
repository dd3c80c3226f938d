#include "oracle/center_oracle.h"

#include <cmath>
#include <complex>
#include <vector>

#include "wedge.h"

double WedgeEnergyOracle(const double *samples, const double *window, int n, int m, int length, double radius,
                         int count, int twice_center) {
    const double pi = 3.141592653589793;
    int turn = 2 * m;
    std::vector<double> whole(static_cast<std::size_t>(turn) * length, 0.0);
    for (int k = 0; k < m; ++k) {
        for (int s = 0; s < n; ++s) whole[k * length + s] = window[s] * samples[k * n + s];
    }
    for (int k = 0; k < m; ++k) {
        for (int s = 0; s < length; ++s) {
            int from = ((twice_center - s) % length + length) % length;
            whole[(m + k) * length + s] = whole[k * length + from];
        }
    }
    double energy = 0;
    for (int j = -(count - 1); j < count; ++j) {
        if (j == 0) continue;
        double omega = 2 * pi * j / length;
        for (int kappa = -(m - 1); kappa < m; ++kappa) {
            if (std::abs(kappa) < WedgeStart(radius, std::fabs(omega))) continue;
            std::complex<double> sum = 0;
            for (int t = 0; t < turn; ++t) {
                for (int s = 0; s < length; ++s) {
                    double phase = -2 * pi * (static_cast<double>(kappa) * t / turn + static_cast<double>(j) * s / length);
                    sum += whole[t * length + s] * std::complex<double>(std::cos(phase), std::sin(phase));
                }
            }
            energy += std::norm(sum);
        }
    }
    return energy;
}
