// Telling a whole turn given as a half turn. A program that is given no
// angles takes its M views as an even half turn (view k at k pi / M); views
// that cover the whole turn (view k at k 2 pi / M) are then put at half
// their angles, and the image is badly wrong without a word.
//
// A whole turn says so itself: view k + M/2 looks from the other side of
// the object, so it is view k mirrored about the axis c (detector j read at
// 2c - j). In a half turn view k + M/2 is a quarter turn on and, for an
// object that does not look alike from every side, unlike that mirror.
// The reading weighs three sums over the pairs (k, k + M/2):
// - opposite: view k + M/2 against view k mirrored, about the axis within
//   kTurnAxisReach of the one given where they match best (an axis given a
//   little off would otherwise hide a whole turn, whose object is often
//   nearly symmetric: the head's views differ from their mirrors by 3 % of
//   their energy, and an axis a quarter detector off doubles that);
// - same: view k + M/2 against view k as it is;
// - step: view k against the view about two degrees on, were the views a
//   whole turn: the change one expects of views that nearly match.
// A whole turn matches the mirror far better than the views as they are,
// and within a few steps' change. A half turn matches both about equally
// badly, by the change of a quarter turn; the searched axis can lower the
// mirror's mismatch of a disc off the axis to a twentieth of the plain one,
// but with kWholeTurnMinViews views or more never to a few steps' change. An object whose every view is symmetric
// about the axis (alike from every side, or symmetric about the axis
// point) matches both equally, which decides nothing. The seam gives a
// second opinion: a half turn's last view is followed by its first one
// mirrored, a whole turn's by its first one as it is; a seam that sides
// clearly with the half turn vetoes the whole one.
// Both views of a comparison are read at the same fraction past a
// detector, through the kernel a fold reads between detectors (fold.h),
// and smoothed by 1/4, 1/2, 1/4: the sharp edges a detector samples do
// not survive a shift by a part of a detector, and left sharp they made
// a mismatch as large as a nearly symmetric object's own (the head's).
#pragma once

#include <string>

// Fewer views than this give no reading: with steps of more than 3
// degrees, a half turn of a disc a little off the axis matches the mirror
// about an axis near the one given within a few steps' change.
inline constexpr int kWholeTurnMinViews = 64;
// How far from the axis given the mirror's axis is looked for, detectors.
inline constexpr double kTurnAxisReach = 4;

// The sums the reading takes, over the columns whose mirror lies on the
// detector, each divided by the pairs' energy (the sum of both views'
// squares), so that 0 is a perfect match; and the seam's two sums, the
// first few views against the last ones.
struct TurnMatch {
    double axis = 0;      // where the mirror matches best
    double opposite = 0;  // view k + M/2 against view k mirrored about it
    double same = 0;      // view k + M/2 against view k as it is
    double step = 0;      // view k against the view about two degrees on
    double seam_mirrored = 0;  // view M-1-i against view i mirrored
    double seam_plain = 0;     // view M-1-i against view i as it is
};

// The sums for `views` x `detectors` samples (view 0 first, at least 2
// views, at least 3 detectors) about the axis
// `center`, strictly inside the detector. With an odd M, view k + M/2 is
// the mean of the two views around it. At most 64 pairs spread over the
// views are summed: a small part of a reconstruction's work.
TurnMatch MeasureTurnMatch(const double *samples, int detectors, int views, double center);

// Whether the sums read as a whole turn: the mirror matches at least ten
// times better than the views as they are and within four steps' change,
// the views are not all alike (`same` at least 1e-6), and the seam does
// not side with a half turn (its mirrored sum under half its plain one).
// A sum that is not a number reads as nothing.
bool ReadsAsWholeTurn(const TurnMatch &match);

// Whether views given as an even half turn look like a whole turn: enough
// views and detectors, and the sums read so.
bool LooksLikeWholeTurn(const double *samples, int detectors, int views, double center);

// The warning line for such views; `remedy` tells the program's way to
// give the whole turn ("give the angles with -a").
std::string WholeTurnWarning(const char *remedy);
