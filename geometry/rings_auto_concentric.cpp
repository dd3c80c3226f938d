// Stripe removal's auto method on an edge concentric with the axis (a disk
// or a capillary on it): what its mirror tells of the stripes found there
// (rings_auto.h, Edges on the axis).
#include <algorithm>
#include <cmath>

#include "median.h"
#include "rings_auto.h"
#include "rings_auto_parts.h"

using namespace auto_parts;

namespace {

// A column that reads the same in most views: the object is round about
// the axis at its distance from it.
bool Steady(const AutoWork &work, int j, double slack) { return work.quartile[j] <= slack; }

// A steady column keeps within the level fraction, or the noise, in three
// quarters of the views; twins agree within the least stripe, or what the
// noise leaves in the difference of two medians.
double Slack(const AutoWork &work) { return std::max(kAutoLevelFraction * work.level, 2 * work.noise); }
double Agree(const AutoWork &work) {
    return std::max(kAutoLeastFraction * work.level, 6 * work.noise / std::sqrt(work.rows));
}

// Whether column j's mirror is known to be its twin: of the pairs of
// columns up to kConcentricReach beside the pair, at least
// kConcentricTwins read alike, inside the object, and steady (a stripe
// found on an edge's twins is their bend). Off the axis, or where the
// mirror is an object's other side, they differ.
bool MirrorConfirmed(const AutoWork &work, int j, double slack, double agree) {
    const int n = work.columns;
    int twins = 0;
    for (int d = -kConcentricReach; d <= kConcentricReach; ++d) {
        const int a = j + d, b = n - 1 - a;
        // Each other pair once, never the pair itself (by the axis the
        // window reaches its mirror).
        if (a < 0 || b - a <= 1 || a == j || b == j) continue;
        twins += Steady(work, a, slack) && Steady(work, b, slack) &&
                 std::fabs(work.reading[a]) > slack && std::fabs(work.reading[a] - work.reading[b]) <= agree;
    }
    return twins >= kConcentricTwins;
}

// The pairs kept: column j of each, its mirror n - 1 - j.
bool Kept(const AutoWork &work, int j) { return j < work.columns / 2 && work.twin_at[j] >= 0; }

// The median over the views of how far the column now departs from what
// was kept of it.
double Moved(const double *samples, const AutoWork &work, int j, double *scratch) {
    const double *before = work.twins + static_cast<std::size_t>(work.twin_at[j]) * work.rows;
    for (int k = 0; k < work.rows; ++k) scratch[k] = samples[static_cast<std::size_t>(work.columns) * k + j] - before[k];
    return MedianOf(scratch, work.rows);
}

// How far the pair's mean profile bends about column j, from the columns
// one and two away on either side (j itself not read: it carries half the
// stripe): at the edge of a disk it bends far more than a stripe's size,
// and a stripe there cannot be told by the profile's shape.
double Bend(const AutoWork &work, int j) {
    const int n = work.columns;
    if (j < 2 || j + 2 >= n) return INFINITY;
    double mean[5];
    for (int d = -2; d <= 2; ++d) mean[d + 2] = 0.5 * (work.reading[j + d] + work.reading[n - 1 - j - d]);
    double weights[4];
    CubicWeights(Neighbours{1, 3, 0, 4}, 2, weights);
    const double cubic = CubicFrom(mean, Neighbours{1, 3, 0, 4}, weights);
    return std::fabs(cubic - 0.5 * (mean[1] + mean[3]));
}

}  // namespace

void KeepConcentric(const double *samples, AutoWork *work) {
    const int n = work->columns, m = work->rows;
    const double slack = Slack(*work), agree = Agree(*work);
    std::fill(work->twin_at.get(), work->twin_at + n, -1);
    if (!(agree > 0)) return;
    int kept = 0;
    for (int j = 0; j < n / 2 && kept + 2 <= kTwinsKept; ++j) {
        const int i = n - 1 - j;
        if (i - j <= 1 || !Steady(*work, j, slack) || !Steady(*work, i, slack)) continue;
        // Those that differ, and those the stages may mend: beside a
        // stripe found.
        if (!(work->stripes[j] || work->stripes[i] || NearStripe(work->stripes, n, j, 2) ||
              NearStripe(work->stripes, n, i, 2) ||
              std::fabs(work->reading[j] - work->reading[i]) > agree))
            continue;
        if (!MirrorConfirmed(*work, j, slack, agree)) continue;
        work->twin_at[j] = kept;
        work->twin_at[i] = kept + 1;
        for (int c : {j, i}) {
            double *to = work->twins + static_cast<std::size_t>(work->twin_at[c]) * m;
            for (int k = 0; k < m; ++k) to[k] = samples[static_cast<std::size_t>(n) * k + c];
        }
        kept += 2;
    }
}

int MendConcentric(double *samples, AutoWork *work) {
    const int n = work->columns, m = work->rows;
    const std::size_t stride = static_cast<std::size_t>(n);
    const double agree = Agree(*work);
    double *scratch = work->scratch;
    int set = 0;
    // A sinogram with no level has nothing to measure a difference by.
    if (!(agree > 0)) return 0;
    for (int j = 0; j < n / 2; ++j) {
        if (!Kept(*work, j)) continue;
        const int i = n - 1 - j;
        const double own = Moved(samples, *work, j, scratch), theirs = Moved(samples, *work, i, scratch);
        // The pair's difference is the stripes' difference: the object
        // reads alike in both. What they share is the object's for all one
        // can tell (a ring at that radius reads so), and stays.
        const double apart = work->reading[j] - work->reading[i];
        // What the stages' mending left of it.
        const double left = apart + own - theirs;
        if (std::fabs(left) <= agree) continue;
        double to_own = 0, to_theirs = 0;
        if (std::fabs(apart) > agree) {
            // Where the profile hardly bends beside the stripe and the
            // mending took one of the two half the way to the other or
            // more, and the other hardly, that one is the stripe; else each
            // takes half of the difference.
            const double near = kConcentricClose * std::fabs(apart);
            bool smooth = true;
            for (int c = j - 1; c <= j + 1; ++c) smooth = smooth && Bend(*work, c) <= near;
            if (smooth && -own / apart >= 0.5 && std::fabs(theirs) <= near) to_own = -apart;
            else if (smooth && theirs / apart >= 0.5 && std::fabs(own) <= near) to_theirs = apart;
            else to_own = -0.5 * apart, to_theirs = 0.5 * apart;
        }
        const double *before_own = work->twins + static_cast<std::size_t>(work->twin_at[j]) * m;
        const double *before_theirs = work->twins + static_cast<std::size_t>(work->twin_at[i]) * m;
        for (int k = 0; k < m; ++k) {
            samples[stride * k + j] = before_own[k] + to_own;
            samples[stride * k + i] = before_theirs[k] + to_theirs;
        }
        // The columns mended are those the difference moved.
        for (int c : {j, i}) {
            work->stripes[c] = (c == j ? to_own : to_theirs) != 0;
            work->partial[c] = work->steps[c] = 0;
        }
        ++set;
    }
    return set;
}
