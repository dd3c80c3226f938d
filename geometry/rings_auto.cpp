// Stripe removal's auto method, its first stage: the stripes over all the
// views, found pass by pass, held over the blocks of views or fitted as
// weak gains, and mended (rings_auto.h); and the work every stage uses.
#include "rings_auto.h"

#include <algorithm>
#include <cmath>

#include "median.h"
#include "rings_auto_parts.h"
#include "rings_detect.h"
#include "threads.h"

using namespace auto_parts;

namespace {

// The least spread of a stripe column over the views, against its clean
// neighbours', below which it answers no more to the object (dead,
// saturated).
constexpr double kDeadSpread = 0.2;

// Whether column j hardly changes over the views (its mean deviation
// `variation[j]`) while its nearest clean neighbours on both sides do, by
// more than `floor`. A nearest neighbour that changes by no more than
// `floor` itself gives way to the next one out: of two adjacent dead
// columns each has the other beside it, and neither was ever taken (a
// pair where the object is, left whole: 0.45 of the ring error).
bool Flat(const double *variation, const unsigned char *stripes, int columns, int j, double floor) {
    int left = Clean(stripes, columns, j, -1), right = Clean(stripes, columns, j, 1);
    if (left < 0 || right < 0) return false;
    if (variation[left] <= floor && left > 0 && !stripes[left - 1]) --left;
    if (variation[right] <= floor && right + 1 < columns && !stripes[right + 1]) ++right;
    double around = std::min(variation[left], variation[right]);
    return around > floor && variation[j] < kDeadSpread * around;
}

}  // namespace

