#include "oracle/gridrec_oracle.h"

#include <cmath>
#include <complex>
#include <vector>

#include "filter.h"
#include "real.h"

void GridRecImageOracle(const double *sinogram, const ViewSet &views, const Detector &detector, const Grid &grid,
                        double interval, Kernel kernel, int band, double *image) {
    int n = detector.count, l = PaddedLength(n), k = grid.size;
    const double turn = 2 * kPi / l;
    std::vector<double> weight(static_cast<std::size_t>(band) + 1);
    for (int m = 0; m <= band; ++m) {
        int folded = m <= l / 2 ? m : l - m;
        double spectrum = KernelValue(kernel, 0);
        for (int d = 1; d < n; ++d) spectrum += 2 * KernelValue(kernel, d) * std::cos(turn * folded * d);
        double sinc = m == 0 ? 1 : std::sin(kPi * m / l) / (kPi * m / l);
        weight[static_cast<std::size_t>(m)] = spectrum / l * sinc * sinc;
        if (band == l / 2 && l % 2 == 0 && m == band) weight[static_cast<std::size_t>(m)] *= 0.5;
    }
    for (int p = 0; p < k * k; ++p) image[p] = 0;
    std::vector<std::complex<double>> dft(static_cast<std::size_t>(l));
    for (int v = 0; v < views.count; ++v) {
        const double *view = sinogram + static_cast<std::size_t>(n) * v;
        for (int m = 0; m < l; ++m) {
            dft[static_cast<std::size_t>(m)] = 0;
            for (int i = 0; i < n; ++i) dft[static_cast<std::size_t>(m)] += view[i] * std::polar(1.0, -turn * m * i);
        }
        for (int r = 0; r < k; ++r)
            for (int j = 0; j < k; ++j) {
                double s = ProjectPoint(detector.axis, views.cosines[v], views.sines[v], PixelX(grid, j),
                                        PixelY(grid, r));
                std::complex<double> sum = 0;
                for (int m = -band; m <= band; ++m)
                    sum += weight[static_cast<std::size_t>(std::abs(m))] *
                           dft[static_cast<std::size_t>((m % l + l) % l)] * std::polar(1.0, turn * m * s);
                image[r * k + j] += views.weights[v] / interval * sum.real();
            }
    }
}

MethodErrors ErrorsInsideTheCircle(const Grid &grid, int n, const double *truth, const double *direct,
                                   const double *fourier) {
    double d = 0, f = 0, between = 0;
    long long count = 0;
    double radius = 0.5 * (n - 1) - 2;
    for (int r = 0; r < n; ++r)
        for (int j = 0; j < n; ++j) {
            double x = PixelX(grid, j), y = PixelY(grid, r);
            if (x * x + y * y > radius * radius) continue;
            std::size_t p = static_cast<std::size_t>(r) * n + j;
            d += (direct[p] - truth[p]) * (direct[p] - truth[p]);
            f += (fourier[p] - truth[p]) * (fourier[p] - truth[p]);
            between += (fourier[p] - direct[p]) * (fourier[p] - direct[p]);
            ++count;
        }
    return MethodErrors{std::sqrt(d / count), std::sqrt(f / count), std::sqrt(between / count)};
}
