// Stripe removal's auto method: what the mending over all the views left
// on a stripe that was there in part of them or drifted through them, and
// no run of blocks found (rings_auto.h, Left over).
#include "rings_auto.h"

#include <algorithm>
#include <cmath>

#include "median.h"
#include "rings_auto_parts.h"

using namespace auto_parts;

namespace {

// What is left must pass kLeftFloor times the blocks' largest threshold,
// and kLeftShare of the blocks that tell must lie near the model fitted.
constexpr double kLeftFloor = 3.0;
constexpr double kLeftShare = 0.75;

// A stripe in part of the views: the run of blocks that tell it (at least
// kPartIn) and the rest (at least kPartOut), each part near its median
// within kPartBand of the step between them.
constexpr int kPartIn = 3;
constexpr int kPartOut = 3;
constexpr double kPartBand = 0.3;

// A drift: at least kDriftTold blocks that tell, from the first quarter of
// the views to the last, near the line within kDriftBand of its change
// over the views, which passes kDriftSpan times the excess mended.
constexpr int kDriftTold = 6;
constexpr double kDriftBand = 0.25;
constexpr double kDriftSpan = 1.5;

// What the mending left on column j, block by block: each block's residual
// median over its trusted views less its neighbours' (as the partial
// stripes measure it, before the block's roughness takes the small ones to
// nothing: the models below are fitted over many blocks, not one). The
// blocks' middle views go into `at`; returns their number.
int LeftInBlocks(AutoWork *work, int j, double *at, double *value) {
    const int blocks = work->blocks, m = work->rows;
    int *around = reinterpret_cast<int *>(work->scratch + kLargestAutoSize);
    const int others = Around(work->partial, work->columns, j, work->reach, around);
    int count = 0;
    for (int b = 0; b < blocks; ++b) {
        const double own = work->block_offsets[static_cast<std::size_t>(j) * 2 * blocks + b];
        int known = 0;
        for (int i = 0; i < others; ++i) {
            const double v = work->block_offsets[static_cast<std::size_t>(around[i]) * 2 * blocks + b];
            if (v == v) work->scratch[known++] = v;
        }
        if (!(own == own) || known == 0) continue;
        at[count] = 0.5 * (BlockStart(b, blocks, m) + BlockStart(b + 1, blocks, m) - 1);
        value[count++] = own - MedianOf(work->scratch, known);
    }
    return count;
}

// A stripe in more than half the views, mended over all of them by about
// its level, leaves that level with the other sign in the views it was not
// in, and what the mending missed in those it was. The blocks that tell
// are split into one run and the rest, before it or after it or both,
// each part at its median: the split whose parts lie nearest them. It is
// what the mending left where the step between the parts is the stripe's
// level (within kPartBand of the excess mended, the other sign), the part
// outside reads at least half the excess, and the local excess steps at
// each end of the run within the views between its end block and the
// nearest outside (an edge of the object comes and goes over many views,
// and the blocks it spoils line up as well: a stripe over all the views
// read so at the first two blocks, mended perfectly). Each part's views
// lose its median, the boundary half way between those blocks.
bool MendPart(double *samples, AutoWork *work, int j, const double *at, const double *value, int count,
              double most) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
    const double excess = work->excess[j];
    double best = HUGE_VAL, inner = 0, outer = 0, part[kPartialBlocks];
    int first = -1, last = -1;
    for (int s = 0; s < count; ++s)
        for (int e = s + kPartIn - 1; e < count && count - (e - s + 1) >= kPartOut; ++e) {
            int c = 0;
            for (int a = s; a <= e; ++a) part[c++] = value[a];
            const double in = MedianOf(part, c);
            c = 0;
            for (int a = 0; a < count; ++a)
                if (a < s || a > e) part[c++] = value[a];
            const double out = MedianOf(part, c);
            double cost = 0;
            for (int a = 0; a < count; ++a) cost += std::fabs(value[a] - (a >= s && a <= e ? in : out));
            if (cost < best) {
                best = cost;
                inner = in;
                outer = out;
                first = s;
                last = e;
            }
        }
    if (first < 0) return false;
    const double step = outer - inner;
    if (!(std::fabs(step) > kLeftFloor * most) || !(std::fabs(step + excess) <= kPartBand * std::fabs(excess)) ||
        !(-outer * (excess > 0 ? 1 : -1) >= 0.5 * std::fabs(excess)))
        return false;
    int near = 0;
    for (int a = 0; a < count; ++a)
        near += std::fabs(value[a] - (a >= first && a <= last ? inner : outer)) <=
                std::max(kPartBand * std::fabs(step), most);
    if (near < kLeftShare * count) return false;
    double *local = work->scratch, *base = work->scratch + m;
    LocalExcess(samples, work->partial, work->columns, m, j, work->reach, true, local, base, work->scratch + 3 * m);
    for (int k = 0; k < m; ++k) local[k] -= inner;
    auto view = [](double at_view) { return static_cast<int>(at_view); };
    if (first > 0 && !StepsWithin(local, m, view(at[first - 1]), view(at[first]) + 1, step, false)) return false;
    if (last + 1 < count && !StepsWithin(local, m, view(at[last]), view(at[last + 1]) + 1, step, true)) return false;
    const int from = first > 0 ? static_cast<int>(0.5 * (at[first - 1] + at[first])) + 1 : 0;
    const int to = last + 1 < count ? static_cast<int>(0.5 * (at[last] + at[last + 1])) + 1 : m;
    for (int k = 0; k < m; ++k) samples[n * k + j] -= k >= from && k < to ? inner : outer;
    return true;
}