// The statistics of one column: its residual's median over the views
// where the interpolation is trusted (the half where it agrees best with the
// one from farther out, or where the two differ by less than `floor`: an
// edge of the object that dwells at the column in many views is left out),
// and the residual's median deviation about a gain (the medians of the
// residual where the interpolation is low and where it is high give the
// gain, as for a stripe of gain). `scratch` holds 3 `rows` doubles.
void auto_parts::ColumnStatistics(const double *residual, const double *near, const double *doubt, int rows,
                                  double floor, double *scratch, double *offset, double *spread) {
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

namespace {

// The mean distance from its interpolation, in units of the level, beyond
// which a mended column is replaced.
constexpr double kWildFraction = 0.1;

// Views whose interpolation is below this fraction of the column's largest
// do not enter the gain: a ratio of small numbers.
constexpr double kGainViews = 0.25;

// A gain is fitted only where it takes this much off the residual's spread.
constexpr double kGainGain = 0.8;

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

// A stripe that holds may stop within the views (rings_auto.h, Holding):
// its blocks beyond the stop read under kHoldQuiet of its median, one of
// them where the interpolation is at least kTailBase of its median (in
// air a gain reads nothing too), and kTailShare of the views beyond the
// step read nothing and of a sixteenth of the views before it the median,
// each within kStepBand: a feature of the object passing the column cuts
// the median in a block for a few views, and a drift comes slowly.
constexpr double kTailBase = 0.5;
constexpr double kTailShare = 0.6;

// What a block of a held stripe's views tells of where it stops.
enum class TailBlock { kTells, kQuiet, kAir };

// The view where a held stripe of median local excess `median` stops
// (`rising`: starts) within `local` (`rows` views), its `blocks` blocks
// read as `state` says: the tail of blocks at the end (at the start) that
// read nothing must hold one quiet where the object is, and the step must
// fall within the block before it or its first. -1 for none.
int TailStep(const double *local, int rows, const TailBlock *state, int blocks, double median, bool rising) {
    int t = rising ? 0 : blocks;
    bool inside = false;
    if (rising)
        for (; t < blocks && state[t] != TailBlock::kTells; ++t) inside = inside || state[t] == TailBlock::kQuiet;
    else
        for (; t > 0 && state[t - 1] != TailBlock::kTells; --t) inside = inside || state[t - 1] == TailBlock::kQuiet;
    if (!inside || t == 0 || t == blocks) return -1;
    const int from = BlockStart(t - 1, blocks, rows), to = BlockStart(t + 1, blocks, rows);
    const int beside = rows / 16;
    for (int k = std::max(from, kStepViews); k + kStepViews <= std::min(to, rows); ++k) {
        if (!StepsAt(local, k, median, rising)) continue;
        const int low = rising ? 0 : k, high = rising ? k : rows;
        const int first = rising ? k : std::max(0, k - beside), end = rising ? std::min(rows, k + beside) : k;
        int quiet = 0, held = 0;
        for (int i = low; i < high; ++i) quiet += std::fabs(local[i]) <= kStepBand * std::fabs(median);
        for (int i = first; i < end; ++i) held += std::fabs(local[i] - median) <= kStepBand * std::fabs(median);
        if (quiet >= kTailShare * (high - low) && held >= kTailShare * (end - first)) return k;
    }
    return -1;
}

// The blocks of views the holding cuts `rows` views into: kHoldBlocks of
// at least kBlockViews views (under 4, the holding is skipped).
int HoldBlocks(int rows) { return std::min(kHoldBlocks, rows / kBlockViews); }

// The median of values[first, end) (`t` holds end - first doubles).
double RangeMedian(const double *values, int first, int end, double *t) {
    std::copy(values + first, values + end, t);
    return MedianOf(t, end - first);
}

// How the holding measures a column: its local excess from the straight
// line or the cubic, against its excess; or from the straight line against
// its first pass's excess, in every block.
enum class HoldBy { kLine, kCubic, kFirst };

// Whether stripe column j holds over the views (rings_auto.h), measured
// `by` as HoldBy says, against the columns not marked in `stripes`; when it
// does over most blocks, its excess becomes the median of its local excess
// (by its exact blocks, it stays). `sigma` is the typical excess over the
// columns. `scratch` holds 3 `rows` doubles and 3.5 kLargestAutoSize.
bool HoldsBy(const double *samples, AutoWork *work, int j, double sigma, HoldBy by, const unsigned char *stripes,
             double *scratch) {
    const int m = work->rows;
    const int blocks = HoldBlocks(m);
    if (blocks < 4) return true;
    double *local = scratch, *base = scratch + m, *t = scratch + 2 * m;
    LocalExcess(samples, stripes, work->columns, m, j, work->reach, by == HoldBy::kCubic, local, base, scratch + 3 * m);
    std::copy(local, local + m, t);
    const double median = MedianOf(t, m);
    std::copy(base, base + m, t);
    const double middle = MedianOf(t, m);
    const double gain = middle > 0 ? median / middle : 0;
    const double noise = kHoldNoise * sigma * std::sqrt(static_cast<double>(blocks));
    const double own = by == HoldBy::kFirst ? work->first_excess[j] : work->excess[j];
    work->doubt[j] = 0;
    int offsets = 0, gains = 0, exact = 0, quiet = 0;
    TailBlock state[kHoldBlocks];
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, m), end = BlockStart(b + 1, blocks, m);
        const double excess = RangeMedian(local, first, end, t);
        const double inside = RangeMedian(base, first, end, t);
        const double expected = gain * inside;
        state[b] = !(std::fabs(excess) <= kHoldQuiet * std::fabs(median)) ? TailBlock::kTells
                   : inside >= kTailBase * middle                        ? TailBlock::kQuiet
                                                                         : TailBlock::kAir;
        offsets += std::fabs(excess - median) <= kHoldSlack * std::fabs(median) + noise;
        gains += std::fabs(excess - expected) <= kHoldSlack * std::fabs(expected) + noise;
        exact += std::fabs(excess - own) <= kHoldExact * std::fabs(own);
        quiet += std::fabs(excess) <= kHoldQuiet * std::fabs(own);
    }
    if (std::fabs(gain) > kGainMost) gains = 0;
    const double share = by == HoldBy::kFirst ? 1.0 : kHoldShare;
    const bool holds = std::max(offsets, gains) >= share * blocks &&
                       std::fabs(median - own) <= kHoldAgree * std::max(std::fabs(median), std::fabs(own)) + kHoldNoise * sigma;
    if (holds) {
        // One that stops within the views goes to the partial stripes,
        // with the views it holds in.
        const int stop = TailStep(local, m, state, blocks, median, false);
        const int start = stop < 0 ? TailStep(local, m, state, blocks, median, true) : -1;
        if (stop >= 0 || start >= 0) {
            work->cut[2 * j] = stop >= 0 ? 0 : start;
            work->cut[2 * j + 1] = stop >= 0 ? stop : m;
            return false;
        }
        work->excess[j] = median;
        work->of_offset[j] = offsets >= kHoldShare * blocks && offsets > gains;
        // A block that reads nothing where the object is: the stripe may
        // be in part of the views only (rings_auto.h), which the partial
        // stripes' blocks tell.
        bool absent = false;
        for (int b = 0; b < blocks; ++b) absent = absent || state[b] == TailBlock::kQuiet;
        work->doubt[j] = absent && std::fabs(median) > kHoldNoise * noise;
        return true;
    }
    // Held by its own excess where the object leaves it alone: mended by
    // that excess, without a gain.
    work->of_offset[j] = exact >= kHoldExactShare * blocks && quiet == 0;
    return work->of_offset[j] != 0;
}

// The columns either side of a stripe the holding's second looks read.
constexpr int kCubicApart = 2;

// Whether column j may be measured against its first pass's excess: no
// column within kCubicApart reads more there (an edge of the object, or a
// stronger stripe whose leakage j carries), and the median of its local
// excess by the cubic agrees with it within kHoldAgree (the straight
// line's first pass reads the object's curvature too, the cubic does
// not). `scratch` as for HoldsBy.
bool FirstAgrees(const double *samples, const AutoWork &work, int j, const unsigned char *stripes, double *scratch) {
    const double first = work.first_excess[j];
    for (int i = std::max(0, j - kCubicApart); i <= std::min(work.columns - 1, j + kCubicApart); ++i)
        if (std::fabs(work.first_excess[i]) > std::fabs(first)) return false;
    const int m = work.rows;
    double *local = scratch, *base = scratch + m;
    LocalExcess(samples, stripes, work.columns, m, j, work.reach, true, local, base, scratch + 3 * m);
    const double median = MedianOf(local, m);
    return std::fabs(median - first) <= kHoldAgree * std::max(std::fabs(median), std::fabs(first));
}

