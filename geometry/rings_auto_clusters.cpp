// Stripe removal's auto method: the clusters of the finding resolved by
// the fewest stripes that explain them (rings_auto.h, Clusters).
#include <algorithm>
#include <cmath>
#include <vector>

#include "rings_auto_parts.h"

using namespace auto_parts;

namespace {

// A cluster: a run of at least kClusterLeast adjacent columns that stood
// out in the first pass (a lone stripe and its two leaking neighbours make
// three), of at most kClusterMost (every subset of its columns is tried),
// explained by stripes in all but kClusterSpare of its columns at most:
// an edge of the object needed all but one of its run.
constexpr int kClusterLeast = 5;
constexpr int kClusterMost = 9;
constexpr int kClusterSpare = 2;
// The measures a run's subsets share: a column's clean neighbours take
// few configurations (at most a few hundred in a run of kClusterMost), so
// each is measured once. A table of kMemoSlots, each measure in one of
// kMemoProbes slots from its hash (the first of them replaced when all
// are taken).
constexpr int kMemoSlots = 1024;
constexpr int kMemoProbes = 8;

struct Measure {
    int column = -1;
    Neighbours around{-1, -1, -1, -1};
    bool cubic = false;
    double stand = 0;
};

int MemoSlot(int column, const Neighbours &e, bool cubic) {
    unsigned h = static_cast<unsigned>(column) * 2654435761u;
    for (int v : {e.left, e.right, e.left2, e.right2}) h = (h ^ static_cast<unsigned>(v + 1)) * 16777619u;
    return static_cast<int>((h ^ (cubic ? 0x9e3779b9u : 0u)) % kMemoSlots);
}

// Column j measured against the clean columns of `stripes`, by the
// straight line between its nearest clean neighbours or the cubic through
// two on either side: its offset over the trusted views and its spread
// (ColumnStatistics). `scratch` holds 6 rows.
void MeasureColumn(const double *samples, const AutoWork &work, int j, const unsigned char *stripes, bool cubic,
                   double *scratch, double *offset, double *spread) {
    const int m = work.rows;
    const std::size_t n = static_cast<std::size_t>(work.columns);
    double *residual = scratch, *near = scratch + m, *doubt = scratch + 2 * m;
    const Neighbours e = NeighboursOf(stripes, work.columns, j);
    cubic = cubic && e.left2 >= 0 && e.right2 >= 0;
    double weights[4];
    if (cubic) CubicWeights(e, j, weights);
    for (int k = 0; k < m; ++k) {
        const double *view = samples + n * k;
        near[k] = cubic ? CubicFrom(view, e, weights) : Near(view, e, j, false);
        residual[k] = view[j] - near[k];
        doubt[k] = std::fabs(near[k] - Far(view, e, j, near[k]));
    }
    ColumnStatistics(residual, near, doubt, m, kAutoLevelFraction * work.level, scratch + 3 * m, offset, spread);
}

// What an offset stands out by: beyond `base` (the median of the columns
// two or more away), over the least a stripe must have (`threshold`, or
// the column's roughness beyond the noise).
double Stand(double offset, double spread, double base, double threshold, double noise) {
    const double rough = std::sqrt(std::max(0.0, (spread - noise) * (spread + noise)));
    return std::fabs(offset - base) / std::max(threshold, kAutoRough * rough);
}

}  // namespace

