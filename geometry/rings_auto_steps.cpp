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

// A drift (an offset growing through the views from nothing, or shrinking
// to nothing) among features that spoil every block's trust: no run of
// its blocks lies near one level, but kStepRun or more (kDriftRun at
// least) lie within kStepAgree of its largest from the line through them
// (the median of the slopes between pairs of blocks, through the median
// of what each leaves), that line's smaller end at most kDriftStart of its
// larger and of the same sign. Only the larger end steps; and since a
// feature dwelling at the column for a few blocks leaks into its
// neighbours much as a stripe does, each neighbour must read -2/3 of the
// column within kDriftLeak in half the blocks beyond the floor, three at
// least (partial, grains, seed 16: a drift to 4 % in views 96-359, whose
// blocks the grains spoiled, 0.61 of the ring error left without, 0.23
// so; a feature by the axis that read -4.2, -3.2 and -2.4 in three blocks
// and leaked -0.55 of itself into both neighbours was taken for a drift
// where the median of the leakage alone was asked).
constexpr int kDriftRun = 5;
constexpr double kDriftStart = 0.5;
constexpr double kDriftLeak = 0.4;

// The line through `count` blocks' values `v` (Theil and Sen), its value
// at each into `line`; returns its value of largest magnitude, at either
// end. `scratch` holds count * count doubles.
double DriftLine(const double *v, int count, double *scratch, double *line) {
    int pairs = 0;
    for (int p = 0; p < count; ++p)
        for (int q = p + 1; q < count; ++q) scratch[pairs++] = (v[q] - v[p]) / (q - p);
    const double slope = MedianOf(scratch, pairs);
    for (int b = 0; b < count; ++b) scratch[b] = v[b] - slope * b;
    const double at = MedianOf(scratch, count);
    for (int b = 0; b < count; ++b) line[b] = at + slope * b;
    return std::fabs(line[0]) > std::fabs(line[count - 1]) ? line[0] : line[count - 1];
}

// Whether, in at least half of the blocks [s, e] of column j beyond
// `floor` (and three), both neighbours read -2/3 of it within kDriftLeak.
bool LeaksInMost(const AutoWork &work, int j, int s, int e, double floor) {
    const int blocks = work.blocks;
    const double *v = work.block_excess + static_cast<std::size_t>(j) * blocks;
    int telling = 0, alike = 0;
    for (int b = s; b <= e; ++b) {
        if (!(std::fabs(v[b]) > floor)) continue;
        ++telling;
        bool both = true;
        for (int i : {j - 1, j + 1})
            if (i >= 0 && i < work.columns)
                both = both && std::fabs(work.block_excess[static_cast<std::size_t>(i) * blocks + b] / v[b] + 2.0 / 3.0) <=
                                   kDriftLeak;
        alike += both;
    }
    return alike >= 3 && 2 * alike >= telling;
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
            double a = MedianOf(values, length);
            if (length <= best) continue;
            // What each block of the run should read: the level, or a
            // drift's line.
            double line[kPartialBlocks];
            std::fill(line, line + length, a);
            int off = 0, outside = 0;
            for (int b = s; b <= e; ++b) off += std::fabs(v[b] - a) > kStepAgree * std::fabs(a);
            bool drift = false;
            // A drift's median lies about halfway to its largest.
            if (4 * off > length && length >= kDriftRun && std::fabs(a) > 0.5 * kStepFloor * least) {
                double drifting[kPartialBlocks], pairs[kPartialBlocks * kPartialBlocks];
                const double top = DriftLine(v + s, length, pairs, drifting);
                const double low = std::fabs(drifting[0]) < std::fabs(drifting[length - 1]) ? drifting[0]
                                                                                           : drifting[length - 1];
                int astray = 0;
                for (int b = s; b <= e; ++b) astray += std::fabs(v[b] - drifting[b - s]) > kStepAgree * std::fabs(top);
                if (4 * astray <= length && (low > 0) == (top > 0) && std::fabs(low) <= kDriftStart * std::fabs(top)) {
                    drift = true;
                    a = top;
                    off = astray;
                    std::copy(drifting, drifting + length, line);
                }
            }
            if (!(std::fabs(a) > kStepFloor * least)) continue;
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
            if (!leaks || (drift && !LeaksInMost(work, j, s, e, kStepFloor * least))) continue;
            if (!measured) {
                LocalExcess(samples, none, n, m, j, reach, true, local, base, scratch + 3 * m);
                measured = true;
            }
            // A drift steps only at its larger end.
            const bool grows = std::fabs(line[length - 1]) >= std::fabs(line[0]);
            if (s > 0 && !(drift && grows) &&
                !StepsWithin(local, m, BlockStart(s - 1, blocks, m), BlockStart(s + 1, blocks, m), line[0], true))
                continue;
            if (e + 1 < blocks && !(drift && !grows) &&
                !StepsWithin(local, m, BlockStart(e, blocks, m), BlockStart(e + 2, blocks, m), line[length - 1], false))
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
