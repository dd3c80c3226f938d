// The pieces the stages of stripe removal's auto method share (rings_auto.h
// says what each stage does): a column's clean neighbours and its
// interpolations from them, the blocks of views and their thresholds and
// medians, a column's local excess view by view, and the mending of a
// run of blocks. For the stages' files alone; programs call rings.h.
#pragma once

#include <algorithm>
#include <cstddef>

#include "median.h"
#include "rings_auto.h"
#include "threads.h"

namespace auto_parts {

// Columns gathered together from the views.
constexpr int kBlockColumns = 8;

// An edge concentric with the axis (AxisTwin): the columns within
// kAxisReach of a column and of its mirror read alike, each pair within
// kAxisAgree of the largest of them (alike to three digits where nothing
// else is near; a weak stripe on the edge, a feature passing one of them
// moves them by up to a tenth), and the columns around the column depart
// from a stripe's shape by more than kAxisUneven of the column's own reading
// (two stripes of like size at mirrored columns in the air outside the
// object were taken for an edge).
constexpr int kAxisReach = 2;
constexpr double kAxisAgree = 0.1;
constexpr double kAxisUneven = 0.25;
// A round feature whose centre lies within a column of the axis (a
// capillary not quite centred, a grain by the axis) keeps its edges within
// a column of the same places in every view too, but mirrored about a
// point up to kAxisOff half columns off the detector's centre, and the two
// edges fall at different fractions of a column: there the columns about
// them agree within kAxisNearAgree, and an edge at a column's middle reads
// nearly a stripe's shape (0.24 of its reading from it, where two stripes
// in clean air read nothing): the column reading most of those about each
// must depart from it by kAxisNearUneven. One such edge was taken for a
// stripe of 3 % of the level, and the clean sinograms changed by 0.63 and
// 0.96 times their own error (weak offsets, off-axis, 256 x 360, seeds 102
// and 231).
constexpr int kAxisOff = 2;
constexpr double kAxisNearAgree = 0.2;
constexpr double kAxisNearUneven = 0.15;

// A steady pair about the axis, mended by its difference (MendConcentric,
// rings_auto.h): of the pairs within kConcentricReach of it, kConcentricTwins
// must be steady and read alike inside the object (stripes at and beside
// a disk's edge leave few pairs alike there); the column the
// mending chose is set to its twin where the mean profile bends under
// kConcentricClose of the pair's difference.
constexpr int kConcentricReach = 4;
constexpr int kConcentricTwins = 1;
constexpr double kConcentricClose = 0.25;

// The views where the interpolations from the nearest and the next clean
// columns out differ by less than kPartialTrust times the level fraction:
// no edge of the object near the column.
constexpr double kPartialTrust = 3.0;

// The calling thread's scratch: work.slot doubles of work.scratch.
inline double *ThreadScratch(const AutoWork &work) { return work.scratch + work.slot * ThreadIndex(); }

// Whether any of the `width` columns from `first` is to be measured again.
inline bool AnyDirty(const AutoWork &work, int first, int width) {
    for (int c = 0; c < width; ++c)
        if (work.dirty[first + c]) return true;
    return false;
}

// Whether a stripe lies within `apart` columns of j (j itself not counted).
inline bool NearStripe(const unsigned char *stripes, int columns, int j, int apart) {
    for (int i = std::max(0, j - apart); i <= std::min(columns - 1, j + apart); ++i)
        if (i != j && stripes[i]) return true;
    return false;
}

// The nearest column before (step -1) or after (step 1) j that is not a
// stripe; -1 when there is none.
inline int Clean(const unsigned char *stripes, int columns, int j, int step) {
    for (int i = j + step; i >= 0 && i < columns; i += step)
        if (!stripes[i]) return i;
    return -1;
}

// The clean neighbours of each column: the nearest on the left and right
// and the next ones out, -1 where there is none.
using Neighbours = CleanNeighbours;

inline Neighbours NeighboursOf(const unsigned char *stripes, int columns, int j) {
    Neighbours e{Clean(stripes, columns, j, -1), Clean(stripes, columns, j, 1), -1, -1};
    if (e.left >= 0) e.left2 = Clean(stripes, columns, e.left, -1);
    if (e.right >= 0) e.right2 = Clean(stripes, columns, e.right, 1);
    return e;
}

// The straight line through columns a and b of one view, at j.
inline double Between(const double *view, int a, int b, int j) {
    return view[a] + (view[b] - view[a]) * (static_cast<double>(j - a) / (b - a));
}

// The cubic through the two clean columns on either side, at j: it follows
// the object's own curvature, which the straight line leaves in the residual
// as much as a weak stripe (a small feature's profile, a large one's
// shoulder), so that a weak stripe stands out of it.
// Its weights depend on the columns alone: a loop over the views takes
// them once.
inline void CubicWeights(const Neighbours &e, int j, double *weights) {
    const int at[4] = {e.left2, e.left, e.right, e.right2};
    for (int i = 0; i < 4; ++i) {
        double weight = 1;
        for (int q = 0; q < 4; ++q)
            if (q != i) weight *= static_cast<double>(j - at[q]) / (at[i] - at[q]);
        weights[i] = weight;
    }
}

inline double CubicFrom(const double *view, const Neighbours &e, const double *weights) {
    const int at[4] = {e.left2, e.left, e.right, e.right2};
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += weights[i] * view[at[i]];
    return sum;
}

inline double Cubic(const double *view, const Neighbours &e, int j) {
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
// the straight line's, keep the line (the holding tries the cubic only for
// a column alone that fails by the line).
inline double Near(const double *view, const Neighbours &e, int j, bool cubic) {
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
inline double Far(const double *view, const Neighbours &e, int j, double near) {
    if (e.left < 0 || e.right < 0 || e.left2 < 0 || e.right2 < 0) return near;
    return Between(view, e.left2, e.right2, j);
}

// The first view of block b of `blocks` over `rows` views.
inline int BlockStart(int b, int blocks, int rows) {
    return static_cast<int>(static_cast<long long>(b) * rows / blocks);
}

// A stripe that starts or stops within the views steps there: the median
// of kStepViews views on one side within kStepBand of nothing, on the
// other within kStepBand of its level.
constexpr int kStepViews = 3;
constexpr double kStepBand = 0.3;

// Whether `local` steps from nothing up to `level` at view k (`rising`:
// nothing in the kStepViews views before k, the level in the kStepViews
// from k), or from the level down to nothing; k is at least kStepViews
// from either end.
bool StepsAt(const double *local, int k, double level, bool rising);

// Whether `local` (`rows` views) steps from nothing up to `level`
// (`rising`), or from it down to nothing, at a view between `from` and `to`:
// where a stripe's run starts or ends within the views, it steps so; an
// edge of the object dwelling at the column comes and goes over many views.
bool StepsWithin(const double *local, int rows, int from, int to, double level, bool rising);

// The weighted median of `count` values with positive weights: the value
// where the weights below and above it balance. Reorders both arrays
// together through `order` (count ints).
double WeightedMedian(const double *values, const double *weights, int count, int *order);

// Whether column j and its mirror about the detector's centre (where the
// toolkit puts the rotation axis) are an edge concentric with the axis: the
// medians over the views of the residuals from the cubic through the nearest
// two columns on either side, of the columns within kAxisReach of each,
// agree (kAxisAgree), the two columns' own have the same sign and pass the
// level fraction, and the column's are not a stripe's shape (kAxisUneven).
// The edge of a capillary, a cylinder or a disk on the axis lies at those
// two columns in every view and reads there as a pair of stripes; a stripe
// has no such twin. Or so about a point off the centre by up to kAxisOff
// half columns, as kAxisNearAgree and kAxisNearUneven say. `scratch` holds
// `rows` doubles.
bool AxisTwin(const double *samples, const AutoWork &work, int j, double *scratch);

// The mean absolute deviation from the median of `count` values, and that
// median in *median; `values` is scratch of `count` doubles.
double Spread(const double *column, int count, double *values, double *median);

// Block b's threshold, from the typical excess of the columns in it (of
// work.block_excess; a block that tells nothing counts as none), as for
// the stripes over all the views, and at least `floor`. `magnitudes` is
// scratch of `columns` doubles.
double BlockThreshold(const AutoWork &work, int b, double floor, double *magnitudes);

// The residual's median in each block of views, over the views where the
// interpolation is trusted (the two interpolations within kPartialTrust
// times `floor`); for a block with fewer than three such views (an edge of
// the object dwells there), over all its views where that passes
// kPartialStrong times their median `doubt`, else not a number, which
// tells nothing; and after the blocks, each block's mean deviation from
// its median over the same views. `scratch` holds `rows` doubles.
void BlockOffsets(const double *residual, const double *doubt, int rows, int blocks, double floor, double *scratch,
                  double *out);

// The clean columns two to `reach` away from j (`mask` marks those that
// are not), into `around`; returns their number.
int Around(const unsigned char *mask, int columns, int j, int reach, int *around);

// Column j's local excess in each view: its residual against its clean
// neighbours, less the median of the same for the clean columns two to
// `reach` away (`stripes` marks those that are not clean), into `local`;
// its interpolation into `base` (both `rows`). `scratch` holds 3.5
// kLargestAutoSize doubles.
void LocalExcess(const double *samples, const unsigned char *stripes, int columns, int rows, int j, int reach,
                 bool cubic, double *local, double *base, double *scratch);

// The statistics of one column (rings_auto.cpp): its residual's median
// over the views where the interpolation is trusted, and its median
// deviation about a gain. `scratch` holds 3 `rows` doubles.
void ColumnStatistics(const double *residual, const double *near, const double *doubt, int rows, double floor,
                      double *scratch, double *offset, double *spread);

// Whether column j and the two beside it on one side read nothing over the
// views: j lies outside the object, by its edge (rings_auto.cpp).
bool OutsideObject(const AutoWork &work, int j, double floor);

// Resolves the clusters of the finding (rings_auto_clusters.cpp) into
// work->stripes, with `sigma` the typical excess over the columns.
void ResolveClusters(const double *samples, double sigma, AutoWork *work);

// Mends the columns `mask` marks, each over its run of blocks
// (work->span) by the running median of its local excess, bounded by its
// block excesses (work->block_excess); `mask` also keeps them out of each
// other's interpolations.
void MendRuns(double *samples, int size, const unsigned char *mask, AutoWork *work);

}  // namespace auto_parts
