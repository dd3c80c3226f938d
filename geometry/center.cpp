#include "center.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "checks.h"
#include "memory.h"
#include "minimise.h"
#include "real.h"

namespace {

// Grid steps of the two searches, fine enough that the criterion's fastest
// oscillation (a period of at least one detector) cannot hide a minimum
// between two points.
constexpr double kCoarseStep = 0.25;
constexpr double kFineStep = 0.125;
// A fine search looks this far on either side of its window's middle.
constexpr double kFineReach = 4;
// A minimum is clear when every other local minimum of the coarse search,
// more than kApart detectors away, lies higher by this share of the
// criterion's range.
constexpr double kMinContrast = 0.1;
// Share of the fine window's half width taken by each taper, and of the
// check's; the two estimates must agree within kAgreement detectors.
constexpr double kTaper = 0.25;
constexpr double kCheckTaper = 0.5;
constexpr double kAgreement = 0.1;
// The fixed point is taken as found when the minimum stays this close to
// the window's middle; the search gives up after kFinePasses moves.
constexpr double kSettled = 0.002;
constexpr int kFinePasses = 12;
// Pairs of opposite views the check for a full turn compares, at most.
constexpr int kCheckPairs = 128;
// The seam reads as one turn when its match is this many times better than
// the other's.
constexpr double kSeamMargin = 1.5;

struct Criterion {
    const std::complex<double> *weights;
    int count;
    int length;
    double operator()(double c) const { return WedgeCriterion(weights, count, length, c); }
};


struct Minimum {
    double center;
    double contrast;  // 1 when no other local minimum competes
};

// The criterion on a grid over [lo, hi] (values: room for every point),
// its lowest point refined between its neighbours, and how clearly it
// stands out.
Minimum Minimise(const Criterion &f, double lo, double hi, double step, double *values) {
    long points = static_cast<long>(std::floor((hi - lo) / step)) + 1;
    double best = f(lo), worst = best;
    long best_at = 0;
    for (long i = 0; i < points; ++i) {
        values[i] = f(lo + i * step);
        if (values[i] < best) best = values[i], best_at = i;
        if (values[i] > worst) worst = values[i];
    }
    double rival = worst;
    for (long i = 0; i < points; ++i) {
        bool local = (i == 0 || values[i] <= values[i - 1]) && (i == points - 1 || values[i] <= values[i + 1]);
        if (local && std::fabs(i - best_at) * step > kApart && values[i] < rival) rival = values[i];
    }
    double c = lo + best_at * step;
    double left = c - step < lo ? lo : c - step, right = c + step > hi ? hi : c + step;
    Minimum m{GoldenSection(f, left, right), 1};
    m.contrast = worst > best ? (rival - best) / (worst - best) : 0;
    return m;
}

// TaperedWindow, times the work's scale.
void ScaledWindow(CenterWork *work, int n, double middle, double half_width, double taper) {
    TaperedWindow(work->window, n, middle, half_width, taper);
    for (int s = 0; s < n; ++s) work->window[s] *= work->scale;
}

// One fine search: the window centred on `middle`, reaching to the nearer
// edge of the field with tapers of the given share of its half width;
// *minimum is where the criterion is lowest within kFineReach. False when
// the window would be too narrow to decide.
bool Refine(const double *samples, int n, CenterWork *work, double taper, double middle, double *minimum) {
    const double lo = 0.5, hi = n - 1.5;
    double reach = std::fmin(middle, n - 1 - middle) + 1;
    if (reach < 2) return false;
    ScaledWindow(work, n, middle, reach, std::fmax(reach * taper, 1));
    int count = WedgeWeights(samples, work->outliers.outliers, work->window, reach, work->fine_length, &work->wedge,
                             work->weights);
    double from = std::fmax(middle - kFineReach, lo), to = std::fmin(middle + kFineReach, hi);
    *minimum = Minimise(Criterion{work->weights, count, work->fine_length}, from, to, kFineStep, work->grid).center;
    return true;
}

}  // namespace

