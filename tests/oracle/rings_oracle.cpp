#include "oracle/rings_oracle.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

int Mirrored(long long i, int count) {
    if (count == 1) return 0;
    long long period = 2LL * (count - 1);
    i = ((i % period) + period) % period;
    return static_cast<int>(i < count ? i : period - i);
}

double Extended(const double *row, int count, long long i) {
    double value = row[Mirrored(i, count)];
    if (i < 0) return 2 * row[0] - value;
    if (i >= count) return 2 * row[count - 1] - value;
    return value;
}

}  // namespace

void OracleRunningMedian(const double *row, int count, int size, double *out) {
    std::vector<double> window(size);
    for (int j = 0; j < count; ++j) {
        for (int w = 0; w < size; ++w) window[w] = Extended(row, count, static_cast<long long>(j) + w - size / 2);
        std::sort(window.begin(), window.end());
        out[j] = window[size / 2];
    }
}

void OracleSortFilter(double *samples, int columns, int rows, int size) {
    std::size_t n = static_cast<std::size_t>(columns);
    std::vector<std::vector<int>> order(columns, std::vector<int>(rows));
    std::vector<std::vector<double>> ranks(rows, std::vector<double>(columns));
    for (int j = 0; j < columns; ++j) {
        for (int k = 0; k < rows; ++k) order[j][k] = k;
        std::stable_sort(order[j].begin(), order[j].end(),
                         [&](int a, int b) { return samples[n * a + j] < samples[n * b + j]; });
        for (int r = 0; r < rows; ++r) ranks[r][j] = samples[n * order[j][r] + j];
    }
    std::vector<double> smoothed(columns);
    for (int r = 0; r < rows; ++r) {
        OracleRunningMedian(ranks[r].data(), columns, size, smoothed.data());
        for (int j = 0; j < columns; ++j) samples[n * order[j][r] + j] = smoothed[j];
    }
}

void OracleLowAngular(const double *column, int rows, double sigma, double *out) {
    const double pi = std::acos(-1.0);
    std::vector<double> harmonic(rows);
    for (int k = 0; k < rows; ++k) {
        double sum = 0;
        for (int v = 0; v < rows; ++v) sum += column[v] * std::cos(pi * k * (v + 0.5) / rows);
        harmonic[k] = sum * std::exp(-0.5 * (k / sigma) * (k / sigma));
    }
    for (int v = 0; v < rows; ++v) {
        double sum = harmonic[0];
        for (int k = 1; k < rows; ++k) sum += 2 * harmonic[k] * std::cos(pi * k * (v + 0.5) / rows);
        out[v] = sum / rows;
    }
}
