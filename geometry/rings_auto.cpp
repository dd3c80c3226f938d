#include "rings_auto.h"

#include <algorithm>
#include <cmath>

#include "median.h"
#include "rings_detect.h"
#include "rings_median.h"
#include "threads.h"

namespace {

double *ThreadScratch(const AutoWork &work) { return work.scratch + work.slot * ThreadIndex(); }

// Whether any of the `width` columns from `first` is to be measured again.
bool AnyDirty(const AutoWork &work, int first, int width) {
    for (int c = 0; c < width; ++c)
        if (work.dirty[first + c]) return true;
    return false;
}

// The nearest column before (step -1) or after (step 1) j that is not a
// stripe; -1 when there is none.
int Clean(const unsigned char *stripes, int columns, int j, int step) {
    for (int i = j + step; i >= 0 && i < columns; i += step)
        if (!stripes[i]) return i;
    return -1;
}

// The clean neighbours of each column: the nearest on the left and right
// and the next ones out, -1 where there is none.
using Neighbours = CleanNeighbours;

Neighbours NeighboursOf(const unsigned char *stripes, int columns, int j) {
    Neighbours e{Clean(stripes, columns, j, -1), Clean(stripes, columns, j, 1), -1, -1};
    if (e.left >= 0) e.left2 = Clean(stripes, columns, e.left, -1);
    if (e.right >= 0) e.right2 = Clean(stripes, columns, e.right, 1);
    return e;
}

// The straight line through columns a and b of one view, at j.
double Between(const double *view, int a, int b, int j) {
    return view[a] + (view[b] - view[a]) * (static_cast<double>(j - a) / (b - a));
}

// The cubic through the two clean columns on either side, at j: it follows
// the object's own curvature, which the straight line leaves in the residual
// as much as a weak stripe (a small feature's profile, a large one's
// shoulder), so that a weak stripe stands out of it.
// Its weights depend on the columns alone: a loop over the views takes
// them once.
void CubicWeights(const Neighbours &e, int j, double *weights) {
    const int at[4] = {e.left2, e.left, e.right, e.right2};
    for (int i = 0; i < 4; ++i) {
        double weight = 1;
        for (int q = 0; q < 4; ++q)
            if (q != i) weight *= static_cast<double>(j - at[q]) / (at[i] - at[q]);
        weights[i] = weight;
    }
}

double CubicFrom(const double *view, const Neighbours &e, const double *weights) {
    const int at[4] = {e.left2, e.left, e.right, e.right2};
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += weights[i] * view[at[i]];
    return sum;
}

double Cubic(const double *view, const Neighbours &e, int j) {
    double weights[4];
    CubicWeights(e, j, weights);
    return CubicFrom(view, e, weights);
}

// Column j of one view from its clean neighbours: the cubic through two on
// either side where `cubic` and they exist, else the straight line between
// the nearest (continued from one side at the detector's ends). The cubic
// reaches two clean columns out, so it waits until the first pass has found
// the stripes (one not yet found would bend it at four columns); the
// partial stripes' blocks of views and the holding, whose thresholds are
// the straight line's, keep the line.
double Near(const double *view, const Neighbours &e, int j, bool cubic) {
    if (cubic && e.left2 >= 0 && e.right2 >= 0) return Cubic(view, e, j);
    if (e.left >= 0 && e.right >= 0) return Between(view, e.left, e.right, j);
    int near = e.left >= 0 ? e.left : e.right;
    if (near < 0) return view[j];
    int far = e.left >= 0 ? e.left2 : e.right2;
    if (far < 0) return view[near];
    return view[near] + (view[near] - view[far]) * (static_cast<double>(j - near) / (near - far));
}

// The straight line from the next clean columns out on either side (`near`
// where there are none): where it and Near's line disagree, the view has
// structure (an edge) at the column and its interpolation is not to be
// trusted.
double Far(const double *view, const Neighbours &e, int j, double near) {
    if (e.left < 0 || e.right < 0 || e.left2 < 0 || e.right2 < 0) return near;
    return Between(view, e.left2, e.right2, j);
}

// The weighted median of `count` values with positive weights: the value
// where the weights below and above it balance. Reorders both arrays
// together through `order` (count ints).
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

// The mean absolute deviation from the median of `count` values; `values`
// is scratch of `count` doubles.
double Spread(const double *column, int count, double *values) {
    std::copy(column, column + count, values);
    double median = MedianOf(values, count);
    double sum = 0;
    for (int k = 0; k < count; ++k) sum += std::fabs(column[k] - median);
    return sum / count;
}

// The least spread of a stripe column over the views, against its clean
// neighbours', below which it answers no more to the object (dead,
// saturated).
constexpr double kDeadSpread = 0.2;

// Whether column j hardly changes over the views (its mean deviation
// `variation[j]`) while its nearest clean neighbours on both sides do, by
// more than `floor`.
bool Flat(const double *variation, const unsigned char *stripes, int columns, int j, double floor) {
    int left = Clean(stripes, columns, j, -1), right = Clean(stripes, columns, j, 1);
    if (left < 0 || right < 0) return false;
    double around = std::min(variation[left], variation[right]);
    return around > floor && variation[j] < kDeadSpread * around;
}

// The statistics of one column: its residual's median over the views
// where the interpolation is trusted (the half where it agrees best with the
// one from farther out, or where the two differ by less than `floor`: an
// edge of the object that dwells at the column in many views is left out),
// and the residual's median deviation about a gain (the medians of the
// residual where the interpolation is low and where it is high give the
// gain, as for a stripe of gain). `scratch` holds 3 `rows` doubles.
void ColumnStatistics(const double *residual, const double *near, const double *doubt, int rows, double floor,
                      double *scratch, double *offset, double *spread) {
    double *r = scratch, *b = scratch + rows, *t = scratch + 2 * rows;
    std::copy(doubt, doubt + rows, t);
    const double trusted = std::max(MedianOf(t, rows), floor);
    int count = 0;
    for (int k = 0; k < rows; ++k)
        if (doubt[k] <= trusted) {
            r[count] = residual[k];
            b[count] = near[k];
            ++count;
        }
    std::copy(r, r + count, t);
    const double median = MedianOf(t, count);
    std::copy(b, b + count, t);
    const double middle = MedianOf(t, count);
    double half[2][2] = {{0, 0}, {0, 0}};
    for (int high = 0; high < 2; ++high) {
        int c = 0;
        for (int i = 0; i < count; ++i)
            if ((b[i] > middle) == (high == 1)) t[c++] = r[i];
        half[high][0] = MedianOf(t, c);
        c = 0;
        for (int i = 0; i < count; ++i)
            if ((b[i] > middle) == (high == 1)) t[c++] = b[i];
        half[high][1] = MedianOf(t, c);
    }
    double gain = half[1][1] > half[0][1] ? (half[1][0] - half[0][0]) / (half[1][1] - half[0][1]) : 0;
    for (int i = 0; i < count; ++i) t[i] = std::fabs(r[i] - median - gain * (b[i] - middle));
    *offset = median;
    *spread = MedianOf(t, count);
}

// The mean distance from its interpolation, in units of the level, beyond
// which a mended column is replaced.
constexpr double kWildFraction = 0.1;

// Views whose interpolation is below this fraction of the column's largest
// do not enter the gain: a ratio of small numbers.
constexpr double kGainViews = 0.25;

// Columns gathered together from the views.
constexpr int kBlockColumns = 8;

// A gain is fitted only where it takes this much off the residual's spread.
constexpr double kGainGain = 0.8;

}  // namespace

