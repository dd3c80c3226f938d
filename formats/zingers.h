// Zingers: single samples far brighter than their surroundings, left by an
// X-ray or a particle striking the detector itself during one exposure.
// In a sinogram a zinger is one sample that its adjacent views and columns
// do not share; reconstructed, it becomes a streak across the slice.
#pragma once

#include "status.h"

// How far above its neighbours a sample must lie to be a zinger.
struct ZingerNoise {
    // T: a zinger lies more than T times the local noise above what its
    // neighbours predict for it.
    double threshold;
    // The samples are detector counts, so their noise is known: photon
    // noise, the square root of the level.
    bool counts;
    // For counts, the photon noise judges even where the neighbours lie on
    // a plane: a flat or dark image, whose pixels hold no object.
    bool photon_floor = false;
};

// The share of the neighbours' robust spread that counts as noise beside
// the photon noise, for counts: structure a plane does not follow (a
// ridge, a corner) spreads the neighbours beyond sqrt(level). Half, so that
// a zinger of 10 photon-noise spreads is still caught where the spread of
// eight neighbours comes out high by chance.
inline constexpr double kSpreadShare = 0.5;

// Two samples facing each other across a sample agree, for counts, when
// they differ by at most this many photon-noise spreads of their difference
// (the root of their sum): their mean then predicts the sample.
inline constexpr double kPairAgreement = 4;

// The threshold the manuals give as the usual one: on scans of 20,000
// counts in the flats, it replaced none to 0.002 % of the samples of
// zinger-free phantom scans and caught 98 to 100 % of zingers of 10 to 12
// photon-noise spreads (doc/guide/cleaning.md).
inline constexpr double kUsualZingerThreshold = 6;

// Adjacent views stand beside each other (their samples are neighbours)
// when a point at the detector's edge moves at most this many detector
// intervals between them.
inline constexpr double kCloseShift = 2;

// Whether views at these angles (radians) are close for a detector of
// `columns` samples: their directions, taken around the whole turn, differ
// by at most kCloseShift / (columns / 2).
bool ViewsClose(double a, double b, int columns);

// The ring of eight around a sample, in this order: the view above
// (columns c - 1, c, c + 1), its own view (c - 1, c + 1), the view below.
inline constexpr int kRingViews[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
inline constexpr int kRingColumns[8] = {-1, 0, 1, -1, 1, -1, 0, 1};

// The decision for one sample among `count` finite neighbours (at most 8),
// neighbour i at views[i] views and columns[i] columns from it: true, with
// their median m in *median, when it is a zinger.
//
// A zinger lies in one view only, so the sample is held against what the
// views around it predict for it: where close views lie on both sides,
// the highest mean of two samples facing each other across it from them
// (the same column, and the two diagonals; for counts, of the pairs that
// agree within kPairAgreement, where one does); with a close view on one side
// only, the highest of that view's samples; within its own view alone (no
// close view), the higher of the adjacent columns, each passed over for
// the next one out where it stands more than `threshold` noises above it
// (a zinger beside the sample, not an edge). Zingers side by side in one
// view do not hide each other, and a sample on an edge or a slope is
// predicted along it.
//
// The local noise: the neighbours' robust spread s about the plane through
// their mean with their slopes across columns and views (1.4826 times the
// median absolute residual, the standard deviation for Gaussian noise,
// times sqrt(n / (n - p)) for the p numbers fitted to n neighbours; 0 when
// n <= p), or, for counts, the larger of sqrt(m) and kSpreadShare s
// (sqrt(m) alone within its own view, where a spread along one line of
// samples would let an edge a few columns away hide a zinger, and where a
// facing pair agreed, whose mean is then a prediction to trust). A sample is
// a zinger when s is above zero and the sample lies more than `threshold`
// noises above the prediction: nothing is replaced where the neighbours
// lie on a plane (noise-free data), unless noise.photon_floor.
// Not-a-number is never a zinger; +infinity is one wherever s is above
// zero. A full ring (kRingViews, kRingColumns) takes the same arithmetic
// as RemoveZingers' two-column path.
bool IsZinger(double sample, const double *neighbours, const int *views, const int *columns, int count,
              ZingerNoise noise, double *median);

// Replaces the zingers of a band laid out as NormaliseBand's (normalise.h:
// `rows` sinograms of `views` x `columns` samples, sinogram j at
// band + j * views * columns) by the median of their neighbours; the count
// replaced goes to *replaced. `angles` holds the views' angles (radians,
// in the sinogram's order; nullptr: view k at k pi / views). Fails with
// "memory allocation error." when the scratch the threads keep cannot be
// had.
//
// A sample's neighbours are the finite samples around it in its
// sinogram, as read (a replacement never feeds another): the adjacent
// columns of its own view, and the same and the adjacent columns of each
// adjacent view that is close to it (ViewsClose): 8, 5 next to one close
// view or at an edge, 3 at a corner. A view with no close view beside it
// (few views, a golden-angle order) is judged within its own projection:
// the four columns on either side.
//
// The neighbours lie in the sinogram, not in the rows above and below, so
// a band of any size gives the same result; sinograms are filtered in
// parallel (OpenMP), with the same result for any number of threads.
Status RemoveZingers(double *band, int rows, int views, int columns, const double *angles, ZingerNoise noise,
                     long long *replaced);
