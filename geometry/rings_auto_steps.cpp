// Stripe removal's auto method, its last stage: the step stripes, partial
// stripes where no block of views is trusted (rings_auto.h, Steps).
#include "rings_auto.h"

#include <algorithm>
#include <cmath>

#include "median.h"
#include "rings_auto_parts.h"

using namespace auto_parts;

namespace {

// Puts two numbers in order without a branch.
inline void Order(double &a, double &b) {
    const double low = b < a ? b : a, high = b < a ? a : b;
    a = low;
    b = high;
}

// MedianOf for eight numbers (the default size's neighbours), none of
// them NaN, by Batcher's sorting network of 19 exchanges: the same two
// middle values, the same mean of them.
double MedianOfEight(double *v) {
    Order(v[0], v[1]), Order(v[2], v[3]), Order(v[4], v[5]), Order(v[6], v[7]);
    Order(v[0], v[2]), Order(v[1], v[3]), Order(v[4], v[6]), Order(v[5], v[7]);
    Order(v[1], v[2]), Order(v[5], v[6]);
    Order(v[0], v[4]), Order(v[1], v[5]), Order(v[2], v[6]), Order(v[3], v[7]);
    Order(v[2], v[4]), Order(v[3], v[5]);
    Order(v[1], v[2]), Order(v[3], v[4]), Order(v[5], v[6]);
    return 0.5 * v[4] + 0.5 * v[3];
}

// Column j's best run of blocks as a step stripe (rings_auto.h, Steps):
// the longest that holds, its level into *level and its blocks into
// *first and *last; false for none. `least` is the blocks' largest
// threshold; `none` marks no column (every neighbour in); `scratch` holds
// 3 `rows` doubles and 3.5 kLargestAutoSize.
bool StepRun(const double *samples, const AutoWork &work, const unsigned char *none, int j, int reach, double least,
             double *scratch, double *level, int *first, int *last) {
    const int blocks = work.blocks, m = work.rows, n = work.columns;
    const double *v = work.block_excess + static_cast<std::size_t>(j) * blocks;
    double *local = scratch, *base = scratch + m;
    bool measured = false;
    int best = 0;
    for (int s = 0; s < blocks; ++s)
        for (int e = s + kStepRun - 1; e < blocks; ++e) {
            const int length = e - s + 1;
            if (blocks - length < 2) continue;  // nothing outside to tell a step by
            double values[kPartialBlocks];
            std::copy(v + s, v + e + 1, values);
            const double a = MedianOf(values, length);
            if (!(std::fabs(a) > kStepFloor * least) || length <= best) continue;
            int off = 0, outside = 0;
            for (int b = s; b <= e; ++b) off += std::fabs(v[b] - a) > kStepAgree * std::fabs(a);
            for (int b = 0; b < blocks; ++b) {
                if (b >= s && b <= e) continue;
                const double x = a > 0 ? v[b] : -v[b];
                if (b == s - 1 || b == e + 1)
                    outside += x < -kStepOutside * std::fabs(a) || x > (1 + kStepAgree) * std::fabs(a);
                else
                    outside += std::fabs(x) > kStepOutside * std::fabs(a);
            }
            if (4 * off > length || outside > 1 || length - off < kStepRun) continue;
            // The neighbours interpolate from the column: -2/3 of it.
            bool leaks = true;
            for (int i : {j - 1, j + 1}) {
                if (i < 0 || i >= n) continue;
                int c = 0;
                for (int b = s; b <= e; ++b) values[c++] = work.block_excess[static_cast<std::size_t>(i) * blocks + b] / v[b];
                leaks = leaks && std::fabs(MedianOf(values, c) + 2.0 / 3.0) <= kStepLeak;
            }
            if (!leaks) continue;
            if (!measured) {
                LocalExcess(samples, none, n, m, j, reach, true, local, base, scratch + 3 * m);
                measured = true;
            }
            if (s > 0 && !StepsWithin(local, m, BlockStart(s - 1, blocks, m), BlockStart(s + 1, blocks, m), a, true))
                continue;
            if (e + 1 < blocks &&
                !StepsWithin(local, m, BlockStart(e, blocks, m), BlockStart(e + 2, blocks, m), a, false))
                continue;
            best = length;
            *level = a;
            *first = s;
            *last = e;
        }
    return best > 0;
}

}  // namespace