// Whether stripe column j holds over the views: by the straight line; or,
// with no other stripe and none of larger excess within kCubicApart
// columns (it may be a stronger one's leakage), by the cubic; or, where
// its first pass's excess agrees (FirstAgrees), against that in every
// block (rings_auto.h, Holding). The columns within kCubicApart of j are
// no stripes where the cubic is tried, whose excess the holding of others
// leaves as it is. Measured against the columns not marked in `stripes`.
bool HoldsOverViews(const double *samples, AutoWork *work, int j, double sigma, const unsigned char *stripes,
                    double *scratch) {
    if (HoldsBy(samples, work, j, sigma, HoldBy::kLine, stripes, scratch)) return true;
    if (work->cut[2 * j] >= 0) return false;
    bool alone = !NearStripe(stripes, work->columns, j, kCubicApart);
    for (int i = std::max(0, j - kCubicApart); alone && i <= std::min(work->columns - 1, j + kCubicApart); ++i)
        alone = std::fabs(work->excess[i]) <= std::fabs(work->excess[j]);
    if ((alone || work->resolved[j]) && HoldsBy(samples, work, j, sigma, HoldBy::kCubic, stripes, scratch)) return true;
    if (work->cut[2 * j] >= 0 || !FirstAgrees(samples, *work, j, stripes, scratch)) return false;
    return HoldsBy(samples, work, j, sigma, HoldBy::kFirst, stripes, scratch);
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
// A larger gain, up to kRatioLarge (a column reading half its neighbours'
// is all but dead), is taken here too where the offsets cannot see it (see
// GainStripe).
constexpr double kRatioLarge = 0.5;
constexpr double kLargeSpan = 0.5;
constexpr double kLargeLeak = 0.75;
constexpr double kRatioSlack = 0.4;
// Or where kHoldExactShare of the blocks (three of eight) lie within
// kRatioExact of that slack of the line: without noise a gain's blocks
// meet its line to two or three digits where the object leaves the column
// alone, and among the grains or the head's features passing the column
// spoil the rest (weak gains, grains, 300 x 1000, seed 2: 0.20 of the ring
// error left when six blocks of eight had to hold, 0.07 with half of them
// exact; off-axis, 256 x 360, seed 55: 0.28 with half, 0.01 with three).
constexpr double kRatioExact = 0.1;
// The share of the threshold a weak gain's line must pass.
constexpr double kGainThreshold = 0.5;
// A block's own gain replaces the line's where the blocks depart from it
// by under this share of what they depart from the line's (each block's
// departure counted up to the holding's slack).
constexpr double kConsensusShare = 0.85;
// The same for a held stripe's mending: a block's own gain or offset
// replaces the fit where the blocks depart from it by under this share of
// what they depart from the fit's.
constexpr double kHeldConsensusShare = 0.75;

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

// The gain most blocks agree on. The weighted median of the ratios leans
// on the views where the interpolation is highest; where a feature
// dwelling there spoils its residual in those views, it leans the wrong
// way (a gain of 0.32 % fitted 0.85 %: its two thickest blocks read 0.64
// and 2.3 %, the other three 0.31 to 0.32 %). So each block's own ratio
// (its medians over the views where the interpolation is above kRatioViews
// of `high`, a quarter of its views or more) is tried too: the gain whose
// blocks depart from it least, each by at most `slack`, wins, a block's
// gain by kConsensusShare. `t` holds `rows` doubles.
double BlockConsensus(const double *local, const double *base, int rows, int blocks, double high, double gain,
                      double slack, double *t) {
    double excess[kHoldBlocks], middle[kHoldBlocks];
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, rows), end = BlockStart(b + 1, blocks, rows);
        int c = 0;
        for (int k = first; k < end; ++k)
            if (base[k] > kRatioViews * high) t[c++] = local[k];
        middle[b] = 0;
        if (4 * c < end - first) continue;
        excess[b] = MedianOf(t, c);
        c = 0;
        for (int k = first; k < end; ++k)
            if (base[k] > kRatioViews * high) t[c++] = base[k];
        middle[b] = MedianOf(t, c);
    }
    auto departure = [&](double g) {
        double sum = 0;
        for (int b = 0; b < blocks; ++b)
            if (middle[b] > 0) sum += std::min(std::fabs(excess[b] - g * middle[b]), slack);
        return sum;
    };
    double chosen = gain, least = kConsensusShare * departure(gain);
    for (int b = 0; b < blocks; ++b) {
        if (!(middle[b] > 0)) continue;
        const double g = excess[b] / middle[b], d = departure(g);
        if (d < least) {
            least = d;
            chosen = g;
        }
    }
    return chosen;
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
// holds block by block (as for the holding above; or exactly in three
// blocks of eight, kRatioExact). Where those views are
// fewer than half, a quarter must be trusted (the outer edge of an object
// that covers the column in few views bends its interpolation as a gain
// would), and the line holds as kFewBlocks says. When it is a gain, its
// excess becomes the median of its local excess. `scratch` holds 5 `rows`
// doubles and 3.5 kLargestAutoSize.
bool GainStripe(const double *samples, AutoWork *work, int j, double sigma, double threshold, double *scratch) {
    const int m = work->rows;
    const int blocks = HoldBlocks(m);
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
    if (!(std::fabs(gain) * typical > kGainThreshold * threshold) || std::fabs(gain) > kRatioLarge) return false;
    // A gain above kRatioMost that reaches here was missed by the offsets: it
    // shows only in the views where the object covers the column, and where
    // those are about half (by the outer edge of an object off the axis) or
    // untrusted (among grains), the column's median over the views hardly moves
    // (strong gains, grains, 400 x 400, seed 1: a gain of up to 4 % of the
    // level at column 69, which the object covers in 227 of 400 views, was left
    // at 0.47 % RMS by the offsets alone, at 0.05 % by this). No neighbour of
    // such a column may have read more than kLargeLeak of its excess in the
    // first pass: the neighbour of a stripe not found interpolates from it and
    // reads half its excess, of the other sign, as a gain (a clean column was
    // mended by 1.1 % of the level so; among grains, one whose neighbour read
    // 0.84 of its excess). Its line must hold in every block, and the blocks'
    // interpolations must span from kLargeSpan of their highest or less: where
    // the column's value hardly changes, a gain is an offset, and the offsets'
    // verdict stands (weak offsets, a disk on the axis, seed 6, noisy: the
    // first columns within its edge, which bends their interpolation alike in
    // every view, were taken as gains, and the ring error left rose from 0.54
    // to 1.57 of the stripes').
    const bool large = std::fabs(gain) > kRatioMost;
    for (int i : {j - 1, j + 1})
        if (large && i >= 0 && i < work->columns &&
            std::fabs(work->first_excess[i]) > kLargeLeak * std::fabs(work->first_excess[j]))
            return false;
    const double noise = kHoldNoise * sigma * std::sqrt(static_cast<double>(blocks));
    const double slack = kRatioSlack * std::fabs(gain) * typical + noise;
    int holding = 0, exact = 0, told = 0;
    double lowest = HUGE_VAL, highest = 0;
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, m), end = BlockStart(b + 1, blocks, m);
        const double excess = RangeMedian(local, first, end, t);
        const double middle = RangeMedian(base, first, end, t), expected = gain * middle;
        lowest = std::fmin(lowest, middle);
        highest = std::fmax(highest, middle);
        if (!few) {
            holding += std::fabs(excess - expected) <= slack;
            exact += std::fabs(excess - expected) <= kRatioExact * slack;
        } else if (middle > kRatioViews * high) {
            ++told;
            holding += std::fabs(excess - expected) <= kRatioSlack * std::fabs(expected);
        }
    }
    if (few ? told < kFewBlocks || holding < kHoldShare * told
            : holding < kHoldShare * blocks && exact < kHoldExactShare * blocks)
        return false;
    if (large && (holding < (few ? told : blocks) || !(lowest <= kLargeSpan * highest))) return false;
    work->gain[j] = BlockConsensus(local, base, m, blocks, high, gain, slack, t);
    std::copy(local, local + m, t);
    work->excess[j] = MedianOf(t, m);
    work->of_gain[j] = 1;
    return true;
}

