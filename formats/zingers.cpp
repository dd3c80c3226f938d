#include "zingers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "memory.h"
#include "threads.h"

namespace {

// 1 / Phi^-1(3/4): the median absolute deviation of Gaussian noise times
// this is its standard deviation.
constexpr double kGaussianSpread = 1.4826;

void Order(double &a, double &b) {
    double low = std::min(a, b);
    b = std::max(a, b);
    a = low;
}

// Sorts eight values with the 19 comparisons of an optimal network: no
// branches, so that noise does not mislead the branch predictor.
void SortEight(double *v) {
    static constexpr int kPairs[19][2] = {{0, 2}, {1, 3}, {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6},
                                          {3, 7}, {0, 1}, {2, 3}, {4, 5}, {6, 7}, {2, 4}, {3, 5},
                                          {1, 4}, {3, 6}, {1, 2}, {3, 4}, {5, 6}};
    for (const auto &pair : kPairs) Order(v[pair[0]], v[pair[1]]);
}

void SortFew(double *v, int count) {
    if (count == 8) {
        SortEight(v);
        return;
    }
    for (int i = 1; i < count; ++i)
        for (int k = i; k > 0 && v[k] < v[k - 1]; --k) std::swap(v[k], v[k - 1]);
}

double MedianOfSorted(const double *v, int count) {
    return count % 2 == 1 ? v[count / 2] : (v[count / 2 - 1] + v[count / 2]) / 2;
}

// Filters one sinogram in place; `previous` and `current` hold a view's
// samples as read, so that the view below still sees them once replaced.
long long FilterSinogram(double *sinogram, int views, int columns, double threshold, double *previous,
                         double *current) {
    long long replaced = 0;
    std::size_t width = static_cast<std::size_t>(columns);
    for (int v = 0; v < views; ++v) {
        double *row = sinogram + static_cast<std::size_t>(v) * width;
        const double *above = v > 0 ? previous : nullptr;
        const double *below = v + 1 < views ? row + width : nullptr;
        std::memcpy(current, row, width * sizeof(double));
        for (int c = 0; c < columns; ++c) {
            double neighbours[8];
            int count = 0;
            for (int dc = -1; dc <= 1; ++dc) {
                int at = c + dc;
                if (at < 0 || at >= columns) continue;
                if (above != nullptr && std::isfinite(above[at])) neighbours[count++] = above[at];
                if (dc != 0 && std::isfinite(current[at])) neighbours[count++] = current[at];
                if (below != nullptr && std::isfinite(below[at])) neighbours[count++] = below[at];
            }
            double median;
            if (IsZinger(current[c], neighbours, count, threshold, &median)) {
                row[c] = median;
                ++replaced;
            }
        }
        std::swap(previous, current);
    }
    return replaced;
}

}  // namespace

bool IsZinger(double sample, const double *neighbours, int count, double threshold, double *median) {
    if (count == 0) return false;
    double sorted[8];
    std::copy(neighbours, neighbours + count, sorted);
    SortFew(sorted, count);
    double middle = MedianOfSorted(sorted, count);
    // Most samples are no brighter than their neighbours' median: no
    // spread needed.
    if (!(sample - middle > 0)) return false;
    for (int i = 0; i < count; ++i) sorted[i] = std::fabs(sorted[i] - middle);
    SortFew(sorted, count);
    double spread = kGaussianSpread * MedianOfSorted(sorted, count);
    if (!(sample - middle > threshold * spread)) return false;
    *median = middle;
    return true;
}

Status RemoveZingers(double *band, int rows, int views, int columns, double threshold, long long *replaced) {
    *replaced = 0;
    if (rows <= 0) return Success();
    std::size_t sinogram = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns);
    std::size_t width = static_cast<std::size_t>(columns);
    int threads = ThreadsFor(rows);
    // Each thread keeps two views as read.
    auto *scratch = static_cast<double *>(AllocateArray(static_cast<std::size_t>(threads) * 2 * width, sizeof(double)));
    if (scratch == nullptr) return Failure("memory allocation error.");
    long long total = 0;
#pragma omp parallel num_threads(threads) reduction(+ : total)
    {
        std::size_t thread = 0;
#ifdef _OPENMP
        thread = static_cast<std::size_t>(omp_get_thread_num());
#endif
        double *mine = scratch + thread * 2 * width;
#pragma omp for schedule(dynamic, 1)
        for (int j = 0; j < rows; ++j)
            total += FilterSinogram(band + static_cast<std::size_t>(j) * sinogram, views, columns, threshold, mine,
                                    mine + width);
    }
    ReleaseArray(scratch);
    *replaced = total;
    return Success();
}
