// Stripe removal's auto method: the partial stripes, found in blocks of
// views once the stripes over all the views are mended, and mended over
// their run of blocks (rings_auto.h, Partial stripes).
#include "rings_auto.h"

#include <algorithm>
#include <cmath>

#include "median.h"
#include "rings_auto_parts.h"
#include "rings_median.h"

using namespace auto_parts;

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
// Among the object's small features (the grains) a stripe's blocks scatter
// about its line, and a run of blocks each within kSteady of the last, or
// on the line through the last two, breaks at every other block (a drift
// to 2.3 % of the level in views 116-348 of 720 read 3.1, 7.5, 8.9, 13.5
// and 16.0 times the block's threshold in blocks 3-7). So a run of
// kScatterRun blocks or more beyond the floor, of one sign, is a partial
// stripe as a full run is where kScatterShare of them lie within
// kScatterBand of the line through them (the median of the slopes between
// pairs of blocks, through the median of what each leaves), and in
// kScatterShare of them the column stands out more than either neighbour:
// a strong stripe's neighbour carries its leakage, of a like shape, as
// long (taken for a stripe, it left its neighbour's measure spoiled).
constexpr int kScatterRun = 5;
constexpr double kScatterBand = 0.25;
constexpr double kScatterShare = 0.75;

// Outside its run of blocks a partial stripe's mending is held to this
// many times the run's largest block excess.
constexpr double kPartialCap = 1.5;
// Outside its run (but for the block on either side), a partial stripe's
// mending stops at a block that tells the stripe has stopped, with no
// block further out reading the run's sign at kStopShare of its largest
// block excess: one of the other sign at that share or more, or one that
// reads nothing though its roughness would have let kStopSmooth of that
// excess show and the column stands there at kHeldBase of its level over
// the run or more (the stripe may stop within it, which is still mended).
// Past such a block the running median follows the object's edges, which
// take the run's sign as often as not (a 0.9 % stripe at the head's edge
// in views 122-234 of 360 was mended by 1.4 % in views 285-330).
constexpr double kStopShare = 0.25;
constexpr double kStopSmooth = 0.5;

// A partial stripe's neighbours, once it is left out of their
// interpolations, show nothing of it; a feature of the object that dwells
// at the column (near the axis, where its path turns back) spans the next
// columns too. A neighbour's block excess alike when of the same sign and
// at least this share of the column's.
constexpr double kAlikeShare = 0.5;

// A drift's run of blocks over one column, as kDriftRun says: its length,
// first block, whether it grows (1) or shrinks (-1), its largest block over
// that block's threshold, and whether the column stood out more than its
// neighbours in every block of it.
struct DriftRun {
    int length = 0, start = 0, trend = 0;
    double top = 0;
    bool peak = true;
};

// Whether `value` lies within kSteady of it on the line through `before`
// and `last`, the next block along it or, where blocks without trusted
// views lay between, `ahead` times the step from `before` to `last` on
// (a drift across blocks the object's edges spoil: a drift to 4.3 % read
// 8.2 and 9.6 times its threshold in two blocks and 14.1 three blocks
// on, and was missed). The next block along it stays: a drift from
// nothing, whose `before` reads nothing, starts anywhere within the blocks
// between.
bool OnLine(double value, double last, double before, double ahead) {
    return std::fabs(value - 2 * last + before) <= kSteady * std::fabs(value) ||
           std::fabs(value - last - ahead * (last - before)) <= kSteady * std::fabs(value);
}