namespace {

// A partial stripe: a run of at least kPartialRun blocks whose excesses
// pass kPartialFloor times the block's threshold, each within kSteady of
// the last.
constexpr double kPartialFloor = 3.0;
// For a column that stood out over all the views: its standing out is
// evidence already (a stripe in half the views stands out over them all
// and fails the holding; one in three quarters holds, and its mending by
// the median leaves parts of it on either side), and the block's threshold
// alone is enough (a drift of 0.4 % through most views was missed at twice
// it).
constexpr double kStoodFloor = 1.0;
constexpr double kSteady = 0.2;
constexpr int kPartialRun = 4;
// A run of kWeakRun such blocks is a partial stripe too (a stripe in a
// fifth of the views, or one whose run the object's edges break), where
// in the last pass its neighbours, no longer interpolating from it, tell
// something in half its blocks and are quiet there: their roughness beyond
// the block's noise under kQuietShare of the column's block excess. A
// feature of the object that dwells at the column leaves its neighbours
// untrusted or rough; a stripe leaves them as the object has them.
constexpr int kWeakRun = 3;
constexpr double kQuietShare = 0.25;
// Or a run of kShortRun contiguous blocks each beyond kShortFloor times the
// block's threshold and kShortRough times its roughness within the block:
// a stripe in a fifth of the views fills fewer than kPartialRun blocks.
constexpr int kShortRun = 3;
constexpr double kShortFloor = 6.0;
constexpr double kShortRough = 8.0;
// Or, as a weak finding, two such blocks each beyond kPairFloor times the
// block's threshold: a stripe in a fifth of the views that starts and
// stops within blocks fills only two of them cleanly (its first and last
// are rough with its step).
constexpr double kPairFloor = 10.0;
// A drift that starts from nothing has its first blocks under the run's
// floor, and the run finds at most its end (a drift to 0.7 % of the level
// over 82 views reached the floor in two blocks). So a run of kDriftRun
// blocks beyond their threshold alone, of one sign, each near the last or
// on the line through the last two and all growing (or all shrinking),
// the largest beyond kPartialFloor times its threshold, is a weak finding
// too, where in each of its blocks the column stands out more than either
// neighbour: a stronger stripe beside it ramps its neighbours as well
// (they interpolate from it), and so does a gain's excess following the
// column's value.
constexpr int kDriftRun = 3;
// A stripe no interpolation leaves out leaks into its neighbours: each
// interpolates from it, on the straight line to the next column out, and
// takes -1/2 of its block excess. So a run of kLeakRun blocks beyond their
// threshold alone, each near the last or on the line through the last
// two, where both neighbours show that leakage within kLeakBand of the
// column's excess, is a partial stripe as a full run is: a feature of the
// object spans the next columns in its own way (a stripe of 0.4 % in
// seven blocks of views, at twice the threshold, with neighbours at -0.49
// to -0.50 of it, was missed). The second pass leaves the column out of
// its neighbours' interpolations: they then show nothing of it, within
// kLeakBand. A neighbour whose excess its roughness in the block took to
// nothing tells nothing, and a block where both do passes over.
constexpr int kLeakRun = 3;
constexpr double kLeakBand = 0.2;
// The views where the interpolations from the nearest and the next clean
// columns out differ by less than kPartialTrust times the level fraction:
// no edge of the object near the column.
constexpr double kPartialTrust = 3.0;
// Outside its run of blocks a partial stripe's mending is held to this
// many times the run's largest block excess.
constexpr double kPartialCap = 1.5;

// A partial stripe's neighbours, once it is left out of their
// interpolations, show nothing of it; a feature of the object that dwells
// at the column (near the axis, where its path turns back) spans the next
// columns too. A neighbour's block excess alike when of the same sign and
// at least this share of the column's.
constexpr double kAlikeShare = 0.5;

// The first view of block b of `blocks` over `rows` views.
int BlockStart(int b, int blocks, int rows) {
    return static_cast<int>(static_cast<long long>(b) * rows / blocks);
}

// Block b's threshold, from the typical excess of the columns in it (of
// work.block_excess; a block that tells nothing counts as none), as for
// the stripes over all the views, and at least `floor`. `magnitudes` is
// scratch of `columns` doubles.
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

// The residual's median in each block of views, over the views where the
// interpolation is trusted (the two interpolations within kPartialTrust
// times `floor`); for a block with fewer than three such views (an edge of
// the object dwells there), over all its views where that passes
// kPartialStrong times their median `doubt`, else not a number, which
// tells nothing; and after the blocks, each block's mean deviation from
// its median over the same views. `scratch` holds `rows` doubles.
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

// A drift's run of blocks over one column, as kDriftRun says: its length,
// first block, whether it grows (1) or shrinks (-1), its largest block over
// that block's threshold, and whether the column stood out more than its
// neighbours in every block of it.
struct DriftRun {
    int length = 0, start = 0, trend = 0;
    double top = 0;
    bool peak = true;
};

// Whether `value` is near `last` or on the line through `before` and
// `last` (`told` blocks so far; a `before` of nothing takes either sign):
// a stripe that holds or drifts.
bool OnTrack(double value, double last, double before, int told) {
    return (value > 0) == (last > 0) &&
           (std::fabs(value - last) <= kSteady * std::max(std::fabs(value), std::fabs(last)) ||
            (told > 1 && (before == 0 || (before > 0) == (value > 0)) &&
             std::fabs(value - 2 * last + before) <= kSteady * std::fabs(value)));
}

// Whether column j's excess in block b is larger than either neighbour's
// (a neighbour's block without trusted views tells nothing).
bool PeakInBlock(const AutoWork &work, int j, int b) {
    const double own = std::fabs(work.block_excess[static_cast<std::size_t>(j) * work.blocks + b]);
    for (int i : {j - 1, j + 1}) {
        if (i < 0 || i >= work.columns) continue;
        const double value = work.block_excess[static_cast<std::size_t>(i) * work.blocks + b];
        if (value == value && std::fabs(value) >= own) return false;
    }
    return true;
}

// Extends column j's drift by block b, whose excess `value` passes
// `least` (its threshold) or ends the drift; `last` and `before` are the
// last two blocks that told something, `told` their number so far.
void ExtendDrift(const AutoWork &work, int j, int b, double value, double last, double before, int told,
                 double least, DriftRun *drift) {
    if (!(std::fabs(value) > least)) {
        *drift = DriftRun{};
        return;
    }
    const int trend = std::fabs(value) > std::fabs(last) ? 1 : -1;
    const bool steady = drift->length > 0 && (drift->length < 2 || trend == drift->trend) &&
                        OnTrack(value, last, before, told);
    if (!steady) *drift = DriftRun{0, b, 0, 0, true};
    if (drift->length == 1) drift->trend = trend;
    ++drift->length;
    drift->top = std::max(drift->top, std::fabs(value) / least);
    drift->peak = drift->peak && PeakInBlock(work, j, b);
}

// What column j's neighbours tell in block b of a stripe of block excess
// `value` (kLeakRun): 1 where they show its leakage (or, `left_out` of
// their interpolations, nothing), 0 where their roughness leaves them
// telling nothing, -1 where they show something else.
int LeakageIn(const AutoWork &work, int j, int b, double value, bool left_out) {
    if (j == 0 || j + 1 == work.columns) return -1;
    int shown = 0;
    for (int i : {j - 1, j + 1}) {
        const double excess = work.block_excess[static_cast<std::size_t>(i) * work.blocks + b];
        if (!(excess == excess)) return -1;
        const double share = excess / value;
        if (std::fabs(share + 0.5) <= kLeakBand || (left_out && std::fabs(share) <= kLeakBand))
            ++shown;
        else if (excess != 0)
            return -1;
    }
    return shown > 0 ? 1 : 0;
}

// Two adjacent columns found are two stripes of a cluster, not an edge of
// the object dwelling there, where the first pass found one of them by a
// full run and the second, with that one left out of the other's
// interpolation, found the other by a full run too, whose neighbour on the
// far side tells something in at least kOuterBlocks blocks of its run. An
// edge by the pair leaves no view of those blocks trusted: the wider gap
// across it made a stripe of nine times the one found first.
constexpr int kOuterBlocks = 2;

// Whether adjacent columns j and i, found in the last pass
// (work.next), are such a pair; work.partial holds the pass before's
// findings.
bool ClusterPair(const AutoWork &work, int j, int i) {
    if (work.next[j] != 1 || work.next[i] != 1 || work.partial[j] == work.partial[i]) return false;
    const int newcomer = work.partial[j] ? i : j, first = work.partial[j] ? j : i;
    const int outer = 2 * newcomer - first;
    if (outer < 0 || outer >= work.columns) return false;
    int told = 0;
    for (int b = work.span[2 * newcomer]; b <= work.span[2 * newcomer + 1]; ++b) {
        const double value = work.block_excess[static_cast<std::size_t>(outer) * work.blocks + b];
        told += value == value;
    }
    return told >= kOuterBlocks;
}

// A feature dwelling at the column leaves its neighbours without trusted
// views in most blocks: alike in at least this many blocks, and in half of
// those where a neighbour tells something, is shared too.
constexpr int kAlikeBlocks = 2;

// Whether, in at least half the blocks of partial stripe j's run that
// tell something, a neighbour's block excess is alike; or, as
// kAlikeBlocks says, in the blocks where a neighbour tells something too.
bool SharedWithNeighbours(const AutoWork &work, int j) {
    const int blocks = work.blocks;
    const double *own = work.block_excess + static_cast<std::size_t>(j) * blocks;
    int told = 0, shared = 0, beside = 0;
    for (int b = work.span[2 * j]; b <= work.span[2 * j + 1]; ++b) {
        if (!(own[b] == own[b]) || own[b] == 0) continue;
        ++told;
        bool alike = false, telling = false;
        for (int i : {j - 1, j + 1}) {
            if (i < 0 || i >= work.columns) continue;
            const double value = work.block_excess[static_cast<std::size_t>(i) * blocks + b];
            telling = telling || value == value;
            alike = alike || (value == value && (value > 0) == (own[b] > 0) &&
                              std::fabs(value) >= kAlikeShare * std::fabs(own[b]));
        }
        shared += alike;
        beside += telling;
    }
    return told > 0 && (2 * shared >= told || (shared >= kAlikeBlocks && 2 * shared >= beside));
}

// Whether, in at least half the blocks of partial stripe j's run that
// tell something, both neighbours tell something too and are quiet: their
// roughness beyond the block's `noise` (the columns' median roughness
// there) under kQuietShare of j's block excess.
bool QuietNeighbours(const AutoWork &work, const double *noise, int j) {
    const int blocks = work.blocks;
    const double *own = work.block_excess + static_cast<std::size_t>(j) * blocks;
    int told = 0, quiet = 0;
    for (int b = work.span[2 * j]; b <= work.span[2 * j + 1]; ++b) {
        if (!(own[b] == own[b])) continue;
        ++told;
        bool both = true;
        for (int i : {j - 1, j + 1}) {
            if (i < 0 || i >= work.columns) continue;
            const double value = work.block_excess[static_cast<std::size_t>(i) * blocks + b];
            const double rough = work.block_offsets[static_cast<std::size_t>(i) * 2 * blocks + blocks + b];
            const double beyond = std::sqrt(std::max(0.0, (rough - noise[b]) * (rough + noise[b])));
            both = both && value == value && beyond < kQuietShare * std::fabs(own[b]);
        }
        quiet += both;
    }
    return told > 0 && 2 * quiet >= told;
}

// The clean columns two to `reach` away from j (`mask` marks those that
// are not), into `around`; returns their number.
int Around(const unsigned char *mask, int columns, int j, int reach, int *around) {
    int count = 0;
    for (int d = 2; d <= reach; ++d)
        for (int i : {j - d, j + d})
            if (i >= 0 && i < columns && !mask[i]) around[count++] = i;
    return count;
}

// Column j's local excess in each view: its residual against its clean
// neighbours, less the median of the same for the clean columns two to
// `reach` away (`stripes` marks those that are not clean), into `local`;
// its interpolation into `base` (both `rows`). `scratch` holds 3.5
// kLargestAutoSize doubles.
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

// The block excess's noise, in units of the typical excess over all the
// views (a block has 1 / kHoldBlocks of the views), that a stripe's block
// may depart by on top of kHoldSlack.
constexpr double kHoldNoise = 2.0;

// A run of adjacent columns found whose excesses of the first pass, with
// every neighbour in the interpolation, come to under this share of their
// excesses in the last (the run left out) is the object's curvature: an
// edge dwelling by the axis, whose residual grows as the gap across it
// widens (0.08 to 0.15 of it on the clean sinograms where that happened).
// Adjacent stripes share their excess with each other in the first pass,
// but keep at least a quarter of it (three alike: a third; 1, 2, 1: a
// quarter).
constexpr double kGrownShare = 0.2;

// Marks in work->grown the runs of two or more adjacent columns of
// work->next, not dead, whose excess grew as kGrownShare says.
void MarkGrownRuns(AutoWork *work) {
    const int columns = work->columns;
    std::fill(work->grown.get(), work->grown + columns, 0);
    for (int j = 0; j < columns;) {
        int end = j;
        while (end < columns && work->next[end] && !work->flat[end]) ++end;
        if (end - j >= 2) {
            double first = 0, last = 0;
            for (int i = j; i < end; ++i) {
                first += std::fabs(work->first_excess[i]);
                last += std::fabs(work->excess[i]);
            }
            if (first < kGrownShare * last) std::fill(work->grown + j, work->grown + end, 1);
        }
        j = end > j ? end : j + 1;
    }
}

// The largest gain a column holds as: beyond it, the column's line
// through the origin is the curvature of an edge of the object dwelling
// there (its corner at the detector's zeros fitted -70 %), not a
// detector's gain (a dead one is flat).
constexpr double kGainMost = 0.25;

// A stripe that features passing the column keep from holding in most
// blocks is still measured exactly in the blocks they leave alone: it
// holds where in kHoldExactShare of the blocks the local excess lies
// within kHoldExact of the column's excess (taken over its trusted views)
// and in none below kHoldQuiet of it (a stripe in part of the views only,
// whose mending over all of them would add it where it is not). An edge
// dwelling at the column does not repeat one value block after block.
// (Three blocks of eight: among the grains half of them left 0.78 of a
// weak gain's ring error, now 0.14; two of eight changed a clean
// sinogram by 18 % of its own error.)
constexpr double kHoldExact = 0.2;
constexpr double kHoldExactShare = 0.375;
constexpr double kHoldQuiet = 0.25;

// Whether stripe column j holds over the views (rings_auto.h); when it
// does over most blocks, its excess becomes the median of its local
// excess (by its exact blocks, it stays). `sigma` is the
// typical excess over the columns. `scratch` holds 3 `rows` doubles and 3.5
// kLargestAutoSize.
bool HoldsOverViews(const double *samples, AutoWork *work, int j, double sigma, double *scratch) {
    const int m = work->rows;
    const int blocks = std::min(kHoldBlocks, m / kBlockViews);
    if (blocks < 4) return true;
    double *local = scratch, *base = scratch + m, *t = scratch + 2 * m;
    LocalExcess(samples, work->stripes, work->columns, m, j, work->reach, false, local, base, scratch + 3 * m);
    std::copy(local, local + m, t);
    const double median = MedianOf(t, m);
    std::copy(base, base + m, t);
    const double middle = MedianOf(t, m);
    const double gain = middle > 0 ? median / middle : 0;
    const double noise = kHoldNoise * sigma * std::sqrt(static_cast<double>(blocks));
    const double own = work->excess[j];
    int offsets = 0, gains = 0, exact = 0, quiet = 0;
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, m), end = BlockStart(b + 1, blocks, m);
        std::copy(local + first, local + end, t);
        const double excess = MedianOf(t, end - first);
        std::copy(base + first, base + end, t);
        const double expected = gain * MedianOf(t, end - first);
        offsets += std::fabs(excess - median) <= kHoldSlack * std::fabs(median) + noise;
        gains += std::fabs(excess - expected) <= kHoldSlack * std::fabs(expected) + noise;
        exact += std::fabs(excess - own) <= kHoldExact * std::fabs(own);
        quiet += std::fabs(excess) <= kHoldQuiet * std::fabs(own);
    }
    if (std::fabs(gain) > kGainMost) gains = 0;
    const bool holds = std::max(offsets, gains) >= kHoldShare * blocks &&
                       std::fabs(median - own) <= kHoldAgree * std::max(std::fabs(median), std::fabs(own)) + kHoldNoise * sigma;
    if (holds) {
        work->excess[j] = median;
        work->of_offset[j] = offsets >= kHoldShare * blocks && offsets > gains;
        return true;
    }
    // Held by its own excess where the object leaves it alone: mended by
    // that excess, without a gain.
    work->of_offset[j] = exact >= kHoldExactShare * blocks && quiet == 0;
    return work->of_offset[j] != 0;
}