void StepBlockMedians(const double *samples, int size, bool shared, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int columns = work->columns, m = work->rows, blocks = work->blocks;
    const int reach = std::max(2, size / 2);
    unsigned char *none = work->next;
    std::fill(none, none + n, 0);
    const int column_blocks = (columns + kBlockColumns - 1) / kBlockColumns;
#pragma omp parallel for schedule(static) num_threads(work->threads)
    for (int block = 0; block < column_blocks; ++block) {
        double *scratch = ThreadScratch(*work);
        const int first = block * kBlockColumns, width = std::min(kBlockColumns, columns - first);
        // Each column's local excess over the views, column after column.
        double *local = scratch, *rest = scratch + static_cast<std::size_t>(kBlockColumns) * m;
        if (shared) {
            // Each view's residuals from the columns reach before the first
            // to reach after the last, taken once for all of them.
            const int low = std::max(0, first - reach), high = std::min(columns, first + width + reach);
            // Away from the detector's ends every column's neighbours lie
            // at the same distances, and its cubic's weights (which Near
            // takes in every view) are the same numbers: taken once.
            double *residual = rest, *values = rest + kLargestAutoSize + kBlockColumns;
            double weights[4];
            CubicWeights(Neighbours{1, 3, 0, 4}, 2, weights);
            for (int k = 0; k < m; ++k) {
                const double *view = samples + n * k;
                for (int i = low; i < high; ++i)
                    residual[i - low] = view[i] - (i >= 2 && i + 2 < columns
                                                       ? CubicFrom(view, Neighbours{i - 1, i + 1, i - 2, i + 2}, weights)
                                                       : Near(view, NeighboursOf(none, columns, i), i, true));
                for (int c = 0; c < width; ++c) {
                    // The columns two to reach away (Around, with none left
                    // out); for the default size away from the ends, the
                    // eight of them straight.
                    const int j = first + c;
                    double median;
                    if (reach == 5 && j >= 5 && j + 5 < columns) {
                        const double *r = residual + (j - low);
                        double eight[8] = {r[-5], r[-4], r[-3], r[-2], r[2], r[3], r[4], r[5]};
                        bool numbers = true;
                        for (double x : eight) numbers = numbers && x == x;
                        median = numbers ? MedianOfEight(eight) : MedianOf(eight, 8);
                    } else {
                        int count = 0;
                        for (int d = 2; d <= reach; ++d)
                            for (int i : {j - d, j + d})
                                if (i >= 0 && i < columns) values[count++] = residual[i - low];
                        median = MedianOf(values, count);
                    }
                    local[static_cast<std::size_t>(c) * m + k] = residual[j - low] - median;
                }
            }
        } else {
            for (int c = 0; c < width; ++c)
                LocalExcess(samples, none, columns, m, first + c, reach, true, local + static_cast<std::size_t>(c) * m,
                            rest, rest + m);
        }
        for (int c = 0; c < width; ++c) {
            const double *series = local + static_cast<std::size_t>(c) * m;
            double *out = work->block_excess + static_cast<std::size_t>(first + c) * blocks;
            for (int b = 0; b < blocks; ++b) {
                const int from = BlockStart(b, blocks, m), to = BlockStart(b + 1, blocks, m);
                std::copy(series + from, series + to, rest);
                out[b] = MedianOf(rest, to - from);
            }
        }
    }
}

int FindStepStripes(const double *samples, int size, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int columns = work->columns, blocks = work->blocks;
    std::fill(work->steps.get(), work->steps + n, 0);
    if (blocks == 0) return 0;
    const int reach = std::max(2, size / 2);
    StepBlockMedians(samples, size, true, work);
    // The blocks' threshold, as for the partial stripes: the largest of them.
    double least = 0;
    for (int b = 0; b < blocks; ++b)
        least = std::max(least, BlockThreshold(*work, b, kAutoLevelFraction * work->level, work->scratch));
    const unsigned char *none = work->next;  // all 0 (StepBlockMedians)
#pragma omp parallel for schedule(dynamic, 4) num_threads(work->threads)
    for (int j = 0; j < columns; ++j) {
        work->step_level[j] = 0;
        double level = 0;
        int first = 0, last = 0;
        if (!work->flat[j] && StepRun(samples, *work, none, j, reach, least, ThreadScratch(*work), &level, &first, &last)) {
            work->step_level[j] = level;
            work->span[2 * j] = first;
            work->span[2 * j + 1] = last;
        }
    }
    // Of the columns within two of each other, the strongest: its
    // neighbours carry its leakage.
    int found = 0;
    for (int j = 0; j < columns; ++j) {
        if (work->step_level[j] == 0) continue;
        bool strongest = true;
        for (int i = std::max(0, j - 2); i <= std::min(columns - 1, j + 2); ++i)
            strongest = strongest && std::fabs(work->step_level[i]) <= std::fabs(work->step_level[j]);
        work->steps[j] = strongest;
        found += strongest;
    }
    return found;
}

void MendStepStripes(double *samples, int size, AutoWork *work) { MendRuns(samples, size, work->steps, work); }
