// The pieces the stages of the auto method share that are not inline
// (rings_auto_parts.h says what each does).
#include "rings_auto_parts.h"

#include <algorithm>
#include <cmath>

#include "rings_median.h"

namespace auto_parts {

double WeightedMedian(const double *values, const double *weights, int count, int *order) {
    for (int i = 0; i < count; ++i) order[i] = i;
    std::sort(order, order + count, [&](int a, int b) {
        return Below(values[a], values[b]) || (!Below(values[b], values[a]) && a < b);
    });
    double total = 0;
    for (int i = 0; i < count; ++i) total += weights[order[i]];
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += weights[order[i]];
        if (sum >= 0.5 * total) return values[order[i]];
    }
    return count > 0 ? values[order[count - 1]] : 0;
}

bool StepsAt(const double *local, int k, double level, bool rising) {
    double early[kStepViews], late[kStepViews];
    std::copy(local + k - kStepViews, local + k, early);
    std::copy(local + k, local + k + kStepViews, late);
    double before = MedianOf(early, kStepViews) / level, after = MedianOf(late, kStepViews) / level;
    if (!rising) std::swap(before, after);
    return std::fabs(before) <= kStepBand && after >= 1 - kStepBand;
}

bool StepsWithin(const double *local, int rows, int from, int to, double level, bool rising) {
    for (int k = std::max(from, kStepViews); k + kStepViews <= std::min(to, rows); ++k)
        if (StepsAt(local, k, level, rising)) return true;
    return false;
}

double Spread(const double *column, int count, double *values, double *median) {
    std::copy(column, column + count, values);
    *median = MedianOf(values, count);
    double sum = 0;
    for (int k = 0; k < count; ++k) sum += std::fabs(column[k] - *median);
    return sum / count;
}

double BlockThreshold(const AutoWork &work, int b, double floor, double *magnitudes) {
    for (int j = 0; j < work.columns; ++j) {
        const double value = work.block_excess[static_cast<std::size_t>(j) * work.blocks + b];
        magnitudes[j] = value == value ? std::fabs(value) : 0;
    }
    return std::max(kAutoFactor * 1.4826 * MedianOf(magnitudes, work.columns), floor);
}

// A block without trusted views still tells where the residual's median
// over all its views passes this many times their interpolations' median
// difference: a stripe far stronger than the object's edge at the column
// (twice let an edge dwelling by the axis pass for a stripe).
constexpr double kPartialStrong = 3.0;

void BlockOffsets(const double *residual, const double *doubt, int rows, int blocks, double floor, double *scratch,
                  double *out) {
    double *t = scratch;
    const double trusted = kPartialTrust * floor;
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, rows), end = BlockStart(b + 1, blocks, rows);
        int count = 0;
        for (int k = first; k < end; ++k)
            if (doubt[k] <= trusted) t[count++] = residual[k];
        if (count < 3) {
            out[b] = std::nan("");
            count = 0;
            for (int k = first; k < end; ++k) t[count++] = residual[k];
            const double median = MedianOf(t, count);
            count = 0;
            for (int k = first; k < end; ++k) t[count++] = doubt[k];
            if (std::fabs(median) > kPartialStrong * std::max(MedianOf(t, count), trusted)) {
                double sum = 0;
                for (int k = first; k < end; ++k) sum += std::fabs(residual[k] - median);
                out[b] = median;
                out[blocks + b] = sum / (end - first);
            }
            continue;
        }
        const double median = MedianOf(t, count);
        // The residual's roughness within the block: a stripe is a step
        // under smooth views, the object's structure is not.
        double sum = 0;
        int used = 0;
        for (int k = first; k < end; ++k)
            if (doubt[k] <= trusted) {
                sum += std::fabs(residual[k] - median);
                ++used;
            }
        out[b] = median;
        out[blocks + b] = static_cast<double>(sum / used);
    }
}

bool AxisTwin(const double *samples, const AutoWork &work, int j, double *scratch) {
    const int n = work.columns, i = n - 1 - j;
    // The two apart, each with its columns about it (the pair of columns
    // about the axis is each other's mirror).
    if (std::abs(i - j) <= 2 * kAxisReach || std::min(i, j) < kAxisReach + 2 || std::max(i, j) + kAxisReach + 2 >= n)
        return false;
    // The cubic's weights are those of every column with its four
    // neighbours at one and two on either side: taken once.
    double weights[4];
    CubicWeights(Neighbours{1, 3, 0, 4}, 2, weights);
    auto curvature = [&](int c) {
        for (int k = 0; k < work.rows; ++k) {
            const double *view = samples + static_cast<std::size_t>(n) * k;
            scratch[k] = view[c] - CubicFrom(view, Neighbours{c - 1, c + 1, c - 2, c + 2}, weights);
        }
        return MedianOf(scratch, work.rows);
    };
    // The two columns first: a stripe's mirror mostly reads little.
    const double a = curvature(j), b = curvature(i);
    if ((a > 0) != (b > 0) || !(std::fmin(std::fabs(a), std::fabs(b)) > kAutoLevelFraction * work.level)) return false;
    double own[2 * kAxisReach + 1], theirs[2 * kAxisReach + 1], largest = 0;
    for (int d = -kAxisReach; d <= kAxisReach; ++d) {
        own[d + kAxisReach] = d == 0 ? a : curvature(j + d);
        theirs[d + kAxisReach] = d == 0 ? b : curvature(i - d);
        largest = std::fmax(largest, std::fmax(std::fabs(own[d + kAxisReach]), std::fabs(theirs[d + kAxisReach])));
    }
    for (int d = 0; d <= 2 * kAxisReach; ++d)
        if (std::fabs(own[d] - theirs[d]) > kAxisAgree * largest) return false;
    // Two stripes of like size read alike too: a stripe reads 1/6, -2/3, 1,
    // -2/3, 1/6 of itself from two columns before it to two after; an edge
    // does not.
    const double shape[2 * kAxisReach + 1] = {1.0 / 6, -2.0 / 3, 1, -2.0 / 3, 1.0 / 6};
    double unlike = 0;
    for (int d = 0; d <= 2 * kAxisReach; ++d) unlike = std::fmax(unlike, std::fabs(own[d] - shape[d] * a));
    return unlike > kAxisUneven * std::fabs(a);
}

int Around(const unsigned char *mask, int columns, int j, int reach, int *around) {
    int count = 0;
    for (int d = 2; d <= reach; ++d)
        for (int i : {j - d, j + d})
            if (i >= 0 && i < columns && !mask[i]) around[count++] = i;
    return count;
}

void LocalExcess(const double *samples, const unsigned char *stripes, int columns, int rows, int j, int reach,
                 bool cubic, double *local, double *base, double *scratch) {
    const std::size_t n = static_cast<std::size_t>(columns);
    double *values = scratch;
    Neighbours *theirs = reinterpret_cast<Neighbours *>(scratch + kLargestAutoSize);
    int *around = reinterpret_cast<int *>(scratch + 3 * kLargestAutoSize);
    const int count = Around(stripes, columns, j, reach, around);
    const Neighbours own = NeighboursOf(stripes, columns, j);
    for (int i = 0; i < count; ++i) theirs[i] = NeighboursOf(stripes, columns, around[i]);
    for (int k = 0; k < rows; ++k) {
        const double *view = samples + n * k;
        for (int i = 0; i < count; ++i) values[i] = view[around[i]] - Near(view, theirs[i], around[i], cubic);
        base[k] = Near(view, own, j, cubic);
        local[k] = view[j] - base[k] - MedianOf(values, count);
    }
}

}  // namespace auto_parts