// A weak stripe of gain: a column that stands out of kGainCandidate of
// what a stripe must, whose local excess follows a line through the origin
// in its interpolation (the views where the interpolation is above
// kRatioViews of its largest, the column's largest above kRatioLevel of the
// level, the gain at most kRatioMost), block by block within kRatioSlack
// of the line's excess.
constexpr double kGainCandidate = 0.4;
constexpr double kRatioViews = 0.25;
constexpr double kRatioLevel = 0.1;
constexpr double kRatioMost = 0.02;
constexpr double kRatioSlack = 0.4;
// The share of the threshold a weak gain's line must pass.
constexpr double kGainThreshold = 0.5;

// Column j's residual as a share of its interpolation: the median over
// the views where the interpolation is above kRatioViews of its largest,
// not a number where that largest is below kRatioLevel of the level or
// fewer than a quarter of the views are such; and the interpolation's
// median over them (0 for none). `scratch` holds `rows` doubles.
void RelativeResidual(const double *residual, const double *near, int rows, double level, double *scratch,
                      double *relative, double *base) {
    double high = 0;
    for (int k = 0; k < rows; ++k) high = std::fmax(high, near[k]);
    int count = 0;
    for (int k = 0; k < rows; ++k)
        if (near[k] > kRatioViews * high) scratch[count++] = residual[k] / near[k];
    *relative = high > kRatioLevel * level && 4 * count >= rows ? MedianOf(scratch, count) : std::nan("");
    count = 0;
    for (int k = 0; k < rows; ++k)
        if (near[k] > kRatioViews * high) scratch[count++] = near[k];
    *base = count > 0 ? MedianOf(scratch, count) : 0;
}

