#include "rings_sort.h"

#include <algorithm>

#include "rings_median.h"
#include "threads.h"

namespace {

using Ranked = RankedValue;

bool Before(const Ranked &a, const Ranked &b) { return a.value < b.value || (a.value == b.value && a.view < b.view); }

std::size_t Samples(const SortWork &work) {
    return static_cast<std::size_t>(work.columns) * static_cast<std::size_t>(work.rows);
}

}  // namespace

bool AllocateSortWork(int columns, int rows, int size, int threads, SortWork *work) {
    *work = SortWork{};
    work->columns = columns;
    work->rows = rows;
    work->threads = threads;
    std::size_t count = Samples(*work);
    work->window = static_cast<std::size_t>(size);
    // Both tables are written whole: their pages are put in place at once.
    return work->sorted.Allocate(count) && work->views.Allocate(count) &&
           work->pairs.Allocate(static_cast<std::size_t>(rows) * threads) &&
           work->scratch.Allocate((static_cast<std::size_t>(columns) + work->window) * threads);
}

void SortColumns(const double *samples, SortWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
#pragma omp parallel num_threads(work->threads)
    {
        int slot = ThreadIndex();
        Ranked *pairs = work->pairs.get() + static_cast<std::size_t>(m) * slot;
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
        int slot = ThreadIndex();
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
