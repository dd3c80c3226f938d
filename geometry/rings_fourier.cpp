#include "rings_fourier.h"

#include <cmath>
#include <cstddef>

#include "rings_median.h"
#include "memory.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

// Columns gathered together from the views: eight doubles are one cache
// line of a view.
constexpr int kBlockColumns = 8;

std::size_t Samples(const FourierWork &work) {
    return static_cast<std::size_t>(work.columns) * static_cast<std::size_t>(work.rows);
}

int ThreadSlot() {
#ifdef _OPENMP
    return omp_get_thread_num();
#else
    return 0;
#endif
}

}  // namespace

bool AllocateFourierWork(int columns, int rows, int size, double sigma, int threads, FourierWork *work) {
    *work = FourierWork{columns, rows, threads, nullptr, nullptr, nullptr, size, nullptr, nullptr, nullptr};
    std::size_t count = Samples(*work);
    std::size_t m = static_cast<std::size_t>(rows);
    work->detail = static_cast<double *>(AllocateBlock(count * sizeof(double)));
    work->blocks = static_cast<double *>(fftw_malloc(sizeof(double) * m * kBlockColumns * threads));
    work->scratch = static_cast<double *>(
        AllocateArray((static_cast<std::size_t>(columns) + static_cast<std::size_t>(size)) * threads, sizeof(double)));
    work->damping = static_cast<double *>(AllocateArray(m, sizeof(double)));
    if (work->detail == nullptr || work->blocks == nullptr || work->scratch == nullptr || work->damping == nullptr) {
        ReleaseFourierWork(work);
        return false;
    }
    // Unaligned plans: a column inside a block need not be aligned as the
    // first one is, and every column must take the same code path.
    unsigned flags = FFTW_ESTIMATE | FFTW_UNALIGNED;
    work->forward = fftw_plan_r2r_1d(rows, work->blocks, work->blocks, FFTW_REDFT10, flags);
    work->backward = fftw_plan_r2r_1d(rows, work->blocks, work->blocks, FFTW_REDFT01, flags);
    if (work->forward == nullptr || work->backward == nullptr) {
        ReleaseFourierWork(work);
        return false;
    }
    // The cosine transform over the views is the Fourier transform of the
    // views followed by their mirror image: 2 rows views over the whole
    // turn, so coefficient k is harmonic k.
    for (int k = 0; k < rows; ++k) work->damping[k] = std::exp(-0.5 * (k / sigma) * (k / sigma)) / (2.0 * rows);
    return true;
}

void ReleaseFourierWork(FourierWork *work) {
    if (work->forward != nullptr) fftw_destroy_plan(work->forward);
    if (work->backward != nullptr) fftw_destroy_plan(work->backward);
    if (work->detail != nullptr) ReleaseBlock(work->detail, Samples(*work) * sizeof(double));
    fftw_free(work->blocks);
    ReleaseArray(work->scratch);
    ReleaseArray(work->damping);
    *work = FourierWork{};
}

void ViewDetail(const double *samples, int size, FourierWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
#pragma omp parallel num_threads(work->threads)
    {
        double *window = work->scratch + (n + work->window) * ThreadSlot();
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
        double *block = work->blocks + m * kBlockColumns * ThreadSlot();
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