// Whether a stripe found within two columns of j stands out more than j
// does: j's relative excess may then be the stripe's, interpolated from.
bool BesideStronger(const AutoWork &work, int j) {
    for (int i = std::max(0, j - 2); i <= std::min(work.columns - 1, j + 2); ++i)
        if (work.stand[i] > 1 && work.stand[i] > work.stand[j]) return true;
    return false;
}

// Whether a stripe lies within `apart` columns of j (j itself not counted).
bool NearStripe(const unsigned char *stripes, int columns, int j, int apart) {
    for (int i = std::max(0, j - apart); i <= std::min(columns - 1, j + apart); ++i)
        if (i != j && stripes[i]) return true;
    return false;
}

// Whether column j stands out most within two columns: the neighbours of
// a stripe not found stand out by interpolating from it.
bool Peak(const double *stand, int columns, int j) {
    for (int i = std::max(0, j - 2); i <= std::min(columns - 1, j + 2); ++i)
        if (stand[i] > stand[j]) return false;
    return true;
}

// Whether, of the views `used` marks, at least a quarter of all `rows`
// have column j's interpolations from the nearest and the next clean
// columns out within kPartialTrust times the level fraction: no edge of
// the object dwells at the column there.
bool TrustedInQuarter(const double *samples, const AutoWork &work, int j, const unsigned char *used) {
    const std::size_t n = static_cast<std::size_t>(work.columns);
    const double trusted = kPartialTrust * kAutoLevelFraction * work.level;
    const Neighbours e = NeighboursOf(work.stripes, work.columns, j);
    int count = 0;
    for (int k = 0; k < work.rows; ++k) {
        if (!used[k]) continue;
        const double *view = samples + n * k;
        const double near = Near(view, e, j, false);
        count += std::fabs(near - Far(view, e, j, near)) <= trusted;
    }
    return 4 * count >= work.rows;
}

// A gain on a column the object leaves in more than half the views (at
// the edge of an object off the axis) shows in fewer than half: the line
// is then held only in the blocks where the interpolation is above
// kRatioViews of its largest, at least kFewBlocks of them, each within
// kRatioSlack of the line's own excess there (a looser test, against the
// column's typical value, let the noise pass for a gain).
constexpr int kFewBlocks = 3;

// Whether column j, not found, is a weak stripe of gain: its local excess
// over the views follows a line through the origin in its interpolation
// (fitted robustly: the weighted median of the ratios, weighted by the
// interpolation squared, over the views where the interpolation is above
// kRatioViews of its largest, at least a quarter of them), that line's
// excess at the column's typical value passes `threshold`, and the line
// holds block by block (as for the holding above). Where those views are
// fewer than half, a quarter must be trusted (the outer edge of an object
// that covers the column in few views bends its interpolation as a gain
// would), and the line holds as kFewBlocks says. When it is a gain, its
// excess becomes the median of its local excess. `scratch` holds 5 `rows`
// doubles and 3.5 kLargestAutoSize.
bool GainStripe(const double *samples, AutoWork *work, int j, double sigma, double threshold, double *scratch) {
    const int m = work->rows;
    const int blocks = std::min(kHoldBlocks, m / kBlockViews);
    if (blocks < 4) return false;
    double *local = scratch, *base = scratch + m, *t = scratch + 2 * m, *w = scratch + 3 * m;
    int *order = reinterpret_cast<int *>(scratch + 4 * m);
    LocalExcess(samples, work->stripes, work->columns, m, j, work->reach, true, local, base, scratch + 5 * m);
    double high = 0;
    for (int k = 0; k < m; ++k) high = std::fmax(high, base[k]);
    if (!(high > kRatioLevel * work->level)) return false;
    int used = 0;
    for (int k = 0; k < m; ++k)
        if (base[k] > kRatioViews * high) {
            t[used] = local[k] / base[k];
            w[used] = base[k] * base[k];
            ++used;
        }
    if (4 * used < m) return false;
    const bool few = 2 * used < m;
    if (few) {
        unsigned char *marks = reinterpret_cast<unsigned char *>(order);
        for (int k = 0; k < m; ++k) marks[k] = base[k] > kRatioViews * high;
        if (!TrustedInQuarter(samples, *work, j, marks)) return false;
    }
    const double gain = WeightedMedian(t, w, used, order);
    used = 0;
    for (int k = 0; k < m; ++k)
        if (base[k] > kRatioViews * high) t[used++] = base[k];
    const double typical = MedianOf(t, used);
    if (!(std::fabs(gain) * typical > kGainThreshold * threshold) || std::fabs(gain) > kRatioMost) return false;
    const double noise = kHoldNoise * sigma * std::sqrt(static_cast<double>(blocks));
    int holding = 0, told = 0;
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, m), end = BlockStart(b + 1, blocks, m);
        int c = 0;
        for (int k = first; k < end; ++k) t[c++] = local[k];
        const double excess = MedianOf(t, c);
        c = 0;
        for (int k = first; k < end; ++k) t[c++] = base[k];
        const double middle = MedianOf(t, c), expected = gain * middle;
        if (!few) {
            holding += std::fabs(excess - expected) <= kRatioSlack * std::fabs(gain) * typical + noise;
        } else if (middle > kRatioViews * high) {
            ++told;
            holding += std::fabs(excess - expected) <= kRatioSlack * std::fabs(expected);
        }
    }
    if (few ? told < kFewBlocks || holding < kHoldShare * told : holding < kHoldShare * blocks) return false;
    std::copy(local, local + m, t);
    work->excess[j] = MedianOf(t, m);
    work->gain[j] = gain;
    work->of_gain[j] = 1;
    return true;
}

}  // namespace