bool AllocateCenterWork(CenterWork *work, int detectors, int views) {
    *work = CenterWork{};
    // A fine search only looks kFineReach either side of its window's
    // middle, so its criterion may repeat with a period much shorter than
    // the field's: its transforms need only clear the window's mirror
    // images by that much, about half the coarse search's length.
    int length = DetectorTransformLength(detectors);
    work->fine_length = SmoothLength(detectors + 4 * static_cast<long long>(kFineReach) + 2, kLargestPrime);
    if (length == 0 || work->fine_length == 0) return false;
    if (work->fine_length > length) work->fine_length = length;
    // Frequencies as many as the coarse search or the widest fine window
    // (an axis in the middle of the field) uses; narrower windows, which
    // could use more, keep to the same ones rather than double the memory.
    int capacity = WedgeFrequencyCount(length, views, detectors - 1);
    int fine = WedgeFrequencyCount(work->fine_length, views, (detectors - 1) / 2.0 + 1);
    if (!AllocateWedgeWork(&work->wedge, detectors, views, capacity > fine ? capacity : fine)) return false;
    // Grid points of the coarse search over the field, or of a fine one.
    std::size_t grid = static_cast<std::size_t>(std::fmax((detectors - 2) / kCoarseStep, 2 * kFineReach / kFineStep)) + 2;
    return work->window.Allocate(detectors) && work->weights.Allocate(work->wedge.capacity) &&
           work->grid.Allocate(grid) && AllocateOutlierWork(&work->outliers, detectors, views) &&
           AllocateOppositeWork(&work->opposite, detectors, views);
}

// The half-turn search proper, on data whose outliers are known.
static CenterEstimate SearchHalfTurn(const double *samples, CenterWork *work) {
    const int n = work->wedge.detectors;
    const double lo = 0.5, hi = n - 1.5;
    const int length = work->wedge.length;

    // Coarse: the whole field, its edges tapered so that an object cut by
    // them does not end in a step; data may lie up to N - 1 from the axis.
    double middle = (n - 1) / 2.0;
    work->scale = UnitScale(work->outliers.outliers.largest);
    ScaledWindow(work, n, middle, middle + 1, std::fmax(n / 8.0, 1));
    int count = WedgeWeights(samples, work->outliers.outliers, work->window, n - 1, length, &work->wedge,
                             work->weights);
    Minimum coarse = Minimise(Criterion{work->weights, count, length}, lo, hi, kCoarseStep, work->grid);
    if (coarse.contrast < kMinContrast) return CenterEstimate{false, coarse.center};

    // Fine: only the columns that have mirror partners within the field,
    // windowed symmetrically about a middle w, so that both halves of the
    // whole turn see the same part of the object. Where the object reaches
    // the window's edges the window itself pulls the minimum towards w, so
    // the minimum g(w) lies between w and the axis; the axis is the fixed
    // point g(w) = w, found by the secant method on g(w) - w (one plain
    // step first). An object inside the field settles at once.
    double w = coarse.center, found = 0;
    if (!Refine(samples, n, work, kTaper, w, &found)) return CenterEstimate{false, w};
    double f = found - w, w_before = w, f_before = f;
    // Written so that a value that is not a number never counts as settled.
    for (int pass = 0; !(std::fabs(f) < kSettled); ++pass) {
        if (pass == kFinePasses) return CenterEstimate{false, found};
        double next = found;
        if (pass > 0 && f != f_before && w != w_before) {
            double slope = (f - f_before) / (w - w_before);
            if (slope < 0) next = w - f / slope;
        }
        next = std::fmin(std::fmax(next, w - kFineReach), w + kFineReach);
        next = std::fmin(std::fmax(next, lo), hi);
        w_before = w;
        f_before = f;
        w = next;
        if (!Refine(samples, n, work, kTaper, w, &found)) return CenterEstimate{false, w};
        f = found - w;
    }
    double c = found;
    // A window of another shape must settle at the same place: an object
    // cut by the field's edges so much that the windows disagree gets no
    // answer rather than a wrong one.
    double check = 0;
    if (!Refine(samples, n, work, kCheckTaper, c, &check)) return CenterEstimate{false, c};
    if (!(std::fabs(check - c) <= kAgreement)) return CenterEstimate{false, c};
    return CenterEstimate{true, c};
}

