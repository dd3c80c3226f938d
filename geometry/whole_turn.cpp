#include "whole_turn.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "fold.h"

namespace {

// The mirror must match this many times better than the views as they are,
constexpr double kMargin = 10;
// and within this many steps' change.
constexpr double kSteps = 4;
// Views this much alike as they are (a share of their energy) say nothing.
constexpr double kLeastDifference = 1e-6;
// The seam vetoes the whole turn when its mirrored match is this many
// times better than its plain one.
constexpr double kSeamMargin = 2;
// Views on either side of the seam compared, at most.
constexpr int kSeamViews = 4;
// Pairs summed, at most, and the grid of the axis's search.
constexpr int kPairs = 64;
constexpr double kAxisStep = 0.25;

const double *View(const double *samples, int detectors, int k) {
    return samples + static_cast<std::size_t>(k) * static_cast<std::size_t>(detectors);
}

// Where the views are compared about an axis c, 2c = F + f (F whole, f in
// [0, 1)): view k + M/2 at x = j + f/2 against view k at 2c - x =
// (F - j) + f/2. Both positions lie the same fraction past a detector, so
// that both views are read through the same kernel (fold.h's, then
// smoothed by 1/4, 1/2, 1/4) and blurred alike.
struct Mirror {
    int whole;  // F
    double half_fraction;  // f/2
    double taps[8];
    int first, last;  // the columns j whose both positions lie on the detector

    // A view at j + f/2, smoothed (the edge samples repeated beyond the
    // detector).
    double At(const double *view, int detectors, int j) const {
        double sum = 0;
        for (int i = 0; i < 8; ++i) {
            int at = j + i - 3;
            sum += taps[i] * view[at < 0 ? 0 : at >= detectors ? detectors - 1 : at];
        }
        return sum;
    }
};

Mirror MakeMirror(int detectors, double center) {
    Mirror m{};
    double twice = 2 * center;
    m.whole = static_cast<int>(std::floor(twice));
    m.half_fraction = (twice - m.whole) / 2;
    double lanczos[6] = {0, 0, 1, 0, 0, 0};
    if (m.half_fraction > 0) LanczosTaps(m.half_fraction, lanczos);
    const double smooth[3] = {0.25, 0.5, 0.25};
    for (double &t : m.taps) t = 0;
    for (int i = 0; i < 6; ++i)
        for (int s = 0; s < 3; ++s) m.taps[i + s] += lanczos[i] * smooth[s];
    // j + f/2 and F - j + f/2 within [0, N - 1].
    int reach = m.half_fraction > 0 ? detectors - 2 : detectors - 1;
    m.first = m.whole - reach > 0 ? m.whole - reach : 0;
    m.last = m.whole < reach ? m.whole : reach;
    return m;
}

// The pairs: view k, and view k + M/2 (the mean of the two views around
// it for an odd M).
struct Pairs {
    const double *samples;
    int detectors, views;
    int count;  // pairs summed
    int half;   // M/2, rounded down
    int first(int i) const {
        int pairs = views % 2 != 0 ? (views - 1) / 2 : half;
        return static_cast<int>(static_cast<long long>(i) * pairs / count);
    }
    double partner(const Mirror &m, int k, int j) const {
        double a = m.At(View(samples, detectors, k + half), detectors, j);
        if (views % 2 == 0) return a;
        return (a + m.At(View(samples, detectors, k + half + 1), detectors, j)) / 2;
    }
};

// The pairs' mismatch against the mirror about `center`, over their
// energy; 1 when the views hold nothing there.
double OppositeShare(const Pairs &p, double center) {
    Mirror m = MakeMirror(p.detectors, center);
    double mismatch = 0, energy = 0;
    for (int i = 0; i < p.count; ++i) {
        int k = p.first(i);
        const double *view = View(p.samples, p.detectors, k);
        for (int j = m.first; j <= m.last; ++j) {
            double partner = p.partner(m, k, j), mirrored = m.At(view, p.detectors, m.whole - j);
            mismatch += (partner - mirrored) * (partner - mirrored);
            energy += partner * partner + mirrored * mirrored;
        }
    }
    return energy > 0 ? mismatch / energy : 1;
}

}  // namespace