bool AllocateAutoWork(int columns, int rows, int threads, AutoWork *work) {
    *work = AutoWork{};
    work->columns = columns;
    work->rows = rows;
    work->threads = threads;
    std::size_t n = static_cast<std::size_t>(columns), m = static_cast<std::size_t>(rows);
    // Per thread: a column, its interpolation, its offsets, values, weights
    // and the views' order; the neighbours' offsets; the columns' excesses
    // for the noise.
    // The partial stripes' mending: 3 rows and 3.5 kLargestAutoSize; the
    // stripes' holding and mending: up to 7 rows and as much; the step
    // stripes' block medians: kBlockColumns rows and 2 kLargestAutoSize
    // and a little (a view's residuals, the values of a median).
    work->slot = std::max(6 * m, (3 * static_cast<std::size_t>(kBlockColumns) + 3) * m) + n +
                 4 * static_cast<std::size_t>(kLargestAutoSize);
    work->blocks = std::min(kPartialBlocks, rows / kBlockViews);
    if (work->blocks < 4) work->blocks = 0;
    std::size_t b = static_cast<std::size_t>(std::max(work->blocks, 1));
    return work->block_offsets.Allocate(2 * n * b) && work->block_excess.Allocate(n * b) && work->partial.Allocate(n) &&
           work->leaked.Allocate(n) && work->span.Allocate(2 * n) &&
           work->offsets.Allocate(n) && work->excess.Allocate(n) && work->first_excess.Allocate(n) &&
           work->grown.Allocate(n) && work->spread.Allocate(n) &&
           work->flat.Allocate(n) && work->variation.Allocate(n) && work->neighbours.Allocate(n) &&
           work->dirty.Allocate(n) && work->stand.Allocate(n) && work->gain.Allocate(n) &&
           work->relative.Allocate(n) && work->relative_base.Allocate(n) && work->relative_stand.Allocate(n) &&
           work->of_gain.Allocate(n) && work->of_offset.Allocate(n) && work->stripes.Allocate(n) &&
           work->next.Allocate(n) && work->stood.Allocate(n) && work->steps.Allocate(n) &&
           work->step_level.Allocate(n) && work->scratch.Allocate(work->slot * threads);
}

int FindAutoStripes(const double *samples, int size, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int columns = work->columns, m = work->rows;
    const int reach = std::max(2, size / 2);
    Neighbours *neighbours = work->neighbours;
    std::fill(work->stripes.get(), work->stripes + n, 0);

    // The level: the median over the views of the magnitude a sixty-fourth
    // of a view's columns pass. Not the largest: a dead pixel at the dark
    // level reads line integrals ten times the object's, and every
    // threshold in its units then missed the weak stripes.
    double *largest = work->scratch, *view = work->scratch + m;
    const std::size_t rank = n / 64;
    for (int k = 0; k < m; ++k) {
        for (std::size_t j = 0; j < n; ++j) view[j] = -std::fabs(samples[n * k + j]);
        std::nth_element(view, view + rank, view + n);
        largest[k] = -view[rank];
    }
    const double level = MedianOf(largest, m);
    work->level = level;
    work->reach = reach;
    // Columns are taken kBlockColumns at a time, so that each view's cache
    // line is read once for all of them.
    const int blocks = (columns + kBlockColumns - 1) / kBlockColumns;
#pragma omp parallel for schedule(static) num_threads(work->threads)
    for (int block = 0; block < blocks; ++block) {
        double *scratch = ThreadScratch(*work);
        const int first = block * kBlockColumns, width = std::min(kBlockColumns, columns - first);
        for (int k = 0; k < m; ++k)
            for (int c = 0; c < width; ++c) scratch[static_cast<std::size_t>(c) * m + k] = samples[n * k + first + c];
        double *values = scratch + static_cast<std::size_t>(kBlockColumns) * m;
        for (int c = 0; c < width; ++c) work->variation[first + c] = Spread(scratch + static_cast<std::size_t>(c) * m, m, values);
    }

    int found = 0;
    double sigma = 0;
    for (int pass = 0; pass < kFindPasses; ++pass) {
#pragma omp parallel num_threads(work->threads)
        {
            double *scratch = ThreadScratch(*work);
#pragma omp for schedule(static)
            for (int j = 0; j < columns; ++j) {
                Neighbours e = NeighboursOf(work->stripes, columns, j);
                // The first two passes measure every column (the second is
                // the first with the cubic); later ones only those whose
                // neighbours changed.
                work->dirty[j] = pass <= 1 || !(e == neighbours[j]);
                neighbours[j] = e;
            }
#pragma omp for schedule(static)
            for (int block = 0; block < blocks; ++block) {
                const int first = block * kBlockColumns, width = std::min(kBlockColumns, columns - first);
                if (!AnyDirty(*work, first, width)) continue;
                const std::size_t stride = static_cast<std::size_t>(kBlockColumns) * m;
                double *residual = scratch, *near = scratch + stride, *doubt = scratch + 2 * stride;
                double weights[kBlockColumns][4];
                bool cubic[kBlockColumns];
                for (int c = 0; c < width; ++c) {
                    const Neighbours &e = neighbours[first + c];
                    cubic[c] = pass > 0 && e.left2 >= 0 && e.right2 >= 0;
                    if (cubic[c]) CubicWeights(e, first + c, weights[c]);
                }
                for (int k = 0; k < m; ++k) {
                    const double *view = samples + n * k;
                    for (int c = 0; c < width; ++c) {
                        const int j = first + c;
                        const std::size_t at = static_cast<std::size_t>(c) * m + k;
                        const Neighbours &e = neighbours[j];
                        near[at] = cubic[c] ? CubicFrom(view, e, weights[c]) : Near(view, e, j, false);
                        residual[at] = view[j] - near[at];
                        doubt[at] = std::fabs(near[at] - Far(view, e, j, near[at]));
                    }
                }
                for (int c = 0; c < width; ++c) {
                    const int j = first + c;
                    if (!work->dirty[j]) continue;
                    const std::size_t at = static_cast<std::size_t>(c) * m;
                    ColumnStatistics(residual + at, near + at, doubt + at, m, kAutoLevelFraction * level,
                                     scratch + 3 * stride, &work->offsets[j], &work->spread[j]);
                    // The relative residual, for weak gains: with the cubic.
                    if (pass > 0)
                        RelativeResidual(residual + at, near + at, m, level, scratch + 3 * stride, &work->relative[j],
                                         &work->relative_base[j]);
                    // The first pass measures every column against all its
                    // neighbours, as the partial stripes' first pass does:
                    // their blocks are taken here, and only the columns near
                    // a mended stripe are measured again there.
                    if (pass == 0 && work->blocks > 0)
                        BlockOffsets(residual + at, doubt + at, m, work->blocks, kAutoLevelFraction * level,
                                     scratch + 3 * stride,
                                     work->block_offsets + static_cast<std::size_t>(j) * 2 * work->blocks);
                    // A column that hardly changes over the views where its
                    // neighbours do: dead, or saturated.
                    work->flat[j] = Flat(work->variation, work->stripes, columns, j, kAutoLevelFraction * level);
                }
            }
#pragma omp for schedule(static)
            for (int j = 0; j < columns; ++j) {
                // The offsets of the clean columns around, two or more away:
                // the neighbours at one interpolate from column j itself.
                int count = 0;
                for (int d = 2; d <= reach; ++d)
                    for (int i : {j - d, j + d})
                        if (i >= 0 && i < columns && !work->stripes[i]) scratch[count++] = work->offsets[i];
                work->excess[j] = work->offsets[j] - MedianOf(scratch, count);
            }
        }
        // The typical excess, as the spread of a normal distribution of
        // that median absolute value.
        double *magnitudes = work->scratch;
        for (int j = 0; j < columns; ++j) magnitudes[j] = std::fabs(work->excess[j]);
        sigma = 1.4826 * MedianOf(magnitudes, columns);
        const double threshold = std::max(kAutoFactor * sigma, kAutoLeastFraction * level);
        // The roughness every column has: the noise.
        for (int j = 0; j < columns; ++j) magnitudes[j] = work->spread[j];
        const double noise = MedianOf(magnitudes, columns);
        for (int j = 0; j < columns; ++j) {
            // An offset is trusted where it stands out of the column's own
            // roughness too, beyond the noise: a small feature whose edges
            // sweep slowly past the column (near the axis) moves its median
            // as much.
            const double rough = std::sqrt(std::max(0.0, (work->spread[j] - noise) * (work->spread[j] + noise)));
            double least = std::max(threshold, kAutoRough * rough);
            work->stand[j] = std::fabs(work->excess[j]) / least;
            work->next[j] = work->stand[j] > 1 || work->flat[j] != 0;
        }
        // A run of more than kLongestRun columns that all stand out is the
        // object's own structure, not stripes. (In the first pass the
        // neighbours of a stripe stand out too: they interpolate from it.)
        for (int j = 0; j < columns && pass == kFindPasses - 1;) {
            int end = j;
            while (end < columns && work->next[end]) ++end;
            if (end - j > kLongestRun) {
                // Only the columns that stand out of the run itself stay,
                // measured by its lower quartile: a cluster's strong
                // members raise its median (three of six at 9 to 13
                // against 1.4 to 3.4 for the rest carried the median to 6,
                // and every one was dropped).
                for (int i = j; i < end; ++i) magnitudes[i - j] = work->stand[i];
                const int quarter = (end - j - 1) / 4;
                std::nth_element(magnitudes, magnitudes + quarter, magnitudes + (end - j), MedianBelow);
                const double typical = magnitudes[quarter];
                for (int i = j; i < end; ++i) work->next[i] = work->stand[i] > kRunFactor * typical || work->flat[i];
            }
            j = end > j ? end : j + 1;
        }
        if (pass == 0) std::copy(work->excess.get(), work->excess + n, work->first_excess.get());
        if (pass == kFindPasses - 1) MarkGrownRuns(work);
        std::copy(work->next.get(), work->next + n, work->stripes.get());
    }
    // Each column found must hold over the views (a grown run's do not);
    // the clean neighbours are those of the last pass.
#pragma omp parallel for schedule(dynamic, 1) num_threads(work->threads)
    for (int j = 0; j < columns; ++j) {
        work->next[j] = work->stripes[j];
        work->of_offset[j] = 0;
        if (work->stripes[j] && !work->flat[j])
            work->next[j] = !work->grown[j] && HoldsOverViews(samples, work, j, sigma, ThreadScratch(*work));
        work->stood[j] = work->stripes[j] && !work->flat[j];
    }
    std::copy(work->next.get(), work->next + n, work->stripes.get());
    // A weak stripe of gain has little excess where the column's value
    // changes over the views: the columns that stand out somewhat, alone
    // and most among their neighbours, are tried as gains.
    const double threshold = std::max(kAutoFactor * sigma, kAutoLeastFraction * level);
    // The relative excess: against the clean columns two or more away.
#pragma omp parallel for schedule(static) num_threads(work->threads)
    for (int j = 0; j < columns; ++j) {
        double *scratch = ThreadScratch(*work);
        int count = 0;
        for (int d = 2; d <= reach; ++d)
            for (int i : {j - d, j + d})
                if (i >= 0 && i < columns && !work->stripes[i] && work->relative[i] == work->relative[i])
                    scratch[count++] = work->relative[i];
        const double own = work->relative[j];
        // A threshold of nothing (a sinogram of zeros but a few columns)
        // makes no candidate of a share.
        work->relative_stand[j] = own == own && count > 0 && threshold > 0
                                      ? std::fabs(own - MedianOf(scratch, count)) * work->relative_base[j] / threshold
                                      : 0;
    }
#pragma omp parallel for schedule(dynamic, 1) num_threads(work->threads)
    for (int j = 0; j < columns; ++j) {
        work->next[j] = work->stripes[j];
        work->of_gain[j] = 0;
        const bool candidate = (work->stand[j] > kGainCandidate && Peak(work->stand, columns, j)) ||
                               (work->relative_stand[j] > 1 && Peak(work->relative_stand, columns, j) &&
                                !BesideStronger(*work, j));
        if (!work->stripes[j] && !work->flat[j] && candidate && !NearStripe(work->stripes, columns, j, 1))
            work->next[j] = GainStripe(samples, work, j, sigma, threshold, ThreadScratch(*work));
    }
    std::copy(work->next.get(), work->next + n, work->stripes.get());
    found = 0;
    for (int j = 0; j < columns; ++j) found += work->stripes[j];
    return found;
}

