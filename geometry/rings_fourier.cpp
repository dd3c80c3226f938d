#include "rings_fourier.h"

#include <cmath>
#include <cstddef>

#include "rings_median.h"
#include "threads.h"

namespace {

// Columns gathered together from the views: eight doubles are one cache
// line of a view.
constexpr int kBlockColumns = 8;

std::size_t Samples(const FourierWork &work) {
    return static_cast<std::size_t>(work.columns) * static_cast<std::size_t>(work.rows);
}

}  // namespace

bool AllocateFourierWork(int columns, int rows, int size, double sigma, int threads, FourierWork *work) {
    *work = FourierWork{};
    work->columns = columns;
    work->rows = rows;
    work->threads = threads;
    work->window = size;
    std::size_t count = Samples(*work);
    std::size_t m = static_cast<std::size_t>(rows);
    if (!work->detail.Allocate(count) || !work->blocks.Allocate(m * kBlockColumns * threads) ||
        !work->scratch.Allocate((static_cast<std::size_t>(columns) + static_cast<std::size_t>(size)) * threads) ||
        !work->damping.Allocate(m))
        return false;
    // Unaligned plans: a column inside a block need not be aligned as the
    // first one is, and every column must take the same code path.
    unsigned flags = FFTW_ESTIMATE | FFTW_UNALIGNED;
    ThreadSafePlanner();
    work->forward.Reset(fftw_plan_r2r_1d(rows, work->blocks, work->blocks, FFTW_REDFT10, flags));
    work->backward.Reset(fftw_plan_r2r_1d(rows, work->blocks, work->blocks, FFTW_REDFT01, flags));
    if (work->forward == nullptr || work->backward == nullptr) return false;
    // The cosine transform over the views is the Fourier transform of the
    // views followed by their mirror image: 2 rows views over the whole
    // turn, so coefficient k is harmonic k.
    for (int k = 0; k < rows; ++k) work->damping[k] = std::exp(-0.5 * (k / sigma) * (k / sigma)) / (2.0 * rows);
    return true;
}

void ViewDetail(const double *samples, int size, FourierWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
#pragma omp parallel num_threads(work->threads)
    {
        double *window = work->scratch + (n + work->window) * ThreadIndex();
#pragma omp for schedule(static)
        for (int k = 0; k < work->rows; ++k) {
            const double *view = samples + n * k;
            double *detail = work->detail + n * k;
            RunningMedian(view, work->columns, size, window, detail);
            for (std::size_t j = 0; j < n; ++j) detail[j] = view[j] - detail[j];
        }
    }
}

void LowAngularFrequencies(FourierWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const std::size_t m = static_cast<std::size_t>(work->rows);
    const int blocks = (work->columns + kBlockColumns - 1) / kBlockColumns;
#pragma omp parallel num_threads(work->threads)
    {
        double *block = work->blocks + m * kBlockColumns * ThreadIndex();
#pragma omp for schedule(static)
        for (int b = 0; b < blocks; ++b) {
            std::size_t first = static_cast<std::size_t>(b) * kBlockColumns;
            std::size_t width = n - first < kBlockColumns ? n - first : kBlockColumns;
            for (std::size_t k = 0; k < m; ++k)
                for (std::size_t c = 0; c < width; ++c) block[m * c + k] = work->detail[n * k + first + c];
            for (std::size_t c = 0; c < width; ++c) {
                double *column = block + m * c;
                fftw_execute_r2r(work->forward, column, column);
                for (std::size_t k = 0; k < m; ++k) column[k] *= work->damping[k];
                fftw_execute_r2r(work->backward, column, column);
            }
            for (std::size_t k = 0; k < m; ++k)
                for (std::size_t c = 0; c < width; ++c) work->detail[n * k + first + c] = block[m * c + k];
        }
    }
}

void FourierFilter(double *samples, int size, FourierWork *work) {
    ViewDetail(samples, size, work);
    LowAngularFrequencies(work);
    std::size_t count = Samples(*work);
    for (std::size_t i = 0; i < count; ++i) samples[i] -= work->detail[i];
}