// Whether `value` is near `last` or on the line through `before` and
// `last` (`told` blocks so far; a `before` of nothing takes either sign;
// `ahead` as OnLine says): a stripe that holds or drifts.
bool OnTrack(double value, double last, double before, int told, double ahead) {
    return (value > 0) == (last > 0) &&
           (std::fabs(value - last) <= kSteady * std::max(std::fabs(value), std::fabs(last)) ||
            (told > 1 && (before == 0 || (before > 0) == (value > 0)) && OnLine(value, last, before, ahead)));
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
// last two blocks that told something, `told` their number so far, `ahead`
// as OnLine says.
void ExtendDrift(const AutoWork &work, int j, int b, double value, double last, double before, int told,
                 double ahead, double least, DriftRun *drift) {
    if (!(std::fabs(value) > least)) {
        *drift = DriftRun{};
        return;
    }
    const int trend = std::fabs(value) > std::fabs(last) ? 1 : -1;
    const bool steady = drift->length > 0 && (drift->length < 2 || trend == drift->trend) &&
                        OnTrack(value, last, before, told, ahead);
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
// those where a neighbour tells something, is shared too. One is enough:
// a feature by the axis of an off-axis object, 300 x 1000, clean, whose
// neighbours told something in two blocks of its four and read it in one,
// was mended (0.15 of the sinogram's own error). The cost: a partial
// stripe of 4 % whose neighbours the object's features pass in two of its
// blocks is now left in part (off-axis, 300 x 1000, seed 1: 0.06 -> 0.22
// of the ring error).
constexpr int kAlikeBlocks = 1;

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

// Whether column j's blocks `at` (`count` of them, in order), whose
// excesses are `value`, are such a scattered run.
bool ScatteredRun(const AutoWork &work, int j, const int *at, const double *value, int count) {
    if (count < kScatterRun) return false;
    int peaks = 0;
    for (int a = 0; a < count; ++a) peaks += PeakInBlock(work, j, at[a]);
    if (peaks < kScatterShare * count) return false;
    double slopes[kPartialBlocks * (kPartialBlocks - 1) / 2];
    int pairs = 0;
    for (int a = 0; a < count; ++a)
        for (int b = a + 1; b < count; ++b) slopes[pairs++] = (value[b] - value[a]) / (at[b] - at[a]);
    std::nth_element(slopes, slopes + pairs / 2, slopes + pairs);
    const double slope = slopes[pairs / 2];
    double left[kPartialBlocks];
    for (int a = 0; a < count; ++a) left[a] = value[a] - slope * at[a];
    std::nth_element(left, left + count / 2, left + count);
    const double through = left[count / 2];
    int near = 0;
    for (int a = 0; a < count; ++a) {
        const double line = through + slope * at[a];
        near += (line > 0) == (value[a] > 0) && std::fabs(value[a] - line) <= kScatterBand * std::fabs(line);
    }
    return near >= kScatterShare * count;
}

}  // namespace

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
            // trusted views is passed over), and where they lie.
            double last = 0, before = 0;
            int last_at = 0, before_at = 0;
            int told = 0, high = 0, low = 0;
            int start = 0, stop = blocks - 1;
            DriftRun drift;
            // A run of blocks whose neighbours show the column's leakage.
            int leak_run = 0, leak_start = 0;
            // The blocks of a run beyond the floor, of one sign (blocks
            // without trusted views passed over).
            int scatter_at[kPartialBlocks];
            double scatter_value[kPartialBlocks];
            int scatter_count = 0;
            // Found by the scattered run alone so far, and the start of the
            // steady run: a steady run found later starts the stripe (a
            // scattered run may take in blocks of the object before it).
            bool scatter_only = false;
            int steady_start = 0;
            // A column whose neighbour the pass before found is measured
            // across a wider gap, which the object's curvature fills (a
            // feature by the axis read as a scattered run so).
            const bool widened = (j > 0 && work->partial[j - 1]) || (j + 1 < columns && work->partial[j + 1]);
            for (int b = 0, run = 0; b < blocks; ++b) {
                const double value = excess[b];
                if (value != value) {
                    high = 0;  // a short run must hold in trusted views
                    drift = DriftRun{};
                    continue;
                }
                // Both in the run: the line through them by their places.
                const double ahead = run >= 2 ? static_cast<double>(b - last_at) / (last_at - before_at) : 1.0;
                ExtendDrift(*work, j, b, value, last, before, told, ahead, least[b], &drift);
                const bool drifting = drift.length >= kDriftRun && drift.top > kPartialFloor && drift.peak;
                const int leakage = std::fabs(value) > least[b]
                                        ? LeakageIn(*work, j, b, value, pass > 0 && work->leaked[j])
                                        : -1;
                const bool on_track = leak_run > 0 && OnTrack(value, last, before, told, ahead);
                if (leakage > 0 && !on_track) leak_start = b;
                leak_run = leakage > 0 ? (on_track ? leak_run + 1 : 1) : (leakage == 0 && on_track ? leak_run : 0);
                const bool leaking = leak_run >= kLeakRun;
                bool out = std::fabs(value) > (work->stood[j] ? kStoodFloor : kPartialFloor) * least[b];
                if (!out || (scatter_count > 0 && (value > 0) != (scatter_value[0] > 0))) scatter_count = 0;
                if (out) {
                    scatter_at[scatter_count] = b;
                    scatter_value[scatter_count++] = value;
                }
                const bool scattered = !widened && ScatteredRun(*work, j, scatter_at, scatter_value, scatter_count);
                // Near the last block, or on the line through the last two
                // (a drift).
                bool steady = run > 0 && (value > 0) == (last > 0) &&
                              (std::fabs(value - last) <= kSteady * std::max(std::fabs(value), std::fabs(last)) ||
                               (told > 1 && (before > 0) == (value > 0) && OnLine(value, last, before, ahead)));
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
                if (scattered && !partial) {
                    partial = full = scatter_only = true;
                    start = scatter_at[0];
                }
                if (run == 1) steady_start = b;
                if (scatter_only && run >= kPartialRun) {
                    start = steady_start;
                    scatter_only = false;
                }
                if (partial && run == 0 && !drifting && !leaking && !scattered) break;
                if (run > 0 || drifting || leaking || scattered) stop = b;
                full = full || run >= kPartialRun;
                partial = partial || run >= kWeakRun;
                before = last;
                last = value;
                before_at = last_at;
                last_at = b;
                ++told;
            }
            work->next[j] = partial ? (full ? 1 : 2) : 0;
            work->span[2 * j] = start;
            work->span[2 * j + 1] = stop;
        }
        // Adjacent columns found in the last pass (but a cluster's pair), or
        // a column whose neighbours' block excesses are alike: an edge of the
        // object dwelling there. The edge spans both in the same views: where
        // neither was mended over all the views (whose leakage is in every
        // view), their runs must share a block. A column found by a weak run
        // beside one found by a full run is the stronger stripe's leakage,
        // and goes alone; one whose neighbours are not quiet is a feature
        // dwelling there. The findings go into work->dirty first: the pairs
        // read the pass before's in work->partial.
        for (int j = 0; j < columns; ++j) {
            const int own = work->next[j];
            auto beside = [&](int i) {
                return i >= 0 && i < columns && work->next[i] && work->next[i] <= own && !ClusterPair(*work, j, i) &&
                       (work->stripes[i] || work->stripes[j] ||
                        (work->span[2 * i] <= work->span[2 * j + 1] && work->span[2 * j] <= work->span[2 * i + 1]));
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
    // A stripe that held over the views but stops within them is a partial
    // stripe over the blocks of the views it holds in.
    for (int j = 0; j < columns; ++j) {
        if (work->cut[2 * j] < 0 || work->partial[j]) continue;
        int first = 0, last = blocks - 1;
        while (first + 1 < blocks && BlockStart(first + 1, blocks, m) <= work->cut[2 * j]) ++first;
        while (last > 0 && BlockStart(last, blocks, m) >= work->cut[2 * j + 1]) --last;
        work->partial[j] = 1;
        work->span[2 * j] = first;
        work->span[2 * j + 1] = last;
        ++found;
    }
    // Nor is a partial stripe one whose mirror about the axis reads alike.
    for (int j = 0; j < columns; ++j)
        if (work->partial[j] && AxisTwin(samples, *work, j, work->scratch)) {
            work->partial[j] = 0;
            --found;
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

// Column j's median over each block of views into `level` (work.blocks);
// `scratch` holds a block's views.
void BlockLevels(const double *samples, const AutoWork &work, int j, double *scratch, double *level) {
    const std::size_t n = static_cast<std::size_t>(work.columns);
    const int blocks = work.blocks, m = work.rows;
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, m), end = BlockStart(b + 1, blocks, m);
        for (int k = first; k < end; ++k) scratch[k - first] = samples[n * k + j];
        level[b] = MedianOf(scratch, end - first);
    }
}

// A stripe held over the views with a block reading nothing, and kept as
// it was (rings_auto.h), that the partial stripes did not find: where its
// block excess before the mending reads the stripe over a run of blocks
// and nothing in two adjacent blocks outside it where the column stays
// high, it gets its views back and becomes a partial stripe over the run.
void ReturnHeldPartial(double *samples, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows, blocks = work->blocks;
    double *values = work->scratch;
    for (int j = 0; j < work->columns; ++j) {
        if (work->kept_at[j] < 0 || work->partial[j]) continue;
        const double *kept = work->kept + static_cast<std::size_t>(work->kept_at[j]) * m;
        const double own = work->excess[j];
        double *excess = work->block_excess + static_cast<std::size_t>(j) * blocks;
        for (int k = 0; k < m; ++k) values[k] = samples[n * k + j];
        const double middle = MedianOf(values, m);
        // Each block's excess before the mending, and the column's level.
        double before[kPartialBlocks], base[kPartialBlocks];
        for (int b = 0; b < blocks; ++b) {
            const int first = BlockStart(b, blocks, m), end = BlockStart(b + 1, blocks, m);
            for (int k = first; k < end; ++k) values[k - first] = kept[k] - samples[n * k + j];
            before[b] = excess[b] + MedianOf(values, end - first);
        }
        BlockLevels(samples, *work, j, values, base);
        int low = -1, high = -1, present = 0;
        for (int b = 0; b < blocks; ++b)
            if (before[b] / own >= kHeldPresent) {
                if (low < 0) low = b;
                high = b;
                ++present;
            }
        if (present < 2) continue;
        int inside = 0, run = 0, longest = 0;
        for (int b = 0; b < blocks; ++b) {
            const bool absent = std::fabs(before[b]) <= kHeldAbsent * std::fabs(own) && base[b] >= kHeldBase * middle;
            if (b >= low && b <= high) {
                inside += absent;
                run = 0;
            } else {
                run = absent ? run + 1 : 0;
                longest = std::max(longest, run);
            }
        }
        if (inside > 0 || longest < 2) continue;
        for (int k = 0; k < m; ++k) samples[n * k + j] = kept[k];
        std::copy(before, before + blocks, excess);
        work->stripes[j] = 0;
        work->partial[j] = 1;
        work->span[2 * j] = low;
        work->span[2 * j + 1] = high;
    }
}

// The views [*below, *above) within which stripe j's mending may reach,
// as kStopShare says, from its run of blocks (work.span) and `high`, the
// run's largest block excess that tells. A column mended over all the
// views too has what that mending left on either side, and reaches all.
// `scratch` holds `rows` doubles.
void MendingBounds(const double *samples, const AutoWork &work, int j, double high, double *scratch, int *below,
                   int *above) {
    const int blocks = work.blocks, m = work.rows;
    const double *excess = work.block_excess + static_cast<std::size_t>(j) * blocks;
    const double *rough = work.block_offsets + static_cast<std::size_t>(j) * 2 * blocks + blocks;
    *below = 0;
    *above = m;
    if (high == 0 || work.stripes[j]) return;
    // The column's level in each block, against its median over the run:
    // a gain reads nothing where the object leaves the column (or is thin
    // there), and shows again where it comes back (a 10 % gain at the
    // grains' edge, in blocks 1-3 and 12-15).
    double level[kPartialBlocks];
    BlockLevels(samples, work, j, scratch, level);
    std::copy(level + work.span[2 * j], level + work.span[2 * j + 1] + 1, scratch);
    const double middle = MedianOf(scratch, work.span[2 * j + 1] - work.span[2 * j] + 1);
    auto same = [&](int b) {
        return excess[b] == excess[b] && excess[b] != 0 && (excess[b] > 0) == (high > 0) &&
               std::fabs(excess[b]) >= kStopShare * std::fabs(high);
    };
    // 1 where block b tells the stripe stopped within it (mended still), 2
    // where before it, 0 where it tells neither.
    auto stops = [&](int b) {
        const double e = excess[b];
        if (!(e == e)) return 0;
        if (e == 0)
            return kPartialRough * rough[b] <= kStopSmooth * std::fabs(high) && level[b] >= kHeldBase * middle ? 1 : 0;
        return (e > 0) != (high > 0) && std::fabs(e) >= kStopShare * std::fabs(high) ? 2 : 0;
    };
    for (int b = work.span[2 * j] - 2; b >= 0; --b) {
        const int stop = stops(b);
        if (stop == 0) continue;
        bool beyond = false;
        for (int c = b - 1; c >= 0; --c) beyond = beyond || same(c);
        if (!beyond) *below = BlockStart(stop == 1 ? b : b + 1, blocks, m);
        break;
    }
    for (int b = work.span[2 * j + 1] + 2; b < blocks; ++b) {
        const int stop = stops(b);
        if (stop == 0) continue;
        bool beyond = false;
        for (int c = b + 1; c < blocks; ++c) beyond = beyond || same(c);
        if (!beyond) *above = BlockStart(stop == 1 ? b + 1 : b, blocks, m);
        break;
    }
}

}  // namespace

