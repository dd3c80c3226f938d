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
    const int n = work.columns, wide = 2 * kAxisReach;
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
    // A stripe reads 1/6, -2/3, 1, -2/3, 1/6 of itself from two columns
    // before it to two after; an edge does not. How far the readings of
    // the five columns from `at` depart from that, in units of the middle
    // one's.
    auto unlike = [](const double *at) {
        const double shape[2 * kAxisReach + 1] = {1.0 / 6, -2.0 / 3, 1, -2.0 / 3, 1.0 / 6};
        double most = 0;
        for (int d = 0; d <= 2 * kAxisReach; ++d) most = std::fmax(most, std::fabs(at[d] - shape[d] * at[kAxisReach]));
        return most / std::fabs(at[kAxisReach]);
    };
    if (j < kAxisReach + 2 || j + kAxisReach + 2 >= n) return false;
    const double a = curvature(j);
    if (!(std::fabs(a) > kAutoLevelFraction * work.level)) return false;
    // The columns about j, and about its mirror, up to `wide` away (those
    // beyond kAxisReach only off the centre); NaN until measured.
    double own[2 * wide + 1], theirs[2 * wide + 1];
    std::fill(own, own + 2 * wide + 1, std::nan(""));
    own[wide] = a;
    // The mirror about the centre first, then about the points half a
    // column and a column off it.
    for (int off : {0, -1, 1, -2, 2}) {
        if (std::abs(off) > kAxisOff) continue;
        const int i = n - 1 - j + off, reach = off == 0 ? kAxisReach : wide;
        // The two apart, each with its columns about it (the pair of
        // columns about the axis is each other's mirror).
        if (std::abs(i - j) <= 2 * reach || std::min(i, j) < reach + 2 || std::max(i, j) + reach + 2 >= n) continue;
        // The two columns first: a stripe's mirror mostly reads little.
        const double b = curvature(i);
        if ((a > 0) != (b > 0) || !(std::fabs(b) > kAutoLevelFraction * work.level)) continue;
        for (int d = -reach; d <= reach; ++d) {
            if (own[wide + d] != own[wide + d]) own[wide + d] = curvature(j + d);
            theirs[wide + d] = d == 0 ? b : curvature(i - d);
        }
        double largest = 0;
        int peak = 0;
        for (int d = -kAxisReach; d <= kAxisReach; ++d) {
            largest = std::fmax(largest, std::fmax(std::fabs(own[wide + d]), std::fabs(theirs[wide + d])));
            if (std::fabs(own[wide + d]) > std::fabs(own[wide + peak])) peak = d;
        }
        const double agree = off == 0 ? kAxisAgree : kAxisNearAgree;
        bool alike = true;
        for (int d = -kAxisReach; d <= kAxisReach; ++d)
            alike = alike && std::fabs(own[wide + d] - theirs[wide + d]) <= agree * largest;
        if (!alike) continue;
        // Two stripes of like size read alike too, but in a stripe's
        // shape. Off the centre, where they may agree less, neither the
        // column reading most about j nor its mirror may read it (the
        // neighbours of two stripes there, which leak both, read alike
        // too; the columns beside an edge are measured by the edge's).
        if (off == 0 ? unlike(own + kAxisReach) > kAxisUneven
                     : unlike(own + kAxisReach + peak) > kAxisNearUneven &&
                           unlike(theirs + kAxisReach + peak) > kAxisNearUneven)
            return true;
    }
    return false;
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