// Whether views evenly spread read as a full turn rather than as a half
// turn, given what each search found (o.found, and the two centers more
// than kAgreement apart or e not found). A half turn's last view is close
// to its first one mirrored about the axis; a full turn's to its first one
// as it is, and its views to their opposite ones mirrored about its axis.
static bool ReadsAsFullTurn(const double *samples, const Outliers &outliers, OppositeWork *opposite,
                            const CenterEstimate &e, const OppositeEstimate &o) {
    // The half turn's seam, about its own answer when it has one.
    double seam_center = e.found ? e.center : o.center;
    double mirrored = SeamMismatch(samples, outliers, seam_center, true, opposite);
    double plain = SeamMismatch(samples, outliers, seam_center, false, opposite);
    return plain * kSeamMargin < mirrored || (e.found && o.mismatch * kSeamMargin < mirrored);
}

// Whether every view is a straight line along the detector (constant ones
// included), to the rounding of its samples: such views say nothing of
// where the axis is (a constant one is symmetric about every column, a
// sloped one about none), and any minimum of a criterion over them is
// rounding's.
static bool EveryViewStraight(const double *samples, int n, int m) {
    for (int k = 0; k < m; ++k) {
        const double *view = samples + static_cast<std::size_t>(k) * static_cast<std::size_t>(n);
        double largest = 0;
        for (int s = 0; s < n; ++s) largest = std::fmax(largest, std::fabs(view[s]));
        for (int s = 1; s + 1 < n; ++s) {
            if (std::fabs(view[s - 1] - 2 * view[s] + view[s + 1]) > 1e-12 * largest) return false;
        }
    }
    return true;
}

// Every sample finite, some view not a straight line, and the outliers
// found: what both searches need.
static bool Prepare(const double *samples, int n, int m, OutlierWork *outliers) {
    return AllFinite(samples, static_cast<std::size_t>(n) * static_cast<std::size_t>(m)) &&
           !EveryViewStraight(samples, n, m) && FindOutliers(samples, outliers);
}

CenterEstimate FindCenter(const double *samples, CenterWork *work) {
    const int n = work->wedge.detectors, m = work->wedge.views;
    if (!Prepare(samples, n, m, &work->outliers)) return CenterEstimate{false, (n - 1) / 2.0};
    CenterEstimate e = SearchHalfTurn(samples, work);
    // Read as a full turn, do the views match their opposite ones? A full
    // turn's do, and its half-turn answer is wrong; but so may a half
    // turn's (an object alike from every side, where the two answers
    // agree, or a smooth one, less well): the seam decides.
    int pairs = EvenFullTurnPairs(m, work->opposite.pairs);
    // A few pairs spread over the turn tell whether opposite views match,
    // at a small part of the cost of all of them.
    if (pairs > kCheckPairs) {
        for (int i = 0; i < kCheckPairs; ++i) {
            work->opposite.pairs[i] = work->opposite.pairs[static_cast<long long>(i) * pairs / kCheckPairs];
        }
        pairs = kCheckPairs;
    }
    OppositeEstimate o = FindOppositeCenter(samples, work->outliers.outliers, work->opposite.pairs, pairs,
                                            &work->opposite);
    if (!o.found || (e.found && std::fabs(e.center - o.center) <= kAgreement)) return e;
    if (ReadsAsFullTurn(samples, work->outliers.outliers, &work->opposite, e, o)) {
        CenterEstimate full{false, o.center};
        full.full_turn = true;
        return full;
    }
    return e;
}