namespace auto_parts {

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
        // Three rows, then LocalExcess's 3.5 kLargestAutoSize doubles; its
        // interpolations go where the running median lands after.
        double *difference = scratch, *smooth = scratch + m, *slide = scratch + 2 * m;
        LocalExcess(samples, mask, columns, m, j, reach, true, difference, smooth, scratch + 3 * m);
        RunningMedian(difference, m, window, slide, smooth);
        unsigned char tells[kPartialBlocks];
        BlocksThatTell(*work, j, tells);
        FillUntrusted(*work, j, tells, m, smooth);
        // Over the run of blocks found the column loses the running median
        // in full. Outside it the object's own structure (an edge dwelling
        // at the column, a dense feature's curvature) moves it as much as a
        // stripe the run did not reach (a drift's small start, a stripe
        // that starts or stops within the block beside the run): there it
        // loses the running median only with the run's sign and up to
        // kPartialCap times the largest block excess of the run that tells
        // it. (The block beside the run lost it in full once: by the
        // head's outer edge, which dwelt at the column in the views before
        // a stripe of -1.3 began, it gained up to 5.0 there.)
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
        int below = 0, above = m;
        MendingBounds(samples, *work, j, high, slide, &below, &above);
        for (int k = below, b = 0; k < above; ++k) {
            while (b + 1 < work->blocks && BlockStart(b + 1, work->blocks, m) <= k) ++b;
            double v = smooth[k];
            const bool within = b >= work->span[2 * j] && b <= work->span[2 * j + 1];
            if (!within) v = cap > 0 ? std::clamp(v, 0.0, cap) : std::clamp(v, cap, 0.0);
            if (within && tells[b]) {
                const double bound = kPartialCap * excess[b];
                v = std::clamp(v, std::min(0.0, bound), std::max(0.0, bound));
            }
            samples[n * k + j] -= v;
        }
    }
}

}  // namespace auto_parts

void MendPartialStripes(double *samples, int size, AutoWork *work) {
    if (work->blocks == 0) return;
    ReturnHeldPartial(samples, work);
    MendRuns(samples, size, work->partial, work);
}