void MendAutoStripes(double *samples, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
    // The columns mended are no one's neighbours: each thread reads only
    // clean columns and writes its own.
#pragma omp parallel for schedule(dynamic, 1) num_threads(work->threads)
    for (int j = 0; j < work->columns; ++j) {
        if (!work->stripes[j]) continue;
        double *scratch = ThreadScratch(*work);
        double *column = scratch, *base = scratch + m, *offset = scratch + 2 * m, *values = scratch + 3 * m;
        double *weights = scratch + 4 * m;
        int *order = reinterpret_cast<int *>(scratch + 5 * m);
        double *local = scratch + 6 * m;
        const Neighbours e = NeighboursOf(work->stripes, work->columns, j);
        for (int k = 0; k < m; ++k) {
            column[k] = samples[n * k + j];
            base[k] = Near(samples + n * k, e, j, false);
        }
        auto replace = [&] {
            for (int k = 0; k < m; ++k) samples[n * k + j] = base[k];
        };
        if (work->flat[j]) {
            replace();
            continue;
        }
        // The offset the column does not share with its neighbours, and a
        // gain where it explains the residual's changes over the views. The
        // gain is fitted on the views where the interpolation is trusted:
        // those where it agrees best with the one from farther out.
        const double excess = work->excess[j];
        // A weak stripe of gain loses its line through the origin.
        if (work->of_gain[j]) {
            for (int k = 0; k < m; ++k) samples[n * k + j] = column[k] - work->gain[j] * base[k];
            continue;
        }
        double *doubt = offset;
        for (int k = 0; k < m; ++k)
            doubt[k] = std::fabs(base[k] - Far(samples + n * k, e, j, base[k]));
        std::copy(doubt, doubt + m, values);
        const double trusted = std::max(MedianOf(values, m), kAutoLevelFraction * work->level);
        for (int k = 0; k < m; ++k) values[k] = base[k];
        const double middle = MedianOf(values, m);
        // The gain is fitted to the local excess, which the object's
        // curvature shared with the neighbours does not bend.
        LocalExcess(samples, work->stripes, work->columns, m, j, work->reach, true, local, values, scratch + 7 * m);
        std::copy(local, local + m, values);
        const double centre = MedianOf(values, m);
        double reach = 0;
        for (int k = 0; k < m; ++k) reach = std::fmax(reach, std::fabs(base[k] - middle));
        int count = 0;
        for (int k = 0; k < m; ++k) {
            double lever = base[k] - middle;
            if (doubt[k] > trusted || std::fabs(lever) <= kGainViews * reach || lever == 0) continue;
            values[count] = (local[k] - centre) / lever;
            weights[count] = lever * lever;
            ++count;
        }
        double gain = count > 0 && !work->of_offset[j] ? WeightedMedian(values, weights, count, order) : 0;
        double before = 0, after = 0;
        for (int k = 0; k < m; ++k) {
            if (doubt[k] > trusted) continue;
            double r = local[k] - centre;
            before += std::fabs(r);
            after += std::fabs(r - gain * (base[k] - middle));
        }
        if (!(after < kGainGain * before)) gain = 0;
        if (!(1 + gain >= kDeadGain && 1 + gain <= 1 / kDeadGain)) {
            replace();
            continue;
        }
        for (int k = 0; k < m; ++k) offset[k] = excess + gain * (base[k] - middle);
        // A column still far from its interpolation once mended answers no
        // more to the object: a dead pixel that reads the dark level and
        // its noise, whose line integrals jump from view to view. It is
        // replaced, as a dead column is.
        double wild = 0;
        for (int k = 0; k < m; ++k) wild += std::fabs(column[k] - offset[k] - base[k]);
        if (wild > kWildFraction * work->level * m) {
            replace();
            continue;
        }
        for (int k = 0; k < m; ++k) samples[n * k + j] = column[k] - offset[k];
    }
}