CenterEstimate FindEvenFullTurnCenter(const double *samples, CenterWork *work) {
    const int n = work->wedge.detectors, m = work->wedge.views;
    if (!Prepare(samples, n, m, &work->outliers)) return CenterEstimate{false, (n - 1) / 2.0};
    int pairs = EvenFullTurnPairs(m, work->opposite.pairs);
    OppositeEstimate o = FindOppositeCenter(samples, work->outliers.outliers, work->opposite.pairs, pairs,
                                            &work->opposite);
    if (!o.found) return CenterEstimate{false, o.center};
    // A seam that reads clearly as a full turn's settles it; otherwise the
    // same views are read as a half turn: when that reading finds its own
    // axis elsewhere and the seam sides with it, the views are a half turn.
    CenterEstimate none{false, o.center};
    if (ReadsAsFullTurn(samples, work->outliers.outliers, &work->opposite, none, o)) {
        return CenterEstimate{true, o.center};
    }
    CenterEstimate e = SearchHalfTurn(samples, work);
    if (!e.found || std::fabs(e.center - o.center) <= kAgreement) return CenterEstimate{true, o.center};
    if (ReadsAsFullTurn(samples, work->outliers.outliers, &work->opposite, e, o)) {
        return CenterEstimate{true, o.center};
    }
    CenterEstimate half{false, o.center};
    half.half_turn = true;
    return half;
}

CenterEstimate FindClearFullTurnCenter(const double *samples, FullTurnWork *work) {
    const int n = work->opposite.detectors, m = work->opposite.views;
    if (!Prepare(samples, n, m, &work->outliers)) return CenterEstimate{false, (n - 1) / 2.0};
    int pairs = EvenFullTurnPairs(m, work->opposite.pairs);
    OppositeEstimate o = FindOppositeCenter(samples, work->outliers.outliers, work->opposite.pairs, pairs,
                                            &work->opposite);
    CenterEstimate none{false, o.center};
    bool clear = o.found && ReadsAsFullTurn(samples, work->outliers.outliers, &work->opposite, none, o);
    return CenterEstimate{clear, o.center};
}

bool AllocateFullTurnWork(FullTurnWork *work, int detectors, int views) {
    *work = FullTurnWork{};
    return AllocateOutlierWork(&work->outliers, detectors, views) &&
           AllocateOppositeWork(&work->opposite, detectors, views);
}

CenterEstimate FindFullTurnCenter(const double *samples, const ViewSet &views, FullTurnWork *work) {
    const int n = work->opposite.detectors, m = work->opposite.views;
    if (!Prepare(samples, n, m, &work->outliers)) return CenterEstimate{false, (n - 1) / 2.0};
    int pairs = OppositePairs(views, &work->opposite);
    OppositeEstimate o = FindOppositeCenter(samples, work->outliers.outliers, work->opposite.pairs, pairs,
                                            &work->opposite);
    return CenterEstimate{o.found, o.center};
}

Status FindTurnCenter(const double *samples, int detectors, int views, const ViewSet *angles,
                      CenterEstimate *estimate) {
    if (angles != nullptr) {
        FullTurnWork work;
        if (!AllocateFullTurnWork(&work, detectors, views)) return Failure("memory allocation error.");
        *estimate = FindFullTurnCenter(samples, *angles, &work);
        return Success();
    }
    {
        FullTurnWork first;  // given back before the larger work is made
        if (!AllocateFullTurnWork(&first, detectors, views)) return Failure("memory allocation error.");
        *estimate = FindClearFullTurnCenter(samples, &first);
    }
    if (estimate->found) return Success();
    CenterWork work;
    if (!AllocateCenterWork(&work, detectors, views)) return Failure("memory allocation error.");
    *estimate = FindEvenFullTurnCenter(samples, &work);
    return Success();
}

int EvenHalfTurnOrder(const ViewSet &views, int *order) {
    const int m = views.count;
    const double *a = views.angles;
    for (int k = 0; k < m; ++k) order[k] = k;
    std::stable_sort(order, order + m, [a](int x, int y) { return a[x] < a[y]; });
    std::vector<double> sorted(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) sorted[static_cast<std::size_t>(i)] = a[order[i]];
    // Every view, or all but the last when it closes the half turn (0 ...
    // 180 inclusive); a longer run (a full turn) is not a half turn.
    int used = EvenHalfTurnStart(sorted.data(), m);
    if (used == m) return m;
    if (used == m - 1 && std::fabs(sorted[m - 1] - sorted[0] - kPi) <= 2 * kEvenTolerance * kPi / used) return used;
    return 0;
}
