// Folding a sinogram of the whole turn into one of the half turn. View k
// and view k + M see the same lines from opposite sides, so the second,
// mirrored about the axis c, is the first again where both reach:
//     p(theta + pi, s) = p(theta, 2c - s).
// Each folded view joins a view and its opposite one mirrored over the
// union of what they see, a width of N + |2c - (N - 1)| columns at most:
// the detector's own columns, and beyond its edge those the opposite view
// saw on the far side of the axis (which an axis off the middle, as in a
// half-acquisition scan, makes up to twice the field).
//
// Over the columns both hold:
// - the axis near the middle (within N/8 of it, so that the overlap is at
//   least three quarters of the detector and its ends lie in the outer
//   part of the field): each pair averaged, halving the noise's variance;
// - otherwise: blended linearly across the overlap, each view's weight
//   falling to zero at its own edge, so that a small mismatch between the
//   two (an axis a little off, a drift in intensity) leaves no step inside
//   the object for the ramp filter to ring on.
// Where the mirrored position 2c - s falls between detectors (2c not a
// whole number) the opposite view is interpolated by a Lanczos kernel of
// three lobes (six taps, sinc(x) sinc(x/3), normalised to sum 1): the
// half of the object that only the opposite views see keeps its
// sharpness, where a linear interpolation would blur it (measured: a
// reconstruction's error 8 % above a scan that saw the object whole,
// against 26 % when linear and 14 % with cubic convolution). The fraction
// is the same for every column, so the six weights are computed once.
#pragma once

#include <string>

#include "views.h"

// Where the folded views lie.
struct FoldGeometry {
    int detectors;   // N, of each view of the full turn
    double center;   // c, the axis in the view's detectors
    int width;       // detectors of a folded view
    int pad;         // the view's detector s lies at column s + pad
    double first;    // the columns (in the view's detector positions)
    double last;     //   that both the view and its opposite one hold
    bool averaged;   // near the middle: the overlap averaged, not blended
    double fraction; // of 2c: the opposite view is read this far past a detector
    double taps[6];  // its weights for detectors floor - 2 .. floor + 3
};

// The kernel's six weights for a position `fraction` (strictly between 0
// and 1) past a detector: taps[i] weighs detector floor - 2 + i; they sum
// to 1.
void LanczosTaps(double fraction, double taps[6]);

// Whether the axis lies near enough to the middle for the pairs to be
// averaged: within N/8 of (N - 1)/2.
bool NearMiddle(int detectors, double center);

// Views over the whole turn about an axis off the middle (half
// acquisition): filtered back-projection of them as they are counts the
// rays on one side once and those near the axis twice, so the image is
// wrong; folded first (sino_fold) it is right. The warning line for such
// views and axis, or an empty string.
std::string HalfAcquisitionWarning(const ViewSet &views, int detectors, double center);

// The geometry of folding views of `detectors` detectors about an axis
// strictly inside them; false when the folded width would leave the int
// range.
bool MakeFoldGeometry(int detectors, double center, FoldGeometry *geometry);

// The axis of the folded views: c + pad.
inline double FoldedCenter(const FoldGeometry &g) { return g.center + g.pad; }

// The opposite view at the mirrored position of the view's detector s,
// 2c - s, within [0, N - 1]: the sample itself when 2c is whole, else the
// six taps around it (the edge samples repeated beyond the detector).
double OppositeAt(const double *opposite, const FoldGeometry &g, int s);

// One folded view (g.width values) from a view and its opposite one
// (g.detectors values each).
void FoldView(const double *view, const double *opposite, const FoldGeometry &g, double *folded);