int FindPartialStripes(const double *samples, int size, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int columns = work->columns, m = work->rows, blocks = work->blocks;
    const int reach = std::max(2, size / 2);
    const double floor = kAutoLevelFraction * work->level;
    std::fill(work->partial.get(), work->partial + n, 0);
    std::fill(work->leaked.get(), work->leaked + n, 0);
    if (blocks == 0) return 0;
    Neighbours *neighbours = work->neighbours;
    const int column_blocks = (columns + kBlockColumns - 1) / kBlockColumns;
    int found = 0;
    for (int pass = 0; pass < kAutoPasses; ++pass) {
#pragma omp parallel num_threads(work->threads)
        {
            double *scratch = ThreadScratch(*work);
#pragma omp for schedule(static)
            for (int j = 0; j < columns; ++j) {
                Neighbours e = NeighboursOf(work->partial, columns, j);
                bool mended = false;
                for (int i = std::max(0, j - 2); i <= std::min(columns - 1, j + 2); ++i) mended = mended || work->stripes[i];
                work->dirty[j] = pass == 0 ? mended : !(e == neighbours[j]);
                neighbours[j] = e;
            }
#pragma omp for schedule(static)
            for (int block = 0; block < column_blocks; ++block) {
                const int first = block * kBlockColumns, width = std::min(kBlockColumns, columns - first);
                if (!AnyDirty(*work, first, width)) continue;
                const std::size_t stride = static_cast<std::size_t>(kBlockColumns) * m;
                double *residual = scratch, *doubt = scratch + stride;
                for (int k = 0; k < m; ++k) {
                    const double *view = samples + n * k;
                    for (int c = 0; c < width; ++c) {
                        const int j = first + c;
                        const std::size_t at = static_cast<std::size_t>(c) * m + k;
                        const Neighbours &e = neighbours[j];
                        const double near = Near(view, e, j, false);
                        residual[at] = view[j] - near;
                        doubt[at] = std::fabs(near - Far(view, e, j, near));
                    }
                }
                for (int c = 0; c < width; ++c) {
                    const int j = first + c;
                    if (!work->dirty[j]) continue;
                    const std::size_t at = static_cast<std::size_t>(c) * m;
                    BlockOffsets(residual + at, doubt + at, m, blocks, floor, scratch + 2 * stride,
                                 work->block_offsets + static_cast<std::size_t>(j) * 2 * blocks);
                }
            }
#pragma omp for schedule(static)
            for (int j = 0; j < columns; ++j) {
                int *around = reinterpret_cast<int *>(scratch + kLargestAutoSize);
                const int count = Around(work->partial, columns, j, reach, around);
                for (int b = 0; b < blocks; ++b) {
                    const double own = work->block_offsets[static_cast<std::size_t>(j) * 2 * blocks + b];
                    const double rough = work->block_offsets[static_cast<std::size_t>(j) * 2 * blocks + blocks + b];
                    int known = 0;
                    for (int i = 0; i < count; ++i) {
                        const double value = work->block_offsets[static_cast<std::size_t>(around[i]) * 2 * blocks + b];
                        if (value == value) scratch[known++] = value;
                    }
                    // Not a number for a block without trusted views: it
                    // tells nothing, and a run of blocks passes over it.
                    double excess = own == own && known > 0 ? own - MedianOf(scratch, known) : std::nan("");
                    if (excess == excess && !(std::fabs(excess) > kPartialRough * rough)) excess = 0;
                    work->block_excess[static_cast<std::size_t>(j) * blocks + b] = excess;
                }
            }
        }
        // Each block's threshold from the typical excess of the columns in
        // it, as for the stripes over all the views; and its noise, the
        // columns' median roughness.
        double *magnitudes = work->scratch;
        double *least = work->scratch + n, *noise = least + blocks;
        for (int b = 0; b < blocks; ++b) {
            least[b] = BlockThreshold(*work, b, floor, magnitudes);
            // Over the columns whose block tells something: a block
            // without trusted views has no roughness.
            int told = 0;
            for (int j = 0; j < columns; ++j) {
                const double *offsets = work->block_offsets + static_cast<std::size_t>(j) * 2 * blocks;
                if (offsets[b] == offsets[b]) magnitudes[told++] = offsets[blocks + b];
            }
            noise[b] = told > 0 ? MedianOf(magnitudes, told) : 0;
        }
        found = 0;
        for (int j = 0; j < columns; ++j) {
            const double *excess = work->block_excess + static_cast<std::size_t>(j) * blocks;
            // A run of blocks that stand out with one sign, each near the
            // next (a stripe that holds or drifts); the object's structure
            // changes from block to block.
            bool partial = false;
            // Found by a run of kPartialRun or the strong short run, not
            // only by kWeakRun blocks.
            bool full = false;
            // The last two blocks that told something (a block without
            // trusted views is passed over).
            double last = 0, before = 0;
            int told = 0, high = 0, low = 0;
            int start = 0, stop = blocks - 1;
            DriftRun drift;
            // A run of blocks whose neighbours show the column's leakage.
            int leak_run = 0, leak_start = 0;
            for (int b = 0, run = 0; b < blocks; ++b) {
                const double value = excess[b];
                if (value != value) {
                    high = 0;  // a short run must hold in trusted views
                    drift = DriftRun{};
                    continue;
                }
                ExtendDrift(*work, j, b, value, last, before, told, least[b], &drift);
                const bool drifting = drift.length >= kDriftRun && drift.top > kPartialFloor && drift.peak;
                const int leakage = std::fabs(value) > least[b]
                                        ? LeakageIn(*work, j, b, value, pass > 0 && work->leaked[j])
                                        : -1;
                const bool on_track = leak_run > 0 && OnTrack(value, last, before, told);
                if (leakage > 0 && !on_track) leak_start = b;
                leak_run = leakage > 0 ? (on_track ? leak_run + 1 : 1) : (leakage == 0 && on_track ? leak_run : 0);
                const bool leaking = leak_run >= kLeakRun;
                bool out = std::fabs(value) > (work->stood[j] ? kStoodFloor : kPartialFloor) * least[b];
                // Near the last block, or on the line through the last two
                // (a drift).
                bool steady = run > 0 && (value > 0) == (last > 0) &&
                              (std::fabs(value - last) <= kSteady * std::max(std::fabs(value), std::fabs(last)) ||
                               (told > 1 && (before > 0) == (value > 0) &&
                                std::fabs(value - 2 * last + before) <= kSteady * std::fabs(value)));
                run = out ? (steady ? run + 1 : 1) : 0;
                // A shorter run of strong blocks, each far above its
                // threshold and its own roughness, with no block without
                // trusted views within it or beside it (an edge of the
                // object crossing there holds as long).
                const double rough = work->block_offsets[static_cast<std::size_t>(j) * 2 * blocks + blocks + b];
                const bool strong = std::fabs(value) > kShortFloor * least[b] && std::fabs(value) > kShortRough * rough;
                high = run == 0 ? 0 : (run == 1 ? strong : (strong ? high + 1 : 0));
                if (high == 1) low = b;
                const bool flanked = (low == 0 || excess[low - 1] == excess[low - 1]) &&
                                     (b + 1 == blocks || excess[b + 1] == excess[b + 1]);
                if (high >= kShortRun && flanked)
                    partial = full = true;
                else if (high >= 2 && flanked && !partial && std::fabs(value) > kPairFloor * least[b] &&
                         std::fabs(excess[b - 1]) > kPairFloor * least[b - 1])
                    partial = true;
                if (run == 1 && !partial) start = b;
                if (drifting && !partial) {
                    partial = true;
                    start = drift.start;
                }
                if (leaking && pass == 0) work->leaked[j] = 1;
                if (leaking && !partial) {
                    partial = full = true;
                    start = leak_start;
                }
                if (partial && run == 0 && !drifting && !leaking) break;
                if (run > 0 || drifting || leaking) stop = b;
                full = full || run >= kPartialRun;
                partial = partial || run >= kWeakRun;
                before = last;
                last = value;
                ++told;
            }
            work->next[j] = partial ? (full ? 1 : 2) : 0;
            work->span[2 * j] = start;
            work->span[2 * j + 1] = stop;
        }
        // Adjacent columns found in the last pass (but a cluster's pair),
        // or a column whose neighbours' block excesses are alike: an edge
        // of the object dwelling there. A column found by a weak run beside
        // one found by a full run is the stronger stripe's leakage, and
        // goes alone; one whose neighbours are not quiet is a feature
        // dwelling there. The findings go into work->dirty first: the
        // pairs read the pass before's in work->partial.
        for (int j = 0; j < columns; ++j) {
            const int own = work->next[j];
            auto beside = [&](int i) {
                return i >= 0 && i < columns && work->next[i] && work->next[i] <= own && !ClusterPair(*work, j, i);
            };
            bool pair = pass == kAutoPasses - 1 && own &&
                        (beside(j - 1) || beside(j + 1) || SharedWithNeighbours(*work, j) ||
                         (own == 2 && !QuietNeighbours(*work, noise, j)));
            work->dirty[j] = own && !pair;
        }
        found = 0;
        for (int j = 0; j < columns; ++j) {
            work->partial[j] = work->dirty[j];
            // Left out of its neighbours' interpolations the next time.
            work->leaked[j] = work->leaked[j] && work->partial[j];
            found += work->partial[j];
        }
    }
    return found;
}

