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
    double partner(int k, int j) const {
        const double *a = View(samples, detectors, k + half);
        if (views % 2 == 0) return a[j];
        return (a[j] + View(samples, detectors, k + half + 1)[j]) / 2;
    }
};

// The columns whose mirror about g's axis lies on the detector.
void Columns(const FoldGeometry &g, int *first, int *last) {
    *first = static_cast<int>(std::ceil(g.first));
    *last = static_cast<int>(std::floor(g.last));
}

// The pairs' mismatch against the mirror about `center`, and their energy
// over the same columns.
void Opposite(const Pairs &p, double center, double *mismatch, double *energy) {
    *mismatch = 0;
    *energy = 0;
    FoldGeometry g;
    if (!MakeFoldGeometry(p.detectors, center, &g)) return;
    int from = 0, to = -1;
    Columns(g, &from, &to);
    for (int i = 0; i < p.count; ++i) {
        int k = p.first(i);
        const double *view = View(p.samples, p.detectors, k);
        for (int j = from; j <= to; ++j) {
            double partner = p.partner(k, j), mirrored = OppositeAt(view, g, j);
            *mismatch += (partner - mirrored) * (partner - mirrored);
            *energy += partner * partner + mirrored * mirrored;
        }
    }
}

// Opposite's share of the energy; 1 when the views hold nothing there.
double OppositeShare(const Pairs &p, double center) {
    double mismatch = 0, energy = 0;
    Opposite(p, center, &mismatch, &energy);
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

    FoldGeometry g;
    if (!MakeFoldGeometry(detectors, best, &g)) return match;
    int from = 0, to = -1;
    Columns(g, &from, &to);
    // About two degrees of a whole turn.
    const int ahead = views / 180 > 1 ? views / 180 : 1;
    double energy = 0;
    for (int i = 0; i < p.count; ++i) {
        int k = p.first(i);
        const double *view = View(samples, detectors, k), *next = View(samples, detectors, k + ahead);
        for (int j = from; j <= to; ++j) {
            double partner = p.partner(k, j), mirrored = OppositeAt(view, g, j);
            match.opposite += (partner - mirrored) * (partner - mirrored);
            match.same += (partner - view[j]) * (partner - view[j]);
            match.step += (next[j] - view[j]) * (next[j] - view[j]);
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
        for (int j = from; j <= to; ++j) {
            double mirrored = OppositeAt(view, g, j);
            match.seam_mirrored += (end[j] - mirrored) * (end[j] - mirrored);
            match.seam_plain += (end[j] - view[j]) * (end[j] - view[j]);
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