// A held stripe's mending, checked against the blocks of views. The fit
// over all the views (the excess, and a gain where one explains the local
// excess's changes) can miss what every block agrees on: a gain of 0.24 %
// of the column by the head's axis held as an offset (its blocks moved by
// less than the slack) and was mended as one, though its blocks read the
// gain to two digits, -0.23 to -0.26 %. So each block's own gain (its local
// excess over its interpolation's median) and its own offset are tried
// too, where they agree with the excess within kHoldAgree over all the
// views: the one whose blocks depart from it least, each block counted up
// to `slack`, replaces the fit where that comes to under
// kHeldConsensusShare of the fit's. `offset` (`rows`) is the fit, replaced
// in place; `t` holds `rows` doubles.
void HeldConsensus(const double *local, const double *base, int rows, double excess, double middle, double slack,
                   double *offset, double *t) {
    const int blocks = HoldBlocks(rows);
    if (blocks < 4) return;
    double excesses[kHoldBlocks], fitted[kHoldBlocks], bases[kHoldBlocks];
    for (int b = 0; b < blocks; ++b) {
        const int first = BlockStart(b, blocks, rows), end = BlockStart(b + 1, blocks, rows);
        excesses[b] = RangeMedian(local, first, end, t);
        bases[b] = RangeMedian(base, first, end, t);
        fitted[b] = RangeMedian(offset, first, end, t);
    }
    // The departure of the blocks from the fit (gain 0, offset 0), from a
    // line through the origin (`gain`) or from an offset alone.
    auto departure = [&](bool fit, double gain, double constant) {
        double sum = 0;
        for (int b = 0; b < blocks; ++b) {
            const double expected = fit ? fitted[b] : gain * bases[b] + constant;
            sum += std::min(std::fabs(excesses[b] - expected), slack);
        }
        return sum;
    };
    const double agree = kHoldAgree * std::fabs(excess);
    double least = kHeldConsensusShare * departure(true, 0, 0), gain = 0, constant = 0;
    bool fit = true;
    for (int b = 0; b < blocks; ++b) {
        if (bases[b] > 0 && std::fabs(excesses[b] / bases[b] * middle - excess) <= agree) {
            const double d = departure(false, excesses[b] / bases[b], 0);
            if (d < least) {
                least = d;
                fit = false;
                gain = excesses[b] / bases[b];
                constant = 0;
            }
        }
        if (std::fabs(excesses[b] - excess) <= agree) {
            const double d = departure(false, 0, excesses[b]);
            if (d < least) {
                least = d;
                fit = false;
                gain = 0;
                constant = excesses[b];
            }
        }
    }
    if (!fit)
        for (int k = 0; k < rows; ++k) offset[k] = gain * base[k] + constant;
}