namespace {

// Within a partial stripe's run, a block whose excess has the other sign
// than the run's median, or passes kRunOutlier times it (4 times the
// stripe among the grains), is a feature of the object passing the column
// there, its residual measured over the views without trusted
// interpolation: not the stripe. On a column mended over all the views
// too, the run measures what that mending left, which steps either way:
// there every block with an excess tells.
constexpr double kRunOutlier = 2.5;

// Marks in `tells` (work.blocks) the blocks whose excess tells partial
// stripe j: those with one, less a run's outliers as kRunOutlier says.
void BlocksThatTell(const AutoWork &work, int j, unsigned char *tells) {
    const int blocks = work.blocks, first = work.span[2 * j], last = work.span[2 * j + 1];
    const double *excess = work.block_excess + static_cast<std::size_t>(j) * blocks;
    double values[kPartialBlocks];
    int count = 0;
    for (int b = first; b <= last; ++b)
        if (excess[b] == excess[b]) values[count++] = excess[b];
    const double typical = count > 0 && !work.stripes[j] ? MedianOf(values, count) : 0;
    for (int b = 0; b < blocks; ++b) {
        const bool odd = b >= first && b <= last && typical != 0 &&
                         ((excess[b] > 0) != (typical > 0) || std::fabs(excess[b]) > kRunOutlier * std::fabs(typical));
        tells[b] = excess[b] == excess[b] && !odd;
    }
}

// Within partial stripe j's run, a block that does not tell the stripe
// (without trusted views, the object's edge crossing the column there; or
// a run's outlier) tells it no better than the edge: its running median
// `smooth` (`rows` views) becomes the line between the block excesses of
// the nearest blocks on either side that tell (at their middle views), or
// the nearer one's alone at an end.
void FillUntrusted(const AutoWork &work, int j, const unsigned char *tells, int rows, double *smooth) {
    const int blocks = work.blocks;
    const double *excess = work.block_excess + static_cast<std::size_t>(j) * blocks;
    auto told = [&](int b) { return tells[b] != 0; };
    auto middle = [&](int b) { return 0.5 * (BlockStart(b, blocks, rows) + BlockStart(b + 1, blocks, rows)); };
    for (int b = work.span[2 * j]; b <= work.span[2 * j + 1]; ++b) {
        if (told(b)) continue;
        int left = b - 1, right = b + 1;
        while (left >= 0 && !told(left)) --left;
        while (right < blocks && !told(right)) ++right;
        if (left < 0 && right >= blocks) continue;
        for (int k = BlockStart(b, blocks, rows); k < BlockStart(b + 1, blocks, rows); ++k) {
            if (left < 0) smooth[k] = excess[right];
            else if (right >= blocks) smooth[k] = excess[left];
            else
                smooth[k] = excess[left] +
                            (excess[right] - excess[left]) * ((k - middle(left)) / (middle(right) - middle(left)));
        }
    }
}

}  // namespace

namespace {

// Mends the columns `mask` marks, each over its run of blocks
// (work->span) by the running median of its local excess, bounded by its
// block excesses (work->block_excess); `mask` also keeps them out of each
// other's interpolations.
void MendRuns(double *samples, int size, const unsigned char *mask, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int columns = work->columns, m = work->rows;
    if (work->blocks == 0) return;
    const int reach = std::max(2, size / 2);
    // The running median's window: a block's length of views, odd.
    const int window = (m / work->blocks) | 1;
    // The neighbours' residuals are read from columns no thread writes:
    // the partial stripes are no one's neighbours.
#pragma omp parallel for schedule(dynamic, 1) num_threads(work->threads)
    for (int j = 0; j < columns; ++j) {
        if (!mask[j]) continue;
        double *scratch = ThreadScratch(*work);
        // Three rows, then up to size - 3 neighbours' residuals, their own
        // neighbours and their indices (3.5 kLargestAutoSize doubles).
        double *difference = scratch, *smooth = scratch + m, *slide = scratch + 2 * m, *values = scratch + 3 * m;
        Neighbours *theirs = reinterpret_cast<Neighbours *>(values + kLargestAutoSize);
        int *around = reinterpret_cast<int *>(values + 3 * kLargestAutoSize);
        const int count = Around(mask, columns, j, reach, around);
        const Neighbours e = NeighboursOf(mask, columns, j);
        for (int i = 0; i < count; ++i) theirs[i] = NeighboursOf(mask, columns, around[i]);
        for (int k = 0; k < m; ++k) {
            const double *view = samples + n * k;
            for (int i = 0; i < count; ++i) values[i] = view[around[i]] - Near(view, theirs[i], around[i], true);
            const double near = Near(view, e, j, true);
            difference[k] = view[j] - near - MedianOf(values, count);
        }
        RunningMedian(difference, m, window, slide, smooth);
        unsigned char tells[kPartialBlocks];
        BlocksThatTell(*work, j, tells);
        FillUntrusted(*work, j, tells, m, smooth);
        // Over the run of blocks found, and a block on either side (where
        // the stripe starts or stops within it), the column loses the
        // running median in full. Elsewhere the object's own structure
        // (an edge dwelling at the column, a dense feature's curvature)
        // moves it as much as a stripe the run did not reach (a drift's
        // small start): there it loses the running median only with the
        // run's sign and up to kPartialCap times the largest block excess
        // of the run that tells it.
        const int from = BlockStart(std::max(0, work->span[2 * j] - 1), work->blocks, m);
        const int to = BlockStart(std::min(work->blocks, work->span[2 * j + 1] + 2), work->blocks, m);
        const double *excess = work->block_excess + static_cast<std::size_t>(j) * work->blocks;
        double high = 0;
        for (int b = work->span[2 * j]; b <= work->span[2 * j + 1]; ++b)
            if (tells[b] && std::fabs(excess[b]) > std::fabs(high)) high = excess[b];
        // Within the run, a block that tells the stripe bounds the mending
        // in its views as the cap does outside, by its own excess: that is
        // measured over the block's trusted views, while the running median
        // takes every view, and an edge of the object crossing the column
        // in some of them moved it to three times the stripe (at the
        // head's outer edge).
        const double cap = kPartialCap * high;
        for (int k = 0, b = 0; k < m; ++k) {
            while (b + 1 < work->blocks && BlockStart(b + 1, work->blocks, m) <= k) ++b;
            double v = smooth[k];
            if (k < from || k >= to) v = cap > 0 ? std::clamp(v, 0.0, cap) : std::clamp(v, cap, 0.0);
            if (b >= work->span[2 * j] && b <= work->span[2 * j + 1] && tells[b]) {
                const double bound = kPartialCap * excess[b];
                v = std::clamp(v, std::min(0.0, bound), std::max(0.0, bound));
            }
            samples[n * k + j] -= v;
        }
    }
}

}  // namespace

void MendPartialStripes(double *samples, int size, AutoWork *work) { MendRuns(samples, size, work->partial, work); }

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

// Where a step stripe's run starts or ends within the views, the local
// excess steps between nothing and the run's level: the median of
// kStepViews views on one side within kStepBand of nothing, on the other
// within kStepBand of the level. An edge of the object dwelling at the
// column comes and goes over many views.
constexpr int kStepViews = 3;
constexpr double kStepBand = 0.3;

// Whether `local` (`rows` views) steps from nothing up to `level`
// (`rising`), or from it down to nothing, between views `from` and `to`.
bool StepsWithin(const double *local, int rows, int from, int to, double level, bool rising) {
    for (int k = std::max(from, kStepViews); k + kStepViews <= std::min(to, rows); ++k) {
        double early[kStepViews], late[kStepViews];
        std::copy(local + k - kStepViews, local + k, early);
        std::copy(local + k, local + k + kStepViews, late);
        double before = MedianOf(early, kStepViews) / level, after = MedianOf(late, kStepViews) / level;
        if (!rising) std::swap(before, after);
        if (std::fabs(before) <= kStepBand && after >= 1 - kStepBand) return true;
    }
    return false;
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