// Among a cluster's stripes the passes' interpolations reach across
// unfound members and leaking neighbours alike, and took clean columns and
// left stripes (clusters, grains, 256 x 180, seed 22: of 180, 181, 182
// and 184, 181 was taken with 183, and mended by its neighbours'
// excesses). Every subset of a run's columns is tried as its stripes: it
// explains the run where each of them stands out by the straight line
// between its clean neighbours, and no other column of the run, nor the
// one beside it on either side, does by that line or by the cubic (which
// follows the object's curvature, the line a stripe's leakage). Without
// the first, an edge of the object was explained by clean columns beside
// a stripe of gain, which then went unmended (mixed, off-axis, seed 53:
// 0.23 -> 0.66). The fewest that explain it, then the least the others
// stand out, are its stripes, measured by the cubic; the holding may try
// them by the cubic (their neighbours were explained). A run the passes'
// finding explains already, or that no subset does, is left as the
// passes found it; so is one whose mirror about the axis stood out alike
// in the first pass (a capillary's wall, clean, was explained by six of
// its eight columns, and changed by 0.90 of its own error).
void auto_parts::ResolveClusters(const double *samples, double sigma, AutoWork *work) {
    const int columns = work->columns;
    const double threshold = std::max(kAutoFactor * sigma, kAutoLeastFraction * work->level);
    unsigned char *mask = reinterpret_cast<unsigned char *>(work->scratch + work->slot - columns);
    std::copy(work->stripes.get(), work->stripes + columns, mask);
    std::fill(work->resolved.get(), work->resolved + columns, 0);
    double *scratch = work->scratch;
    std::vector<Measure> memo(kMemoSlots);
    for (int j = 0; j < columns;) {
        int end = j;
        while (end < columns && work->first_found[end]) ++end;
        const int width = end - j;
        // Its mirror about the axis found too, reading alike (within
        // kAxisAgree): an edge concentric with the axis (a capillary's
        // wall), which holds over the views as a stripe does.
        int mirrored = 0;
        for (int i = j; i < end; ++i) {
            const double own = work->first_excess[i], theirs = work->first_excess[columns - 1 - i];
            mirrored += work->first_found[columns - 1 - i] && (own > 0) == (theirs > 0) &&
                        std::fabs(own - theirs) <= kAxisAgree * std::fmax(std::fabs(own), std::fabs(theirs));
        }
        if (width < kClusterLeast || width > kClusterMost || 2 * mirrored >= width) {
            j = end > j ? end : j + 1;
            continue;
        }
        const int lo = std::max(0, j - 1), hi = std::min(columns - 1, end);
        std::fill(memo.begin(), memo.end(), Measure{});
        auto stand = [&](int i, bool cubic) {
            const Neighbours e = NeighboursOf(mask, columns, i);
            const int first = MemoSlot(i, e, cubic);
            int empty = first;
            for (int p = 0; p < kMemoProbes; ++p) {
                const Measure &q = memo[(first + p) % kMemoSlots];
                if (q.column == i && q.cubic == cubic && q.around == e) return q.stand;
                if (q.column < 0) {
                    empty = (first + p) % kMemoSlots;
                    break;
                }
            }
            double offset = 0, spread = 0;
            MeasureColumn(samples, *work, i, mask, cubic, scratch, &offset, &spread);
            const double by = Stand(offset, spread, work->offsets[i] - work->excess[i], threshold, work->noise);
            memo[empty] = Measure{i, e, cubic, by};
            return by;
        };
        // Whether the subset `set` of the run explains it, each of its
        // columns standing out against the others; *sum: the squares of
        // what the others stand out by.
        auto explains = [&](int set, double *sum) {
            for (int i = j; i < end; ++i) mask[i] = (set >> (i - j)) & 1;
            *sum = 0;
            for (int i = lo; i <= hi; ++i) {
                if (mask[i] && i >= j && i < end && !(stand(i, false) > 1)) return false;
                if (mask[i]) continue;
                double by = stand(i, false);
                if (by > 1) by = std::min(by, stand(i, true));
                if (by > 1 && !OutsideObject(*work, i, kAutoLevelFraction * work->level)) return false;
                *sum += by * by;
            }
            return true;
        };
        int found = 0;
        for (int i = j; i < end; ++i) found |= work->stripes[i] ? 1 << (i - j) : 0;
        double sum = 0;
        int best = -1, fewest = width - kClusterSpare;
        double least = 0;
        if (found == 0 || !explains(found, &sum))
            for (int set = 1; set < (1 << width); ++set) {
                const int size = __builtin_popcount(static_cast<unsigned>(set));
                if (size > fewest || !explains(set, &sum)) continue;
                if (best < 0 || size < fewest || sum < least) {
                    best = set;
                    fewest = size;
                    least = sum;
                }
            }
        if (best >= 0) {
            for (int i = j; i < end; ++i) mask[i] = (best >> (i - j)) & 1;
            for (int i = j; i < end; ++i) {
                const double base = work->offsets[i] - work->excess[i];
                double offset = 0, spread = 0;
                MeasureColumn(samples, *work, i, mask, true, scratch, &offset, &spread);
                work->stripes[i] = mask[i];
                work->offsets[i] = offset;
                work->excess[i] = offset - base;
                work->spread[i] = spread;
                work->stand[i] = Stand(offset, spread, base, threshold, work->noise);
                work->grown[i] = 0;
                work->resolved[i] = 1;
            }
        } else {
            for (int i = j; i < end; ++i) mask[i] = work->stripes[i];
        }
        j = end;
    }
}
