#include "rings_sort.h"

#include <algorithm>

#include "rings_median.h"
#include "memory.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

struct Ranked {
    double value;
    int view;
};

bool Before(const Ranked &a, const Ranked &b) { return a.value < b.value || (a.value == b.value && a.view < b.view); }

std::size_t Samples(const SortWork &work) {
    return static_cast<std::size_t>(work.columns) * static_cast<std::size_t>(work.rows);
}

}  // namespace

bool AllocateSortWork(int columns, int rows, int size, int threads, SortWork *work) {
    *work = SortWork{columns, rows, threads, nullptr, nullptr, nullptr, nullptr, 0};
    std::size_t count = Samples(*work);
    work->window = static_cast<std::size_t>(size);
    // Both tables are written whole: their pages are put in place at once.
    work->sorted = static_cast<double *>(AllocateBlock(count * sizeof(double)));
    work->views = static_cast<int *>(AllocateBlock(count * sizeof(int)));
    work->pairs = AllocateArray(static_cast<std::size_t>(rows) * threads, sizeof(Ranked));
    work->scratch = static_cast<double *>(
        AllocateArray((static_cast<std::size_t>(columns) + work->window) * threads, sizeof(double)));
    if (work->sorted == nullptr || work->views == nullptr || work->pairs == nullptr || work->scratch == nullptr) {
        ReleaseSortWork(work);
        return false;
    }
    return true;
}

void ReleaseSortWork(SortWork *work) {
    std::size_t count = Samples(*work);
    if (work->sorted != nullptr) ReleaseBlock(work->sorted, count * sizeof(double));
    if (work->views != nullptr) ReleaseBlock(work->views, count * sizeof(int));
    ReleaseArray(work->pairs);
    ReleaseArray(work->scratch);
    *work = SortWork{};
}

void SortColumns(const double *samples, SortWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
#pragma omp parallel num_threads(work->threads)
    {
        int slot = 0;
#ifdef _OPENMP
        slot = omp_get_thread_num();
#endif
        Ranked *pairs = static_cast<Ranked *>(work->pairs) + static_cast<std::size_t>(m) * slot;
#pragma omp for schedule(static)
        for (int j = 0; j < work->columns; ++j) {
            for (int k = 0; k < m; ++k) pairs[k] = Ranked{samples[n * k + j], k};
            std::sort(pairs, pairs + m, Before);
            for (int r = 0; r < m; ++r) {
                work->sorted[n * r + j] = pairs[r].value;
                work->views[n * r + j] = pairs[r].view;
            }
        }
    }
}

void SortFilter(double *samples, int size, SortWork *work) {
    SortColumns(samples, work);
    const std::size_t n = static_cast<std::size_t>(work->columns);
#pragma omp parallel num_threads(work->threads)
    {
        int slot = 0;
#ifdef _OPENMP
        slot = omp_get_thread_num();
#endif
        double *smoothed = work->scratch + (n + work->window) * slot;
        double *window = smoothed + n;
#pragma omp for schedule(static)
        for (int r = 0; r < work->rows; ++r) {
            RunningMedian(work->sorted + n * r, work->columns, size, window, smoothed);
            const int *views = work->views + n * r;
            for (std::size_t j = 0; j < n; ++j) samples[n * views[j] + j] = smoothed[j];
        }
    }
}
