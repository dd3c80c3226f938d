// Stripe removal that finds the stripe columns of every kind and mends only
// those: the combination the literature arrives at (Vo, Atwood and
// Drakopoulos 2018: large and dead stripes found and corrected alone, the
// clean columns left as they are).
//
// Finding. Each view is compared with the straight line between each
// column's nearest neighbours that are not stripes themselves; the
// difference is the column's residual. The residual's median over the
// views, less the median of the same for the columns two to size / 2 away
// (which carry the object's own curvature, shared by neighbouring columns),
// is the column's excess. A stripe is an excess beyond kAutoFactor times
// the typical excess over the columns, beyond kAutoLeastFraction of the
// sinogram's level (the median over the views of the magnitude a
// sixty-fourth of a view's columns pass) and beyond kAutoRough times the
// column's own roughness over the views (less the roughness every column
// has, the noise). The finding
// runs kFindPasses times, each pass interpolating across the stripes the
// last one found, so that a stripe's neighbours, which interpolate from it
// at first, and the members of a cluster are told apart; from the second
// pass on by the cubic through two clean columns on either side, which
// follows the object's curvature. A third pass measures again the columns
// whose clean neighbours the second changed: a strong stripe's neighbours,
// taken with it the first time, leave a gap across which the second pass
// measures it poorly. A run of more than kLongestRun adjacent columns in
// the last pass is the object's structure and is dropped, but for the
// columns that stand out of it and those whose first pass read a lone
// stripe's shape (its neighbours leaking the other sign).
//
// Clusters. In a cluster the passes' interpolations reach across unfound
// members and leaking neighbours alike, and took clean columns in the
// members' place. So a run of kClusterLeast to kClusterMost adjacent
// columns that stood out in the first pass is resolved as a whole: every
// subset of its columns is tried as its stripes, and explains it where
// each of them stands out and no other column of the run, nor the one
// beside it on either side, does (by the straight line between its clean
// neighbours, or for the others by the cubic, which follows the object's
// curvature). The fewest that explain it (all but kClusterSpare of the
// run at most: an edge of the object explained so needed nearly all of
// it), then those that leave the others standing out least, are its
// stripes; their neighbours explained, they may hold by the cubic. A run
// that the passes' finding explains already, or that no subset does, or
// whose mirror about the axis stood out alike (an edge concentric with
// the axis), is left as it was.
//
// Leakage. A stripe the passes leave unfound (its roughness over the views
// hid it: a partial stripe, one by the axis among the object's features)
// leaks into both its neighbours at half its excess with the other sign,
// and the stronger of them is found in its place. Where, in the first
// pass's excess, a column found has a neighbour of the other sign that
// fits a stripe's shape better (its excess less the mean of its
// neighbours'), whose other neighbour reads the found one's sign at a like
// size, where the found one's other neighbour reads nothing or its sign
// (two stripes on either side of a clean column leak into it as one does),
// and no other stripe of half the found one's size lies within two
// columns (but the neighbour's other neighbour, the stripe's other leakage,
// where the columns beyond the two read nothing or their own sign: a pair
// of stripes leaks there; or where the five columns from the found one's
// other neighbour fit a lone stripe at the neighbour by the least squares
// far better than a pair about it: a feature of the object read beside),
// the neighbour is taken in the found column's place, with its first
// pass's excess. A column left unfound whose first
// pass read a lone stripe's shape is held as the found ones are, after the
// weak gains (where the columns two away read little, against its
// neighbours found with it: its leakage), unless its two neighbours, found,
// read in the last pass what leaks all of that into it (two stripes about
// a clean column); a stripe found beside one that
// holds, of the other sign in the first pass, is its leakage and is left.
//
// Holding. An edge of the object that dwells at a column in many views
// (near the rotation axis, at a small feature's turning point) moves the
// column's median as a stripe does. So each column found is measured once
// more, view by view: its residual less the median of its clean
// neighbours' residuals in the same view (two to size / 2 away). A stripe
// holds over the views: in at least kHoldShare of kHoldBlocks blocks of
// views the median of this local excess lies within kHoldSlack of the
// median over all the views (an offset) or of the gain that median
// implies times the block's level (a gain), and that median agrees with
// the excess within kHoldAgree; or, where features passing the column
// spoil most blocks, in three of eight it lies close to the excess and in
// none near nothing. A column that does not hold is no stripe; one that
// does is mended by that median, which the object's shared curvature
// does not bias (held the second way, by its excess, without a gain). One
// that held as an offset in more blocks than as a gain (and in kHoldShare
// of them) is mended without a gain: at the object's outer edge the
// edge's own structure, which follows the column's value, fitted a gain
// that made the ring worse. A column that does not hold by the straight
// line, with no other stripe and none of larger excess within two columns
// (a stronger stripe's leakage), is measured once more by the cubic, which
// follows the object's curvature by the axis, and holds if that holds.
// A cluster's member, measured in the last pass against clean columns that
// carry its unfound neighbours' leakage, may disagree with its own median;
// where no column within two reads more in the first pass and the cubic's
// median agrees with its first pass's excess, it holds where every block
// lies within the slack of that excess.
// A stripe that holds but stops within the views (in three quarters of
// them) is a partial stripe: its last blocks (or its first) read nothing,
// one of them where the object is, and its local excess steps there
// between its median and nothing, with most views beyond the step near
// nothing and most of a sixteenth of the views before it near the median.
// It is mended as a partial stripe over the views before the step (or
// after it): mended over all the views, it was added where it was not.
//
// Weak gains. A stripe of gain's excess follows the column's value, so
// where that changes through the views its median says little; and where
// the column leaves the object in many views (an object off the axis, near
// its outer edge) the median is taken in those, where a gain is nothing.
// So each column's residual is measured as a share of its interpolation
// too, over the views where that is high: less the same of the columns two
// to size / 2 away, at the interpolation's median there, it is the
// column's relative excess. A column that stands out somewhat (beyond
// kGainCandidate of what a stripe must), or whose relative excess does
// (beyond what a stripe must, with no stripe found beside it that stands
// out more: its neighbours interpolate from it), alone and most within two
// columns, is tried; but where a neighbour's relative excess has the other
// sign, reads more and a stripe's shape more (its excess less the mean of
// its neighbours'), and the column beyond it reads like the one chosen
// (a lone stripe leaks into both neighbours alike), the one chosen is that
// neighbour's leakage, and the neighbour is tried in its place. A column
// tried is fitted a line through the origin: its local excess over its
// interpolation, robustly. It is a stripe where that line's excess at the
// column's typical value passes kGainThreshold of the threshold (the line
// holding block by block is evidence an offset alone is not) and the line
// holds (in most blocks, or to a tenth of the slack in three of eight:
// among the grains features passing the column spoil the rest); it is
// mended by the line, or by a block's own gain where the blocks agree on
// it better (a feature that spoils the thickest views leans the line).
// Two neighbours taken as gains together, of opposite signs, are a stripe
// and its leakage: the weaker is left.
//
// Mending. A stripe column that hardly changes over the views where its
// interpolation does (dead, saturated: its mean deviation below a fifth of
// the interpolation's; past a neighbour that hardly changes either, the
// next one out: a pair of dead columns) is replaced by the interpolation.
// Any other loses its excess, and a gain where one explains the local
// excess's changes over the views (the weighted median of the local excess
// over the interpolation's departure from its median, kept when it takes a fifth off
// the local excess's spread in the trusted views); a gain that would leave
// the column below half or above twice its interpolation marks it dead as
// well. Where the blocks of views agree better on one block's own gain or
// offset (close to the excess) than on that fit, it is mended by that one:
// features spoiling the thickest views lean the fit over all of them.
//
// Partial stripes. A column wrong in only part of the views (a drifting
// detector, one that fails or recovers during the scan) has no excess over
// all the views. So, once the stripes above are mended, the views are cut
// into up to kPartialBlocks blocks, and each column's residual median within
// each block, less its neighbours' (two to size / 2 away), is its block
// excess: over the views where the interpolation is trusted, or, in a block
// with none (the object's edge at the column), over all where the median
// stands far beyond the interpolation's doubt there. A column is a partial
// stripe where a run of blocks stands out with the same sign, each near the
// last or on the line through the last two (a drift; by their places where
// blocks without trusted views lie between), beyond kAutoFactor times the
// typical block excess of the columns and kAutoLevelFraction of the level
// (each 3 times that, or once for a column that stood out over all the
// views: a stripe in half the views, or one in more that the median mended
// in part): four blocks, or three far beyond their threshold and their
// roughness. A drift from nothing, whose first blocks lie under that floor,
// is a run of three blocks beyond the threshold alone, all growing (or
// shrinking) on the line through the last two, its largest beyond the floor,
// the column standing out more than either neighbour in each: a weak
// finding. A run of three blocks beyond the threshold alone where both
// neighbours show what a stripe leaks into them (-1/2 of it: they
// interpolate from it) is a partial stripe too; so is a run of five blocks
// or more beyond the floor, of one sign, three quarters of which lie within
// a quarter of the line through them (the median of the slopes between
// pairs) and stand out more than either neighbour: among the object's small
// features a stripe's blocks scatter about its line, and no two in a row
// keep within a fifth (where a steady run is found later, it starts the
// stripe; a column whose neighbour the pass before found is measured across
// a wider gap, and is not taken so). This too runs twice, the second time
// with the partial stripes left out of the interpolations. Two adjacent
// columns found in blocks they share (or beside one mended over all the
// views, whose leakage is in every view) are an edge of the object dwelling
// there (a partial stripe's neighbours no longer interpolate from it the
// second time), and are left alone, unless the first time found one and the
// second, that one left out, the other, whose neighbour on the far side
// tells something there (a cluster's pair); so is a column whose neighbours'
// block excesses are alike (the same sign, half its size or more) in half
// its run, or in half the blocks where a neighbour tells something: a
// feature that dwells at the column (near the axis) spans them too. A run of
// three blocks alone, or of two each ten times beyond the threshold (a
// stripe in a fifth of the views starting and stopping within blocks; a gain
// at the object's edge), is a weak finding: it stands where its neighbours,
// the second time, tell something and are quiet (no rougher than the noise)
// in half its run, and gives way to a column found by a full run beside it,
// whose leakage it is.
// A stripe that held, though one of the holding's blocks read nothing where
// the object is (a stripe in part of the views whose other blocks the
// object's edges spoil, which held as a gain: in air a gain reads nothing
// too), is kept as it was until the partial stripes are found. Where they
// did not find it, and its block excess before the mending (that left,
// plus what the mending took) reads the stripe over a run of blocks
// (half its excess or more), nothing (a tenth of it at most) in none
// within the run and in two adjacent blocks outside it where the column
// is at least half its median, it is a partial stripe over that run: it
// gets its views back and is mended as one.
// A partial stripe loses, in each view, the running median over a block's
// length of views of its residual less its neighbours' residuals: it
// follows a stripe that starts, stops or drifts, and passes over the
// object's edges, which cross a column in a few views. In a block of its
// run without trusted views (an edge dwelling there) it takes the line
// between the block excesses on either side instead. Outside the run it
// loses only what has the run's sign, and nothing past a block that tells
// the stripe stopped (the other sign, or nothing where the block is
// smooth and the column as high as in the run) with none further out
// reading the run's sign.
//
// Left over. A stripe in more than half the views, or one that drifts
// through all of them, stands out over them all and is mended by about its
// median; no run of one sign holds what that leaves, so the partial
// stripes do not find it. For each such column mended as an offset, its
// block excesses (measured as the partial stripes measure them, small ones
// kept) are fitted by two models. A stripe in part of the views: the
// blocks split into one run and the rest, each near its median, the step
// between them the stripe's level (near the excess mended, the other
// sign), the rest reading at least half the excess, and the column's local
// excess stepping within a few views at each end of the run (an edge of
// the object comes and goes over many views); each part's views lose its
// median. A drift: a line through the blocks, through nothing in the
// middle half of the views, its change over them more than the excess
// mended; it is taken off view by view. Either stands where three
// quarters of the blocks lie near it and it passes three times the
// blocks' largest threshold.
//
// Steps. Where features of the object pass a column in most blocks (among
// the grains, by the head's axis) no block's interpolation is trusted, and
// a partial stripe there goes unfound, however strong. So, once the
// partial stripes are mended, each column's local excess is measured view
// by view against its neighbours' (the cubic from all of them, less the
// median of the same for the columns two to size / 2 away): a feature
// passing one column in a view is one value of that median, and the
// block's median over the views passes over the few views it holds the
// column. A column is a step stripe where a run of at least kStepRun
// blocks lies within kStepAgree of the run's median, beyond kStepFloor
// times the blocks' threshold, the blocks outside within kStepOutside of
// nothing (the blocks beside the run may lie between: the step falls
// within them), and it is what a stripe leaves: each neighbour's block
// excess over the run, which interpolates from the column, is -2/3 of the
// column's (within kStepLeak), and wherever the run starts or ends within
// the views the local excess steps there between nothing and the run's
// level within three views. An edge of the object that dwells at a column
// moves its neighbours otherwise, and comes and goes over many views. A
// drift has no level: its run lies about the line through its blocks
// instead (from at most half its larger end, stepping only there), and
// each neighbour reads the -2/3 in most of its blocks (rings_auto_steps.cpp,
// kDriftRun). Of the columns within two of each other, the strongest is
// the stripe; it is mended as a partial stripe is.
//
// Edges on the axis. The edge of an object concentric with the rotation
// axis (a capillary's wall, a disk on the axis) lies at the same columns in
// every view and bends the profile there as a stripe does. A column found
// over all the views or as a partial stripe is left alone where its mirror
// about the detector's centre (where the toolkit puts the axis) reads alike
// and the columns about it are not a stripe's shape; or, more loosely,
// its mirror about a point up to a column off the centre: a round feature
// whose centre lies within a column of the axis (AxisTwin,
// rings_auto_parts.h).
// Where the object is round about the axis, a column and its mirror read
// the same in every view but for their stripes: a steady pair (each within
// the level fraction, or twice the noise, of its median in three quarters
// of the views), whose mirror is confirmed by a steady pair within
// kConcentricReach that reads alike inside the object, tells the
// difference of its two stripes and nothing of what they share (a ring of
// the object at that radius reads so). Such pairs near a stripe found, or
// that differ, are kept before the mending and set after all of it
// (MendConcentric): where the mending left the two alike it stands; else
// they get their samples back, and where they differ, the column the
// mending took half the way to its twin or more (the other hardly moved)
// is set to it where the pair's mean profile bends little there (under a
// quarter of the difference, at the column and either neighbour); any
// other pair takes half the difference off each. At a disk's edge the
// profile bends more than a stripe's size, and the mending across it had
// flattened the edge: 2.2 times the stripes' ring error.
#pragma once

