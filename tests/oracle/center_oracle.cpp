#include "oracle/center_oracle.h"

#include <cmath>
#include <random>
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

std::vector<double> DiskProjections(int n, double axis, const std::vector<double> &angles,
                                    const std::vector<OracleDisk> &disks, int subsamples) {
    const int m = static_cast<int>(angles.size());
    std::vector<double> samples(static_cast<std::size_t>(n) * m, 0.0);
    for (int k = 0; k < m; ++k) {
        double theta = angles[k];
        for (const OracleDisk &d : disks) {
            double at = axis + d.x * std::cos(theta) + d.y * std::sin(theta);
            for (int i = 0; i < n; ++i) {
                for (int q = 0; q < subsamples; ++q) {
                    double off = i + (q + 0.5) / subsamples - 0.5 - at;
                    if (std::fabs(off) < d.radius) {
                        samples[static_cast<std::size_t>(k) * n + i] +=
                            2 * d.density * std::sqrt(d.radius * d.radius - off * off) / subsamples;
                    }
                }
            }
        }
    }
    return samples;
}

std::vector<double> EvenAngles(int m, double turn) {
    std::vector<double> angles(m);
    double step = turn / m;
    for (int k = 0; k < m; ++k) angles[k] = k * step;
    return angles;
}

double OppositeMismatchOracle(const double *samples, int n, const OppositePair *pairs, int count,
                              const double *window, int twice_center) {
    double difference = 0, energy = 0;
    for (int i = 0; i < count; ++i) {
        const double *p = samples + static_cast<std::size_t>(pairs[i].view) * n;
        const double *a = samples + static_cast<std::size_t>(pairs[i].first) * n;
        const double *b = samples + static_cast<std::size_t>(pairs[i].second) * n;
        for (int s = 0; s < n; ++s) {
            int mirror = twice_center - s;
            if (mirror < 0 || mirror >= n) continue;
            double q = (1 - pairs[i].weight) * a[s] + pairs[i].weight * b[s];
            double w = window[s] * window[mirror];
            difference += w * (q - p[mirror]) * (q - p[mirror]);
            energy += w * (q * q + p[mirror] * p[mirror]);
        }
    }
    return difference / energy;
}

CenterEstimate HalfTurnCenter(const std::vector<double> &samples, int n, int m) {
    CenterWork work;
    if (!AllocateCenterWork(&work, n, m)) return CenterEstimate{false, 0};
    return FindCenter(samples.data(), &work);
}

void AddNoise(std::vector<double> *samples, double share, unsigned seed) {
    double largest = 0;
    for (double v : *samples) largest = std::fmax(largest, std::fabs(v));
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, share * largest);
    for (double &v : *samples) v += noise(generator);
}

std::vector<OracleDisk> AsymmetricDisks(double scale) {
    return {{12 * scale, -9 * scale, 50 * scale, 1.0},
            {20 * scale, 0, 12 * scale, -0.6},
            {-25 * scale, 22 * scale, 9 * scale, 2.0},
            {30 * scale, -35 * scale, 6 * scale, 1.5}};
}
