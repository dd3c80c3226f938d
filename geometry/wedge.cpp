#include "wedge.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <fftw3.h>

#include "checks.h"
#include "memory.h"
#include "real.h"
#include "fftw_owned.h"

namespace {

// Frequencies whose angular transforms are done together.
constexpr int kBlockColumns = 32;

double Omega(int j, int length) { return 2 * kPi * j / length; }

fftw_complex *Raw(std::complex<double> *z) { return reinterpret_cast<fftw_complex *>(z); }

}  // namespace

double WedgeStart(double radius, double omega) { return (radius + 2) * omega + kHarmonicMargin; }

int DetectorTransformLength(int detectors) { return SmoothLength(2LL * detectors, kLargestPrime); }

int WedgeFrequencyCount(int length, int views, double radius) {
    int count = 1;
    while (count < length / 2 && WedgeStart(radius, Omega(count, length)) <= views - 1) ++count;
    return count;
}

bool AllocateWedgeWork(WedgeWork *work, int detectors, int views, int capacity) {
    *work = WedgeWork{};
    work->detectors = detectors;
    work->views = views;
    work->length = DetectorTransformLength(detectors);
    // The whole turn's 2M views are one transform's int length.
    if (work->length == 0 || views > INT_MAX / 2) return false;
    work->capacity = capacity;
    std::size_t cells = static_cast<std::size_t>(views) * static_cast<std::size_t>(work->capacity);
    if (cells / static_cast<std::size_t>(views) != static_cast<std::size_t>(work->capacity)) return false;
    // No more columns than the table has frequencies: a sinogram of few
    // detectors and many views would otherwise need a block many times
    // its own size (N = 3, M = 2 million: 2 GB for 48 MB).
    work->block_columns = capacity < 1 ? 1 : capacity < kBlockColumns ? capacity : kBlockColumns;
    // The tables are large: blocks whose pages are put in place at once
    // rather than faulted in one by one while the transforms run.
    return work->row.Allocate(work->length) && work->spectrum.Allocate(work->length / 2 + 1) &&
           work->table.Allocate(cells) &&
           work->block.Allocate(2 * static_cast<std::size_t>(views) * static_cast<std::size_t>(work->block_columns));
}

int WedgeWeights(const double *samples, const Outliers &outliers, const double *window, double radius, int length,
                 WedgeWork *work, std::complex<double> *weights) {
    const int n = work->detectors, m = work->views;
    int count = WedgeFrequencyCount(length, m, radius);
    if (count > work->capacity) count = work->capacity;

    // Each windowed view, zero-padded to L, to its detector frequencies;
    // the first `count` of them become one row of the table.
    ThreadSafePlanner();
    fftw_plan rows = fftw_plan_dft_r2c_1d(length, work->row, Raw(work->spectrum), FFTW_ESTIMATE);
    for (int k = 0; k < m; ++k) {
        const double *view = samples + static_cast<std::size_t>(k) * n;
        for (int s = 0; s < n; ++s) work->row[s] = window[s] * view[s];
        PatchView(outliers, k, n, window, work->row);
        for (int s = n; s < length; ++s) work->row[s] = 0;
        fftw_execute(rows);
        std::complex<double> *row = work->table + static_cast<std::size_t>(k) * count;
        for (int j = 0; j < count; ++j) row[j] = work->spectrum[j];
    }
    fftw_destroy_plan(rows);

    // A block of frequencies at a time, each one's column zero-padded to
    // the 2M views of the whole turn, to its angular harmonics A(kappa).
    // The mirrored half's harmonics are conj(A(-kappa)) exp(-2 i omega c),
    // signed by (-1)^kappa for starting half a turn later; the cross term
    // of the two halves over the wedge kappa0 <= |kappa| < M gives H_j.
    const int turn = 2 * m;
    const std::size_t height = turn;
    // Each frequency's column lies contiguous in the block, so that its
    // transform and the sum over its harmonics run along memory.
    const int block_columns = work->block_columns;
    ThreadSafePlanner();
    fftw_plan columns = fftw_plan_many_dft(1, &turn, block_columns, Raw(work->block), nullptr, 1, turn,
                                           Raw(work->block), nullptr, 1, turn, FFTW_FORWARD, FFTW_ESTIMATE);
    for (int j = 0; j < count; ++j) weights[j] = 0;
    for (int first = 0; first < count; first += block_columns) {
        int used = count - first < block_columns ? count - first : block_columns;
        for (int k = 0; k < m; ++k) {
            const std::complex<double> *from = work->table + static_cast<std::size_t>(k) * count + first;
            for (int j = 0; j < used; ++j) work->block[j * height + k] = from[j];
        }
        for (int j = 0; j < block_columns; ++j) {
            std::complex<double> *column = work->block + j * height;
            for (std::size_t k = j < used ? m : 0; k < height; ++k) column[k] = 0;
        }
        fftw_execute(columns);
        for (int j = first == 0 ? 1 : 0; j < used; ++j) {
            const std::complex<double> *column = work->block + j * height;
            double start = WedgeStart(radius, Omega(first + j, length));
            std::complex<double> sum = 0;
            for (int kappa = static_cast<int>(std::ceil(start)); kappa < m; ++kappa) {
                std::complex<double> term = column[kappa] * column[turn - kappa];
                sum += kappa % 2 != 0 ? -term : term;
            }
            weights[first + j] = sum;
        }
    }
    fftw_destroy_plan(columns);
    return count;
}

double WedgeCriterion(const std::complex<double> *weights, int count, int length, double center) {
    // exp(-2 i omega_j c) by repeated rotation, restarted from sin and cos
    // every few steps so that rounding cannot build up.
    constexpr int kRestart = 64;
    double step = -2 * Omega(1, length) * center;
    std::complex<double> rotation(std::cos(step), std::sin(step));
    std::complex<double> phase = rotation;
    double sum = 0;
    for (int j = 1; j < count; ++j) {
        if (j % kRestart == 0) phase = std::complex<double>(std::cos(step * j), std::sin(step * j));
        sum += weights[j].real() * phase.real() + weights[j].imag() * phase.imag();
        phase *= rotation;
    }
    return sum;
}