#include <cstddef>

#include "owned.h"

inline constexpr int kFindPasses = 3;
// The partial stripes' finding.
inline constexpr int kAutoPasses = 2;
inline constexpr double kAutoFactor = 5.0;
// The level fraction below which the views are trusted alike (an edge's
// doubt, a dead column's neighbours' variation), and the least stripe.
inline constexpr double kAutoLevelFraction = 0.002;
inline constexpr double kAutoLeastFraction = 0.0008;
inline constexpr int kLongestRun = 5;
inline constexpr double kAutoRough = 1.0;
inline constexpr double kPartialRough = 2.0;
inline constexpr int kHoldBlocks = 8;
inline constexpr double kHoldShare = 0.75;
inline constexpr double kHoldSlack = 0.6;
inline constexpr double kHoldAgree = 0.3;
inline constexpr double kRunFactor = 3.0;
inline constexpr int kPartialBlocks = 16;
// The step stripes.
inline constexpr int kStepRun = 4;
inline constexpr double kStepAgree = 0.25;
inline constexpr double kStepFloor = 3.0;
inline constexpr double kStepOutside = 0.25;
inline constexpr double kStepLeak = 0.125;
// A held stripe read as partial (above): the columns kept as they were
// (a few per sinogram), the share of its excess a block of the stripe
// reads at least and one without it at most, and the least share of the
// column's median a block without it must have.
inline constexpr int kHeldKept = 32;
// The columns of steady pairs about the axis kept before the mending.
inline constexpr int kTwinsKept = 128;
inline constexpr double kHeldPresent = 0.5;
inline constexpr double kHeldAbsent = 0.1;
inline constexpr double kHeldBase = 0.5;
// The fewest views a block holds: fewer views, fewer blocks (below four
// blocks no partial stripe is looked for).
inline constexpr int kBlockViews = 8;
// Scratch for the neighbours' offsets: size / 2 on either side.
inline constexpr int kLargestAutoSize = 1001;