// A stripe that drifts through all the views, mended over them by about
// its median, leaves the drift less that: a line across the views through
// nothing within their middle half, which no run of one sign holds. The
// line through the blocks that tell (the median of the slopes between
// pairs, through the median of what each leaves) is such a drift where it
// passes nothing there, most blocks lie near it, and its change over the
// views passes kDriftSpan times the excess mended (a drift from nothing
// spans twice its median; the object's slow changes under a strong
// stripe, mended well, lean a line as well, far less than the stripe). It
// is taken off view by view.
bool MendDrift(double *samples, AutoWork *work, int j, const double *at, const double *value, int count,
               double most) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
    if (count < kDriftTold || at[0] > 0.25 * m || at[count - 1] < 0.75 * m) return false;
    double slopes[kPartialBlocks * (kPartialBlocks - 1) / 2], left[kPartialBlocks];
    int pairs = 0;
    for (int a = 0; a < count; ++a)
        for (int b = a + 1; b < count; ++b) slopes[pairs++] = (value[b] - value[a]) / (at[b] - at[a]);
    const double slope = MedianOf(slopes, pairs);
    for (int a = 0; a < count; ++a) left[a] = value[a] - slope * at[a];
    const double through = MedianOf(left, count);
    const double change = std::fabs(slope) * (m - 1);
    if (!(change > kLeftFloor * most) || !(change > kDriftSpan * std::fabs(work->excess[j]))) return false;
    const double zero = -through / slope;
    if (!(zero >= 0.25 * m && zero <= 0.75 * m)) return false;
    int near = 0;
    for (int a = 0; a < count; ++a)
        near += std::fabs(value[a] - (through + slope * at[a])) <= std::max(kDriftBand * change, most);
    if (near < kLeftShare * count) return false;
    for (int k = 0; k < m; ++k) samples[n * k + j] -= through + slope * k;
    return true;
}

}  // namespace

void MendLeftOver(double *samples, AutoWork *work) {
    if (work->blocks == 0) return;
    double most = 0;
    for (int b = 0; b < work->blocks; ++b)
        most = std::max(most, BlockThreshold(*work, b, kAutoLevelFraction * work->level, work->scratch));
    // Column after column, in order: a column's local excess reads its
    // neighbours, which the one before may have mended.
    for (int j = 0; j < work->columns; ++j) {
        if (!work->stripes[j] || work->partial[j] || work->flat[j] || work->of_gain[j]) continue;
        double at[kPartialBlocks], value[kPartialBlocks];
        const int count = LeftInBlocks(work, j, at, value);
        if (!MendPart(samples, work, j, at, value, count, most)) MendDrift(samples, work, j, at, value, count, most);
    }
}
