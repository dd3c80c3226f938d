// Finding the rotation axis of a sinogram.
//
// Half turns (FindCenter): a coarse search of the wedge criterion over the
// whole field, then a finer one with the data windowed symmetrically about
// the first estimate; a sinogram whose views match their opposite ones as
// a full turn's do is recognised and gets no half-turn answer.
// Full turns (FindFullTurnCenter): each view matched with its opposite one
// mirrored (opposite.h), wherever the axis lies.
// Both search with outliers replaced (outliers.h) and refuse samples that
// are not finite.
#pragma once

#include <complex>
#include <cstddef>

#include "owned.h"
#include "status.h"
#include "opposite.h"
#include "outliers.h"
#include "taper.h"
#include "views.h"
#include "wedge.h"

// Smallest sinogram the search can decide on. The wedge begins 8
// harmonics above the object's reach and ends below M: fewer than 16 views
// leave it a handful of frequencies or none.
inline constexpr int kMinDetectors = 3;
inline constexpr int kMinViews = 16;

// Buffers of one search, allocated before any computation.
struct CenterWork {
    WedgeWork wedge;
    int fine_length;                 // detector transform of the fine searches
    Owned<double> window;                  // detectors values
    Owned<std::complex<double>> weights;   // wedge.capacity values
    Owned<double> grid;                    // the criterion along a search's grid
    double scale;                    // of the windows: a power of two, set by FindCenter
    OutlierWork outliers;
    OppositeWork opposite;           // the check for a full turn
};

bool AllocateCenterWork(CenterWork *work, int detectors, int views);

// What the search found: `found` is false when the criterion has no clear
// minimum (a blank sinogram, one whose halves match equally well at
// several places, one with a sample that is not finite or with more
// outliers than the search replaces). `full_turn` is true when views given
// as a half turn were refused because they read as a full turn (view
// k + M/2 is view k mirrored); `half_turn` when views given as a full turn
// were refused because they read as a half turn. `center` is then what the
// other reading found.
struct CenterEstimate {
    bool found;
    double center;
    bool full_turn = false;
    bool half_turn = false;
};

// The axis of a half-turn sinogram of the work's size (views x detectors
// samples, view 0 first, views evenly over the half turn); the estimate
// lies within [0.5, detectors - 1.5].
CenterEstimate FindCenter(const double *samples, CenterWork *work);

// The axis of a sinogram of the work's size whose M views cover the full
// turn evenly (view k at k 2 pi / M): each view matched with the one M/2
// on, mirrored. Refused as a half turn when the views also read as one,
// with an axis of their own, and the seam sides with that reading.
CenterEstimate FindEvenFullTurnCenter(const double *samples, CenterWork *work);

// Views at any angles covering the whole turn.
struct FullTurnWork {
    OutlierWork outliers;
    OppositeWork opposite;
};

bool AllocateFullTurnWork(FullTurnWork *work, int detectors, int views);

// The axis of a sinogram of the work's size whose views lie at the angles
// of `views` (views.count rows, the work's count, covering the full turn):
// found when its views match their opposite ones mirrored about a clear
// minimum within [0.5, detectors - 1.5].
CenterEstimate FindFullTurnCenter(const double *samples, const ViewSet &views, FullTurnWork *work);

// A first look at views evenly over the full turn, in the smaller work:
// `found` when FindEvenFullTurnCenter would find the same center without
// reading the views as a half turn (the seam reads clearly as a full
// turn's). Otherwise FindEvenFullTurnCenter decides.
CenterEstimate FindClearFullTurnCenter(const double *samples, FullTurnWork *work);

// The axis of a sinogram (views x detectors samples) whose views cover the
// whole turn, as sino_center finds it: at the angles of `views` when given
// (FindFullTurnCenter), else evenly over the turn (`views` null): a clear
// full turn in the smaller work, else FindEvenFullTurnCenter, which may
// read the views as a half turn (estimate->half_turn). The work is
// allocated here and given back. Fails only with "memory allocation
// error.".
Status FindTurnCenter(const double *samples, int detectors, int views, const ViewSet *angles,
                      CenterEstimate *estimate);

// Whether the angles are the half turn FindCenter takes, up to the order of
// the views, their direction and where they start: sorted, each lies within
// a hundredth of a step of the even half turn closest to them, whose last
// view is one step short of half a turn after its first, or half a turn
// after it exactly (that last view, the first one mirrored, is then left
// out).
// `order` (room for views.count) receives the views to search, in the
// order of their angles; returns how many, or 0 when the angles are not
// such a half turn.
int EvenHalfTurnOrder(const ViewSet &views, int *order);