// The clean columns a column interpolates from: the nearest on the left
// and right, and the next ones out (-1 for none).
struct CleanNeighbours {
    int left, right, left2, right2;
    bool operator==(const CleanNeighbours &) const = default;
};

// The memory of one run; it releases itself.
struct AutoWork {
    int columns = 0;
    int rows = 0;
    int threads = 0;
    Owned<double> offsets;              // columns: the residual's median over the views
    Owned<double> excess;               // columns: the offset less the neighbours'
    Owned<double> first_excess;         // columns: the excess of the first pass, every neighbour in
    Owned<unsigned char> grown;         // columns: 1 in a run whose excess grew as the run widened
    Owned<unsigned char> first_found;   // columns: 1 for one that stood out in the first pass
    Owned<unsigned char> resolved;      // columns: 1 in a cluster its fewest stripes explain (ResolveClusters)
    Owned<double> spread;               // columns: the residual's median deviation from its gain's line
    Owned<double> stand;                // columns: the excess over the least a stripe has
    Owned<double> relative;             // columns: the residual's median share of the interpolation, where it is high
    Owned<double> relative_base;        // columns: the interpolation's median in those views (0: none)
    Owned<double> relative_stand;       // columns: the relative excess at that value over the least a stripe has
    Owned<double> gain;                 // columns: a weak stripe of gain's line through the origin
    Owned<unsigned char> of_gain;       // columns: 1 for a weak stripe of gain
    Owned<unsigned char> of_offset;     // columns: 1 for a stripe that held as an offset, mended without a gain
    Owned<unsigned char> flat;          // columns: 1 for a dead or saturated column
    Owned<double> variation;            // columns: the mean deviation over the views
    Owned<double> reading;              // columns: the median over the views
    Owned<double> quartile;             // columns: the deviation from that median three quarters of the views keep within
    Owned<CleanNeighbours> neighbours;  // columns: the clean neighbours each interpolates from
    Owned<unsigned char> dirty;         // columns: 1 where they changed since the last pass
    Owned<unsigned char> stripes;       // columns: 1 for a stripe column
    Owned<unsigned char> next;          // columns: the next pass's finding (partial: 2 for a weak run)
    Owned<unsigned char> stood;         // columns: 1 for one that stood out over all the views (not dead)
    int reach = 0;                      // the neighbours compared: up to this many columns away
    double level = 0;                   // the median over the views of a view's magnitude passed by 1/64 of its columns
    double noise = 0;                   // the roughness every column has: the columns' median spread
    int blocks = 0;                     // the blocks of views for partial stripes (0: none looked for)
    Owned<double> block_offsets;        // columns x blocks: the residual's median in each block
    Owned<double> block_excess;         // columns x blocks: the same less the neighbours'
    Owned<unsigned char> partial;       // columns: 1 for a partial stripe
    Owned<unsigned char> leaked;        // columns: 1 for one its neighbours' leakage told (rings_auto_partial.cpp)
    Owned<unsigned char> steps;         // columns: 1 for a step stripe
    Owned<double> step_level;           // columns: a step stripe's level over its run (0: none)
    Owned<int> span;                    // columns x 2: a partial stripe's first and last block
    Owned<int> cut;                     // columns x 2: the views (first, end) of a stripe that held but stops
                                        // within them, a partial stripe (-1: none)
    Owned<unsigned char> doubt;         // columns: 1 for a stripe that held with a block reading nothing
    Owned<int> kept_at;                 // columns: its column as it was in `kept` (-1: none)
    Owned<double> kept;                 // kHeldKept x rows: those columns before the mending
    Owned<int> twin_at;                 // columns: its place in `twins` for a column of a steady pair
                                        // on an edge concentric with the axis (-1: none)
    Owned<double> twins;                // kTwinsKept x rows: those columns before the mending
    Owned<double> scratch;              // per thread: `slot` doubles
    std::size_t slot = 0;
};