// A stripe the passes leave unfound (its roughness over the views hid it:
// a partial stripe, or one by the axis among the object's features) leaks
// into both its neighbours at half its excess with the other sign, and the
// stronger of them is found in its place (weak gains, head, seed 11: a
// -0.15 % stripe at column 112 left, column 111 mended by +0.07 %). Where,
// in the first pass's excess, found column j's neighbour i reads the other
// sign and fits a stripe's shape better (its excess less the mean of its
// neighbours'), i's other neighbour reads j's sign within kLeakEven of j's
// size, j's other neighbour reads nothing (under kLeakAlone of j) or j's
// sign (a pair of stripes on either side of i leaks into it), and no other
// stripe within two columns of i reads kLeakEven of j or more there, i is
// the stripe: returns it (-1 for none). i's other neighbour, found as well,
// is no such stripe where the columns beyond it and beyond j both read
// under kTwinAlone of their neighbour or its sign: a lone stripe leaks into
// both neighbours, and a pair of stripes about i leaks beyond each, at half
// its size (mixed, off-axis, seed 35: columns 150 and 152 found at -0.35
// and -0.33 about a +0.62 stripe at 151, which was left). Where the five
// columns fit a lone stripe at i far better than that pair
// (LoneFitsBetter), j's other neighbour may read anything, and i's other
// neighbour is its leakage.
constexpr double kLeakEven = 0.5;
constexpr double kLeakAlone = 0.25;
constexpr double kTwinAlone = 0.125;

// Where j's other neighbour reads the other sign (as a pair of stripes
// about i leaks into it) but a feature of the object put it there, the five
// columns still fit a lone stripe at i far better than the pair: by under
// kLoneShare of the pair's squared departures (a drift to 3.5 % of the
// level, its neighbour mended in its place: 0.66 of the ring error left).
constexpr double kLoneShare = 0.5;

// Whether the first pass's excesses of the five columns from j's other
// neighbour to the column beyond i's other neighbour fit a lone stripe at i
// (reading s there, -s/2 at j and the column beyond, nothing further out)
// as kLoneShare says, against a pair of stripes a at j and b beyond i (each
// read as itself, leaking -1/2 of itself into both neighbours). Each is
// the least-squares fit: s from its three nonzero readings, a and b from
// the normal equations of the five.
bool LoneFitsBetter(const double *first, int columns, int j, int i) {
    const int step = i - j;
    double f[5];
    for (int q = 0; q < 5; ++q) {
        const int c = j + (q - 1) * step;
        if (c < 0 || c >= columns) return false;
        f[q] = first[c];
    }
    const double s = (f[2] - (f[1] + f[3]) / 2) / 1.5;
    const double lone[5] = {0, -s / 2, s, -s / 2, 0};
    const double u = -f[0] / 2 + f[1] - f[2] / 2, v = -f[2] / 2 + f[3] - f[4] / 2;
    const double det = 1.5 * 1.5 - 0.25 * 0.25;
    const double a = (1.5 * u - 0.25 * v) / det, b = (1.5 * v - 0.25 * u) / det;
    const double pair[5] = {-a / 2, a, -(a + b) / 2, b, -b / 2};
    double e_lone = 0, e_pair = 0;
    for (int q = 0; q < 5; ++q) {
        e_lone += (f[q] - lone[q]) * (f[q] - lone[q]);
        e_pair += (f[q] - pair[q]) * (f[q] - pair[q]);
    }
    return e_lone < kLoneShare * e_pair;
}

int LeakingNeighbour(const AutoWork &work, int j) {
    const int columns = work.columns;
    const double *first = work.first_excess;
    auto shape = [&](int c) {
        const double left = c > 0 ? first[c - 1] : 0, right = c + 1 < columns ? first[c + 1] : 0;
        return first[c] - (left + right) / 2;
    };
    for (int i : {j - 1, j + 1}) {
        const int beyond = 2 * i - j, behind = 2 * j - i;
        if (beyond < 0 || beyond >= columns || work.stripes[i] || work.flat[i]) continue;
        const bool sign = first[j] > 0;
        if ((first[i] > 0) == sign || (first[beyond] > 0) != sign) continue;
        const double near = std::fabs(first[j]), far = std::fabs(first[beyond]);
        if (std::min(near, far) < kLeakEven * std::max(near, far)) continue;
        // Column q reads j's sign, or the other under `least` (or lies
        // outside the sinogram).
        auto quiet = [&](int q, double least) {
            return q < 0 || q >= columns || (first[q] > 0) == sign || std::fabs(first[q]) < least;
        };
        if (!(std::fabs(shape(i)) > std::fabs(shape(j)))) continue;
        const bool lone = LoneFitsBetter(first, columns, j, i);
        if (!quiet(behind, kLeakAlone * near) && !lone) continue;
        const bool twin = quiet(behind, kTwinAlone * near) && quiet(2 * beyond - i, kTwinAlone * far);
        bool alone = true;
        for (int q = std::max(0, i - 2); q <= std::min(columns - 1, i + 2); ++q)
            alone = alone && (q == j || (q == beyond && (twin || lone)) || !work.stripes[q] ||
                              std::fabs(first[q]) < kLeakEven * near);
        if (alone) return i;
    }
    return -1;
}

// Column c's relative excess less the mean of its neighbours' (not a
// number at the detector's ends, or where one has none).
double RelativeShape(const AutoWork &work, int c) {
    if (c == 0 || c + 1 == work.columns) return std::nan("");
    const double *r = work.relative;
    return r[c] - (r[c - 1] + r[c + 1]) / 2;
}

