// A scan over the whole turn. Its axis is looked for as sino_center looks
// for a full turn's (each view matched with its opposite one mirrored),
// which finds it anywhere on the detector. With the axis near the middle
// the turn is reconstructed as before (-t: its first half; angles over
// the turn: every view). With the axis off the middle (half acquisition:
// the object reaches past the axis on one side only) each view is folded
// with its opposite one as sino_fold folds them (fold.h), into a wider
// half turn that covers the whole object.
#pragma once

#include <vector>

#include "fold.h"
#include "owned.h"
#include "status.h"
#include "views.h"

struct Turn {
    bool full = false;  // the views cover the whole turn
    bool even = false;  // -t: evenly over it, the stack's image count
    int images = 0;     // views of the whole turn, read by the search
    int pairs = 0;      // M: view k + M looks opposite view k (0: no such pairs)
    ViewSet whole{};    // the whole turn's angles (owned when `full`)
};

// What the views say: with -t (`told_full`), `images` views evenly over
// the turn; otherwise `views` (every image at the angles of -a or of the
// file) covering the whole turn (CoversFullTurn). The pairs are M = images
// / 2 with -t; else the even half turn the angles begin with
// (EvenHalfTurnStart), when the M views after it each lie within a
// hundredth of a step of half a turn from their partner. Fails with
// "memory allocation error.".
Status DescribeTurn(bool told_full, const ViewSet &views, int images, Turn *turn);
void ReleaseTurn(Turn *turn);

// The views folded from a full turn and where each row's folded views lie.
// Every row shares one frame: detector s of the stack at column s + pad
// of `width` columns (rows whose axes differ fold to different widths; the
// columns a row does not reach are zero).
struct Fold {
    bool active = false;
    int pairs = 0;      // M: folded views, each from views k and k + M
    int detectors = 0;  // N, of the stack
    int width = 0, pad = 0;
    std::vector<FoldGeometry> rows;  // one a row (or a trial center)
    // Each row's axis in the frame, c + pad, rounded as sino_fold prints
    // it (six decimals), so that its road gives the same images.
    std::vector<double> axes;
    Owned<double> scratch;  // one folded sinogram: pairs x width
};

// Whether a full turn with these centers is folded: when any of them lies
// off the middle (NearMiddle, fold.h).
bool NeedsFold(const Turn &turn, int detectors, const std::vector<double> &centers);

// A scan over most of the turn (no gap of a quarter turn between its
// directions) that is no whole turn (CoversFullTurn: a wider gap) cannot
// be folded, and its views beyond the half turn see, with the axis off the
// middle, what a half acquisition leaves out of the others: fails with
// "the views cover most of the turn with gaps and the axis lies off the
// middle (half acquisition?): give a whole turn, or the views of a half
// turn with -a." when `turn` is not full and a center lies off the middle.
Status CheckPartTurn(const Turn &turn, const ViewSet &views, int detectors, const std::vector<double> &centers);

// The fold of `turn.pairs` pairs about each of `centers`. Fails with "a full
// turn with its axis off the middle is folded from views in opposite
// pairs (view k + M half a turn from view k): the angles are not." when
// the turn has no pairs, or "memory allocation error.".
Status MakeFold(const Turn &turn, int detectors, const std::vector<double> &centers, Fold *fold);

// The views a fold reconstructs: the first M of `views`, which is
// replaced when it holds more (the angles of a whole turn). Fails with
// "memory allocation error.".
Status FoldedViews(const Fold &fold, ViewSet *views);

// Doubles a row of a band takes: the 2M views read, or the folded views
// when they are wider.
std::size_t FoldStride(const Fold &fold);

// Folds the 2M views (M = fold.pairs) of detectors values at `read` about
// row `which`'s axis into fold.pairs x fold.width values at `folded`.
void FoldRow(const Fold &fold, int which, const double *read, double *folded);

// Folds, in place, `rows` sinograms of 2M views read one after another
// (as ReadSinograms lays them out) into sinograms of fold.pairs x
// fold.width values one after another: rows `first` ... of the fold. The
// band holds FoldStride doubles a row.
void FoldBand(Fold *fold, int first, int rows, double *band);
