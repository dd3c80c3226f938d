// Finding the rotation axis of a scan over the whole turn. A view and the
// one half a turn later see the same lines from opposite sides, so the
// second is the first mirrored about the axis c:
//     p(theta + pi, s) = p(theta, 2c - s).
// The search measures how far each view is from its opposite one mirrored
// about a trial c, over the columns both hold: wherever the axis lies, also
// near one edge of the detector (a half-acquisition scan), where only a
// narrow band of columns has partners.
//
// The mismatch, with W the detector's window (tapered at both edges) and
// q_k the view opposite view p_k,
//     D(c) = sum_k sum_s W(s) W(2c-s) (q_k(s) - p_k(2c-s))^2
//            / sum_k sum_s W(s) W(2c-s) (q_k(s)^2 + p_k(2c-s)^2),
// is 0 for consistent data at the axis and near 1 far from it. Numerator
// and denominator are convolutions in t = 2c: one pass of transforms over
// the pairs gives them at every c, and their Fourier series at any
// fraction of a detector.
#pragma once

#include <complex>

#include "owned.h"
#include "outliers.h"
#include "views.h"

// A view and the direction half a turn away from it, which lies between
// views `first` and `second`: the opposite view is (1 - weight) times the
// first plus weight times the second (first == second when a view looks
// exactly that way).
struct OppositePair {
    int view;
    int first;
    int second;
    double weight;
};

// Pairs of a full turn of `views` views evenly spread (view k at k 2 pi /
// views): k with k + views/2 for an even count, each pair once; for an odd
// count every view with the mean of the two views around its opposite.
// `pairs` has room for `views`; returns the count.
int EvenFullTurnPairs(int views, OppositePair *pairs);

// Buffers of one search, for a sinogram of this size; allocated once.
struct OppositeWork {
    int detectors;
    int views;
    int length;                             // L >= 2N, the transforms' length
    Owned<double> window;                   // detectors values, scaled
    Owned<double> row, other;               // L values: a view and its opposite, windowed
    Owned<double> energy;                   // L values: the pairs' squares, summed
    Owned<double> values;                   // 3 x 4L values: the three convolutions on a grid
    Owned<double> grid;                     // 8N values: the mismatch on the search's grid
    Owned<double> angles;                   // views values: angles modulo 2 pi
    Owned<int> order;                       // views values: views sorted by those
    Owned<std::complex<double>> spectrum;   // L/2 + 1: one view's transform
    Owned<std::complex<double>> series;     // 3 x (L/2 + 1): the convolutions' coefficients
    Owned<std::complex<double>> padded;     // 2L + 1: a series padded for the grid
    Owned<OppositePair> pairs;              // views values
};

bool AllocateOppositeWork(OppositeWork *work, int detectors, int views);

// The pairs of any set of angles (views.count of them, the work's count):
// each view with the direction half a turn away, taken between the two
// views around it when they are at most a few mean spacings apart (a view
// without such neighbours gets no pair). A pair met from both of its views
// counts once. Into work->pairs; returns the count.
int OppositePairs(const ViewSet &views, OppositeWork *work);

// What the search found: `found` is false when the mismatch has no clear
// minimum within [0.5, N - 1.5], or when even there the views do not match
// their opposite ones (mismatch above kMaxMismatch). `mismatch` is D at the
// center.
struct OppositeEstimate {
    bool found;
    double center;
    double mismatch;
};

// Two local minima of a centre search are rivals only when they lie more
// than this many detectors apart; nearer ones are one minimum.
inline constexpr double kApart = 1.5;

// Above this the views are not taken for opposite ones at any center.
inline constexpr double kMaxMismatch = 0.1;

// The axis of a sinogram of the work's size, its outliers replaced, from
// `count` pairs.
OppositeEstimate FindOppositeCenter(const double *samples, const Outliers &outliers, const OppositePair *pairs,
                                    int count, OppositeWork *work);

// D at any center, from the series the last FindOppositeCenter made.
double OppositeMismatch(const OppositeWork &work, double center);

// How far the last views of the sinogram are from its first ones: view
// M-1-i from view i for the first few i, either mirrored about `center` (a
// half turn, whose view M-1 is followed by view 0 mirrored) or as they are
// (a full turn, whose view M-1 is followed by view 0 itself). The
// normalised squared difference, as D; 1 when the views hold nothing.
double SeamMismatch(const double *samples, const Outliers &outliers, double center, bool mirrored,
                    OppositeWork *work);