// A weak stripe's neighbours interpolate from it and read its relative
// excess with the other sign; under noise the stronger of them may stand
// out most, and was tried as a gain in the stripe's place (weak gains,
// head, seed 16: column 135 mended where the -0.11 stripe lay at 134, 0.62
// of the ring error left). Returns the neighbour i of j whose leakage j
// is (-1 for none): i's relative excess has the other sign, stands out
// beyond kGainCandidate, reads more than j's (a leakage reads less than
// its stripe) and a stripe's shape more than j's (its excess less the mean
// of its neighbours'), and the column beyond i reads j's sign within
// kLeakEven of j's size (a lone stripe leaks into both neighbours alike;
// an edge of the object beyond reads far more).
int ShapeNeighbour(const AutoWork &work, int j) {
    const double *r = work.relative;
    int found = -1;
    double most = std::fabs(RelativeShape(work, j));
    for (int i : {j - 1, j + 1}) {
        const int beyond = 2 * i - j;
        if (beyond < 0 || beyond >= work.columns || !((r[i] > 0) != (r[j] > 0)) || !((r[beyond] > 0) == (r[j] > 0)) ||
            !(work.relative_stand[i] > kGainCandidate))
            continue;
        const double near = std::fabs(r[j]), far = std::fabs(r[beyond]);
        if (!(std::fabs(r[i]) > near) || std::min(near, far) < kLeakEven * std::max(near, far)) continue;
        const double shape = std::fabs(RelativeShape(work, i));
        if (shape > most) {
            most = shape;
            found = i;
        }
    }
    return found;
}

// Whether column j read a lone stripe's shape in the first pass: the
// largest excess within two columns, both neighbours of the other sign at
// kLeakAlone of it or more (its leakage), and beyond what a stripe must
// stand out of in the last pass.
bool FirstPassStripe(const AutoWork &work, int j) {
    if (j == 0 || j + 1 == work.columns || !(work.stand[j] > 0)) return false;
    const double *first = work.first_excess;
    const double own = std::fabs(first[j]);
    if (!(own > std::fabs(work.excess[j]) / work.stand[j])) return false;
    for (int q = std::max(0, j - 2); q <= std::min(work.columns - 1, j + 2); ++q)
        if (q != j && !(std::fabs(first[q]) < own)) return false;
    for (int q : {j - 1, j + 1})
        if ((first[q] > 0) == (first[j] > 0) || !(std::fabs(first[q]) >= kLeakAlone * own)) return false;
    return true;
}

// Whether j's first pass read its two neighbours' leakage: both found,
// their excess as the holding measured it (with j among their clean
// neighbours) of the other sign, and half their sum kLeakExplained of j's
// first excess or more. A lone stripe's neighbours, found with it, read
// half of it there, and leak half of it back; two stripes about a clean
// column, each read as itself, leak it all (edge, grains, 512 x 720, seed
// 60, noisy: a clean column between -6.0 and -3.8 held, and they were
// dropped as its leakage, 0.63 of the ring error left).
constexpr double kLeakExplained = 0.75;
bool NeighboursLeakInto(const AutoWork &work, int j) {
    if (!work.stripes[j - 1] || !work.stripes[j + 1]) return false;
    const double leak = -0.5 * (work.excess[j - 1] + work.excess[j + 1]), own = work.first_excess[j];
    return (leak > 0) == (own > 0) && std::fabs(leak) >= kLeakExplained * std::fabs(own);
}

// Whether the columns two away from j read under kLeakAlone of its first
// pass's excess there (FirstPassStripe has j away from the edges).
bool QuietTwoAway(const AutoWork &work, int j) {
    const double own = std::fabs(work.first_excess[j]);
    for (int q : {j - 2, j + 2})
        if (q >= 0 && q < work.columns && !(std::fabs(work.first_excess[q]) < kLeakAlone * own)) return false;
    return true;
}

}  // namespace

// Whether column j and the two columns beside it on one side read
// nothing over the views (their median and mean deviation within `floor`):
// j lies outside the object, by its edge. The edge of an object centred on
// the axis lies at one column in every view, and the straight line across
// it from the object's side leaves the column outside an excess of half
// the first column within, in every view, as a stripe would (a disk on
// the axis, clean, was changed by 7 % of the level there, and its ring
// error was 8 to 50 times the stripes'). A stripe there reads something.
bool auto_parts::OutsideObject(const AutoWork &work, int j, double floor) {
    auto nothing = [&](int i) { return std::fabs(work.reading[i]) <= floor && work.variation[i] <= floor; };
    if (!nothing(j)) return false;
    return (j >= 2 && nothing(j - 1) && nothing(j - 2)) || (j + 2 < work.columns && nothing(j + 1) && nothing(j + 2));
}