TurnMatch MeasureTurnMatch(const double *samples, int detectors, int views, double center) {
    TurnMatch match;
    Pairs p{samples, detectors, views, 0, views / 2};
    int pairs = views % 2 != 0 ? (views - 1) / 2 : p.half;
    p.count = pairs < kPairs ? pairs : kPairs;
    // The axis: the grid's best point within reach (and strictly inside the
    // detector), refined by the parabola through it and its neighbours.
    const double lo = std::fmax(center - kTurnAxisReach, 0.5), hi = std::fmin(center + kTurnAxisReach, detectors - 1.5);
    const int points = hi >= lo ? static_cast<int>(std::floor((hi - lo) / kAxisStep)) + 1 : 0;
    std::vector<double> shares(static_cast<std::size_t>(points));
    double best = center, lowest = OppositeShare(p, center);
    int at = -1;
    for (int i = 0; i < points; ++i) {
        double share = shares[static_cast<std::size_t>(i)] = OppositeShare(p, lo + i * kAxisStep);
        if (share < lowest) lowest = share, best = lo + i * kAxisStep, at = i;
    }
    if (at > 0 && at + 1 < points) {
        double before = shares[static_cast<std::size_t>(at - 1)], after = shares[static_cast<std::size_t>(at + 1)];
        double curvature = before - 2 * lowest + after;
        if (curvature > 0) {
            double refined = best + kAxisStep * (before - after) / (2 * curvature);
            if (OppositeShare(p, refined) < lowest) best = refined;
        }
    }
    match.axis = best;

    // Every sum about that axis, each view read at the same positions.
    const Mirror m = MakeMirror(detectors, best);
    const int ahead = views / 180 > 1 ? views / 180 : 1;  // about two degrees of a whole turn
    double energy = 0;
    for (int i = 0; i < p.count; ++i) {
        int k = p.first(i);
        const double *view = View(samples, detectors, k), *next = View(samples, detectors, k + ahead);
        for (int j = m.first; j <= m.last; ++j) {
            double partner = p.partner(m, k, j), mirrored = m.At(view, detectors, m.whole - j);
            double here = m.At(view, detectors, j), on = m.At(next, detectors, j);
            match.opposite += (partner - mirrored) * (partner - mirrored);
            match.same += (partner - here) * (partner - here);
            match.step += (on - here) * (on - here);
            energy += partner * partner + mirrored * mirrored;
        }
    }
    if (energy > 0) {
        match.opposite /= energy;
        match.same /= energy;
        match.step /= energy;
    }
    int seam = views / 8 < kSeamViews ? views / 8 : kSeamViews;
    for (int i = 0; i < seam; ++i) {
        const double *view = View(samples, detectors, i), *end = View(samples, detectors, views - 1 - i);
        for (int j = m.first; j <= m.last; ++j) {
            double last = m.At(end, detectors, j);
            double mirrored = m.At(view, detectors, m.whole - j), plain = m.At(view, detectors, j);
            match.seam_mirrored += (last - mirrored) * (last - mirrored);
            match.seam_plain += (last - plain) * (last - plain);
        }
    }
    return match;
}

bool ReadsAsWholeTurn(const TurnMatch &match) {
    // Written so that a sum that is not a number never reads as a whole turn.
    bool mirror_better = match.opposite * kMargin < match.same && match.same >= kLeastDifference;
    bool within_steps = match.opposite <= kSteps * match.step;
    bool seam_against = match.seam_mirrored * kSeamMargin < match.seam_plain;
    return mirror_better && within_steps && !seam_against && std::isfinite(match.seam_plain) &&
           std::isfinite(match.seam_mirrored);
}

bool LooksLikeWholeTurn(const double *samples, int detectors, int views, double center) {
    if (views < kWholeTurnMinViews || detectors < 3) return false;
    return ReadsAsWholeTurn(MeasureTurnMatch(samples, detectors, views, center));
}

std::string WholeTurnWarning(const char *remedy) {
    return std::string("warning: the views look like a whole turn (view k + M/2 mirrors view k): ") + remedy +
           "; as a half turn the image is wrong.";
}
