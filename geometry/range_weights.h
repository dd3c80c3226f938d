// The weights of the two views beside a limited range's gap (views.h,
// LimitedRange): how much of the missing directions filtered
// back-projection lets them stand for.
//
// Filtered back-projection cannot bridge a gap of directions; what the end
// views stand for only moves the error around. Zero-filled, the gap costs
// the image its share of the low frequencies (a large object comes out
// too faint); handed wholly to the end views (each takes half the gap, some
// 60 times a normal view's weight over 0 ... 120 degrees) it draws their
// rays across the image as streaks, the worse the farther a feature lies
// from the axis and the noisier the view. The default lends each end view
// a part of the gap: three quarters of its half beyond an even step, and
// no more than the angle over which a point at the detector's edge moves a
// few detector intervals (10 for the chesler kernel, 6 for shepp, 4 for
// ramachandran: the sharper the kernel, the sharper an end view's
// streaks), about as far as one view still holds for its neighbours. On a
// family of ellipse phantoms (the Shepp-Logan head, disks on and off the
// axis, elongated ellipses, a ring, with and without noise, 90 to 170
// degrees, 128 to 512 detectors, 972 cases over the three kernels) its RMS
// error is within 8 % of the better of the two others on every case and
// below both on nine in ten (doc/guide/cleaning.md). The iterative methods
// of sino_iter are the way to fill a gap.
#pragma once

#include "kernels.h"
#include "status.h"
#include "views.h"

enum class GapWeights {
    kPart,  // the default: each end view takes a capped part of the gap
    kEven,  // the gap left empty: the end views weigh an even step
    kEnds,  // each end view takes half the gap (CompleteViews' rule)
};

// "part", "even" or "ends" (exactly so); fails with "unknown gap weights
// (part, even or ends)." for any other word.
Status GapWeightsArgument(const char *text, GapWeights *scheme);

// For a limited range (LimitedRange), sets the weights of the two views
// beside the largest gap, as CompleteViews left them, by the scheme, for
// views of `detectors` samples filtered by `kernel`; every other weight,
// and every set without such a gap (a half turn, a full turn, golden-angle
// and uneven sets), is left as it is. An end view next to a gap G with its
// neighbour h inside the range weighs h / 2 + G / 2 (ends), h (even) or
// h + min(3/4 (G - h) / 2, 2 D / detectors) (part; D = 10, 6 or 4
// detector intervals for chesler, shepp and ramachandran).
void WeighGap(ViewSet *views, int detectors, Kernel kernel, GapWeights scheme);