namespace {

// No pair kept until KeepConcentric has looked.
bool FillTwins(AutoWork *work) {
    std::fill(work->twin_at.get(), work->twin_at + work->columns, -1);
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
    // and a little (a view's residuals, the values of a median). The last
    // `columns` doubles, past all the holding uses, hold a column mask.
    work->slot = std::max(6 * m, (3 * static_cast<std::size_t>(kBlockColumns) + 3) * m) + n +
                 4 * static_cast<std::size_t>(kLargestAutoSize);
    work->blocks = std::min(kPartialBlocks, rows / kBlockViews);
    if (work->blocks < 4) work->blocks = 0;
    std::size_t b = static_cast<std::size_t>(std::max(work->blocks, 1));
    return work->block_offsets.Allocate(2 * n * b) && work->block_excess.Allocate(n * b) && work->partial.Allocate(n) &&
           work->leaked.Allocate(n) && work->span.Allocate(2 * n) && work->cut.Allocate(2 * n) &&
           work->offsets.Allocate(n) && work->excess.Allocate(n) && work->first_excess.Allocate(n) &&
           work->grown.Allocate(n) && work->first_found.Allocate(n) && work->resolved.Allocate(n) &&
           work->spread.Allocate(n) &&
           work->flat.Allocate(n) && work->variation.Allocate(n) && work->reading.Allocate(n) &&
           work->quartile.Allocate(n) &&
           work->neighbours.Allocate(n) &&
           work->dirty.Allocate(n) && work->stand.Allocate(n) && work->gain.Allocate(n) &&
           work->relative.Allocate(n) && work->relative_base.Allocate(n) && work->relative_stand.Allocate(n) &&
           work->of_gain.Allocate(n) && work->of_offset.Allocate(n) && work->stripes.Allocate(n) &&
           work->next.Allocate(n) && work->stood.Allocate(n) && work->steps.Allocate(n) &&
           work->step_level.Allocate(n) && work->doubt.Allocate(n) && work->kept_at.Allocate(n) &&
           work->kept.Allocate(std::min(n, static_cast<std::size_t>(kHeldKept)) * m) &&
           work->twin_at.Allocate(n) && work->twins.Allocate(std::min(n, static_cast<std::size_t>(kTwinsKept)) * m) &&
           work->scratch.Allocate(work->slot * threads) && FillTwins(work);
}

int FindAutoStripes(const double *samples, int size, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int columns = work->columns, m = work->rows;
    const int reach = std::max(2, size / 2);
    Neighbours *neighbours = work->neighbours;
    std::fill(work->stripes.get(), work->stripes + n, 0);
    std::fill(work->cut.get(), work->cut + 2 * n, -1);
    std::fill(work->doubt.get(), work->doubt + n, 0);
    std::fill(work->kept_at.get(), work->kept_at + n, -1);
    std::fill(work->twin_at.get(), work->twin_at + n, -1);

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
        for (int c = 0; c < width; ++c) {
            const double *column = scratch + static_cast<std::size_t>(c) * m;
            work->variation[first + c] = Spread(column, m, values, &work->reading[first + c]);
            for (int k = 0; k < m; ++k) values[k] = std::fabs(column[k] - work->reading[first + c]);
            std::nth_element(values, values + 3 * (m - 1) / 4, values + m, MedianBelow);
            work->quartile[first + c] = values[3 * (m - 1) / 4];
        }
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
            work->next[j] =
                (work->stand[j] > 1 && !OutsideObject(*work, j, kAutoLevelFraction * level)) || work->flat[j] != 0;
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
                // A column whose first pass read a lone stripe's shape
                // stays too: among the grains a stripe's neighbours,
                // found and left out of the interpolations, spread the run
                // (clusters, grains, 255 x 361, seed 2: a -4.5 % stripe in
                // a run of seven, all dropped).
                for (int i = j; i < end; ++i)
                    work->next[i] = work->stand[i] > kRunFactor * typical || work->flat[i] || FirstPassStripe(*work, i);
            }
            j = end > j ? end : j + 1;
        }
        if (pass == 0) {
            std::copy(work->excess.get(), work->excess + n, work->first_excess.get());
            std::copy(work->next.get(), work->next + n, work->first_found.get());
        }
        work->noise = noise;
        if (pass == kFindPasses - 1) MarkGrownRuns(work);
        std::copy(work->next.get(), work->next + n, work->stripes.get());
    }
    ResolveClusters(samples, sigma, work);
    // A column found by an unfound stripe's leakage gives way to it, with
    // the excess the first pass measured (the later passes measured it
    // across the gap the leaking neighbour left).
    std::copy(work->stripes.get(), work->stripes + n, work->next.get());
    for (int j = 0; j < columns; ++j) {
        if (!work->stripes[j] || work->flat[j] || work->grown[j]) continue;
        const int i = LeakingNeighbour(*work, j);
        if (i < 0) continue;
        work->next[j] = 0;
        work->next[i] = 1;
        work->excess[i] = work->first_excess[i];
    }
    std::copy(work->next.get(), work->next + n, work->stripes.get());
    // Each column found must hold over the views (a grown run's do not);
    // the clean neighbours are those of the last pass.
