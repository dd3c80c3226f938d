#include "total_variation.h"

#include <cmath>
#include <vector>

#include "threads.h"

namespace {

// Threads for a step over the rows of a K x K image: one per 64 rows at
// most, so that a small image does not pay for waking them.
[[maybe_unused]] int RowTeam(int size) { return ThreadsFor(size / 64 + 1); }

double SumInOrder(const std::vector<double> &values) {
    double sum = 0;
    for (double v : values) sum += v;
    return sum;
}

}  // namespace

double TotalVariation(const double *image, int size) {
    std::size_t k = static_cast<std::size_t>(size);
    std::vector<double> rows(k, 0.0);
#pragma omp parallel for schedule(static) num_threads(RowTeam(size))
    for (int r = 0; r < size; ++r) {
        const double *x = image + k * r;
        const double *below = r + 1 < size ? x + k : x;
        double sum = 0;
        for (std::size_t j = 0; j < k; ++j) {
            double dx = j + 1 < k ? x[j + 1] - x[j] : 0;
            double dy = below[j] - x[j];
            sum += std::sqrt(dx * dx + dy * dy);
        }
        rows[static_cast<std::size_t>(r)] = sum;
    }
    return SumInOrder(rows);
}

void DualVariationStep(const double *image, int size, double bound, double gain, double *qx, double *qy) {
    double half = gain / 2;
    std::size_t k = static_cast<std::size_t>(size);
#pragma omp parallel for schedule(static) num_threads(RowTeam(size))
    for (int r = 0; r < size; ++r) {
        std::size_t row = k * r;
        const double *x = image + row;
        const double *below = r + 1 < size ? x + k : x;
        double *px = qx + row, *py = qy + row;
        for (std::size_t j = 0; j < k; ++j) {
            double u = px[j] + half * (j + 1 < k ? x[j + 1] - x[j] : 0);
            double v = py[j] + half * (below[j] - x[j]);
            double length = std::sqrt(u * u + v * v);
            // Shrunk onto the disk: divided by max(1, |q| / bound).
            if (length > bound) {
                double shrink = bound / length;
                u *= shrink;
                v *= shrink;
            }
            px[j] = u;
            py[j] = v;
        }
    }
}

void PrimalVariationStep(const double *back, const double *qx, const double *qy, const double *tau, double weight,
                         bool nonnegative, int size, double *image, double *extrapolated, double *change,
                         double *norm) {
    std::size_t k = static_cast<std::size_t>(size);
    std::vector<double> changes(k, 0.0), norms(k, 0.0);
#pragma omp parallel for schedule(static) num_threads(RowTeam(size))
    for (int r = 0; r < size; ++r) {
        std::size_t row = k * r;
        double *x = image + row;
        double step_sum = 0, norm_sum = 0;
        for (std::size_t j = 0; j < k; ++j) {
            // div q = (qx[j] - qx[j - 1]) + (qy[r] - qy[r - 1]), the last
            // column's and row's differences being zero.
            std::size_t i = row + j;
            double left = j > 0 ? qx[i - 1] : 0, right = j + 1 < k ? qx[i] : 0;
            double above = r > 0 ? qy[i - k] : 0, here = r + 1 < size ? qy[i] : 0;
            double divergence = (right - left) + (here - above);
            double old = x[j];
            double value = old - tau[i] * (back[i] - weight * divergence);
            if (nonnegative && value < 0) value = 0;
            x[j] = value;
            extrapolated[i] = 2 * value - old;
            step_sum += (value - old) * (value - old);
            norm_sum += value * value;
        }
        changes[static_cast<std::size_t>(r)] = step_sum;
        norms[static_cast<std::size_t>(r)] = norm_sum;
    }
    *change = SumInOrder(changes);
    *norm = SumInOrder(norms);
}