// Allocates the work for `columns` x `rows` samples and `threads` threads.
// False when memory cannot be had.
bool AllocateAutoWork(int columns, int rows, int threads, AutoWork *work);

// Finds the stripe columns of `samples` into work->stripes, comparing each
// with the columns up to size / 2 away; returns their number.
int FindAutoStripes(const double *samples, int size, AutoWork *work);

// Mends the stripe columns found, in place.
void MendAutoStripes(double *samples, AutoWork *work);

// Finds the columns that are stripes in part of the views into
// work->partial, comparing each with the columns up to size / 2 away;
// returns their number. Runs after FindAutoStripes (its level, and the
// blocks of its first pass, which it takes again only for the columns near
// a stripe) and MendAutoStripes (what they leave).
int FindPartialStripes(const double *samples, int size, AutoWork *work);

// Mends the partial stripes found, in place.
void MendPartialStripes(double *samples, int size, AutoWork *work);

// Mends what the mending over all the views left on the stripes that were
// there in part of the views or drifted, and that no run of blocks found
// (Left over, above), in place. Runs after MendPartialStripes, on
// the block measures of FindPartialStripes.
void MendLeftOver(double *samples, AutoWork *work);

// The median of each column's local excess (rings_auto.h, Steps) in each
// block of views, into work->block_excess: with each view's residuals
// taken once for all the columns (`shared`), or column by column, the
// plain evaluation the tests hold the other to (the same bytes).
void StepBlockMedians(const double *samples, int size, bool shared, AutoWork *work);

// Finds the step stripes into work->steps, their runs into work->span,
// comparing each column with the columns up to size / 2 away; returns
// their number. Runs after MendPartialStripes, on what it leaves.
int FindStepStripes(const double *samples, int size, AutoWork *work);

// Mends the step stripes found, in place.
void MendStepStripes(double *samples, int size, AutoWork *work);

// Keeps the columns of the steady pairs about the axis (Edges on the
// axis, above) as they are before the mending. Runs after FindAutoStripes.
void KeepConcentric(const double *samples, AutoWork *work);

// Sets what the stages mended on those pairs by the pair's difference
// alone, in place; returns the pairs so set. Runs last.
int MendConcentric(double *samples, AutoWork *work);