#pragma omp parallel for schedule(dynamic, 1) num_threads(work->threads)
    for (int j = 0; j < columns; ++j) {
        work->next[j] = work->stripes[j];
        work->of_offset[j] = 0;
        if (work->stripes[j] && !work->flat[j])
            work->next[j] =
                !work->grown[j] && HoldsOverViews(samples, work, j, sigma, work->stripes, ThreadScratch(*work));
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
        auto chosen = [&](int c) {
            return (work->stand[c] > kGainCandidate && Peak(work->stand, columns, c)) ||
                   (work->relative_stand[c] > 1 && Peak(work->relative_stand, columns, c) &&
                    !BesideStronger(*work, c));
        };
        // A column chosen that is its neighbour's leakage gives way to it.
        bool candidate = chosen(j) && ShapeNeighbour(*work, j) < 0;
        for (int i : {j - 1, j + 1})
            candidate = candidate || (i >= 0 && i < columns && chosen(i) && ShapeNeighbour(*work, i) == j);
        // A column that held but stops within the views is a partial
        // stripe, not a gain.
        if (!work->stripes[j] && !work->flat[j] && work->cut[2 * j] < 0 && candidate &&
            !NearStripe(work->stripes, columns, j, 1))
            work->next[j] = GainStripe(samples, work, j, sigma, threshold, ThreadScratch(*work));
    }
    // Two neighbours found as gains together (each measured with the other
    // among its clean columns), of opposite signs: the weaker is the
    // stronger's leakage, and goes (weak gains, off-axis, seed 12, noisy: a
    // 0.24 % stripe at column 163 and column 164 at -0.15 %). of_gain marks
    // only this loop's findings and stays as it is until all are decided.
    for (int j = 0; j < columns; ++j) {
        if (!work->of_gain[j]) continue;
        for (int i : {j - 1, j + 1})
            if (i >= 0 && i < columns && work->of_gain[i] && (work->excess[i] > 0) != (work->excess[j] > 0) &&
                std::fabs(work->excess[i]) > std::fabs(work->excess[j]))
                work->next[j] = 0;
    }
    for (int j = 0; j < columns; ++j) work->of_gain[j] = work->of_gain[j] && work->next[j];
    std::copy(work->next.get(), work->next + n, work->stripes.get());
    // A column still unfound that read a lone stripe's shape in the first
    // pass is tried by the holding as the columns found are: the later
    // passes, with its neighbours found and left out, measured it across
    // their gap (weak offsets, grains, seed 11: 0.40 -> 0.00). After the
    // weak gains, which take theirs first: mended as offsets, they were
    // mended worse. No two such columns lie within two of each other (each
    // reads the most there), so none reads what another's holding writes.
    // Where the columns two away read under kLeakAlone of it in the first
    // pass (nothing leaks that far from a lone stripe; a pair of stripes
    // about a clean column leaks there), its neighbours found with it are
    // its leakage, and it is measured against them (weak gains, head, seed
    // 4: a -0.10 stripe at column 114 left, across the gap of its found
    // neighbours 111 to 115).
#pragma omp parallel for schedule(dynamic, 1) num_threads(work->threads)
    for (int j = 0; j < columns; ++j) {
        work->next[j] = work->stripes[j];
        if (work->stripes[j] || work->flat[j] || !FirstPassStripe(*work, j) || NeighboursLeakInto(*work, j)) continue;
        double *scratch = ThreadScratch(*work);
        const unsigned char *stripes = work->stripes;
        if (QuietTwoAway(*work, j)) {
            // The tail of the thread's scratch, past what the holding uses.
            unsigned char *mask = reinterpret_cast<unsigned char *>(scratch + work->slot - n);
            std::copy(work->stripes.get(), work->stripes + n, mask);
            mask[j - 1] = mask[j + 1] = 0;
            stripes = mask;
        }
        work->next[j] = HoldsOverViews(samples, work, j, sigma, stripes, scratch);
        work->stood[j] = 1;
    }
    // A stripe found beside one that holds so, of the other sign in the
    // first pass (and so smaller there), is its leakage, left as it is
    // (mixed, head, seed 6, noisy: 0.28 with both mended, 0.09 without).
    for (int j = 0; j < columns; ++j) {
        if (!work->next[j] || work->stripes[j]) continue;
        for (int i : {j - 1, j + 1})
            if (i >= 0 && i < columns && work->stripes[i] &&
                (work->first_excess[i] > 0) != (work->first_excess[j] > 0)) {
                work->next[i] = 0;
                work->of_gain[i] = 0;
            }
    }
    std::copy(work->next.get(), work->next + n, work->stripes.get());
    // A column whose mirror about the axis reads alike is the edge of an
    // object concentric with the axis, not a stripe (a capillary's wall,
    // mended so, was changed by up to 10 % of the level on a clean
    // sinogram). Both are measured on the samples alone, so each pair is
    // decided alike.
    for (int j = 0; j < columns; ++j) {
        work->next[j] = work->stripes[j] && !AxisTwin(samples, *work, j, work->scratch);
        work->of_gain[j] = work->of_gain[j] && work->next[j];
    }
    std::copy(work->next.get(), work->next + n, work->stripes.get());
    found = 0;
    for (int j = 0; j < columns; ++j) found += work->stripes[j];
    return found;
}

void MendAutoStripes(double *samples, AutoWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
    // The typical excess over the columns, for the noise a block's median
    // carries.
    double *magnitudes = work->scratch;
    for (int j = 0; j < work->columns; ++j) magnitudes[j] = std::fabs(work->excess[j]);
    const double sigma = 1.4826 * MedianOf(magnitudes, work->columns);
    const double noise = kHoldNoise * sigma * std::sqrt(static_cast<double>(HoldBlocks(m)));
    // A stripe held with a block reading nothing is kept as it was, for
    // the partial stripes to tell (the first kHeldKept, in column order).
    int kept = 0;
    for (int j = 0; j < work->columns; ++j) {
        work->kept_at[j] = -1;
        if (!work->stripes[j] || !work->doubt[j] || work->flat[j] || kept == kHeldKept) continue;
        double *column = work->kept + static_cast<std::size_t>(kept) * m;
        for (int k = 0; k < m; ++k) column[k] = samples[n * k + j];
        work->kept_at[j] = kept++;
    }
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
        HeldConsensus(local, base, m, excess, middle, kRatioSlack * std::fabs(excess) + noise, offset, values);
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
