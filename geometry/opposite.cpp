#include "opposite.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include <fftw3.h>

#include "checks.h"
#include "memory.h"
#include "minimise.h"
#include "real.h"
#include "taper.h"
#include "wedge.h"
#include "fftw_owned.h"

namespace {

// Directions closer than this (radians) are one direction.
constexpr double kSame = 1e-9;
// An opposite direction is taken between two views at most this many
// mean spacings apart.
constexpr double kWidestGap = 3;
// The grid of the search has this many points per detector of center
// (the criterion's fastest oscillation has a period of a detector or more),
// the refinement then bisects between neighbours.
constexpr int kGridPerDetector = 8;
// A minimum is clear when every other local minimum more than kApart
// detectors away is at least 1 / kClearRatio times as high: the mismatch
// has a meaning of its own (0 a perfect match, 1 none), and a wide object
// matches itself weakly where its flat parts meet.
constexpr double kClearRatio = 0.5;
// Columns both views must hold, beyond the tapers, for a center to be
// judged, and at least this share of the field: fewer make the match a
// matter of chance (an object wider than the field looks flat near its
// edges, and flat columns match flat columns).
constexpr double kMinOverlap = 4;
constexpr double kMinOverlapShare = 1.0 / 32;
// Centers whose overlap holds less than this share of the largest
// overlap's energy are not judged: blank columns (air on both sides) match
// whatever the center, and rounding is all their ratio holds.
constexpr double kLeastEnergy = 1e-3;
// A match must be sharp: moving the center kSharpReach detectors either way
// must raise the mismatch kSharpness times. An object cut by the field
// (or views a quarter turn apart) is flat near the field's edge and
// matches itself there about any center, a little.
constexpr double kSharpReach = 3;
constexpr double kSharpness = 2;
// Views on either side of the seam that SeamMismatch compares, at most.
constexpr int kSeamViews = 4;

fftw_complex *Raw(std::complex<double> *z) { return reinterpret_cast<fftw_complex *>(z); }

// The taper at each edge of the detector: the views end at its edges, and
// a step there would ring through the transforms into every column.
double EdgeTaper(int n) { return std::clamp(n / 64.0, 1.0, 8.0); }

// One of the three convolutions: its coefficients and its values on the
// grid (t = 2c in steps of 1/4 of a detector, kGridPerDetector points per
// detector of c).
enum Series { kCross = 0, kEnergy = 1, kOverlap = 2 };

std::complex<double> *Coefficients(const OppositeWork *work, Series which) {
    return work->series + static_cast<std::size_t>(which) * (work->length / 2 + 1);
}

double *GridValues(OppositeWork *work, Series which) {
    return work->values + static_cast<std::size_t>(which) * 4 * work->length;
}

// The convolution at t from its coefficients: the trigonometric polynomial
// the transform defines, the Nyquist term taken as a cosine.
double SeriesAt(const std::complex<double> *x, int length, double t) {
    constexpr int kRestart = 64;
    const double step = 2 * kPi * t / length;
    std::complex<double> rotation(std::cos(step), std::sin(step));
    std::complex<double> phase = rotation;
    int last = (length - 1) / 2;
    double sum = 0;
    for (int j = 1; j <= last; ++j) {
        if (j % kRestart == 0) phase = std::complex<double>(std::cos(step * j), std::sin(step * j));
        sum += x[j].real() * phase.real() - x[j].imag() * phase.imag();
        phase *= rotation;
    }
    double total = x[0].real() + 2 * sum;
    if (length % 2 == 0) total += x[length / 2].real() * std::cos(kPi * t);
    return total / length;
}

// Every series on the grid t = i/4, i = 0 .. 4L-1, by one inverse
// transform of the coefficients padded with zeros.
void FillGrid(OppositeWork *work) {
    const int length = work->length, fine = 4 * length;
    ThreadSafePlanner();
    fftw_plan plan = fftw_plan_dft_c2r_1d(fine, Raw(work->padded), work->values, FFTW_ESTIMATE);
    for (int which = kCross; which <= kOverlap; ++which) {
        const std::complex<double> *x = Coefficients(work, static_cast<Series>(which));
        for (int j = 0; j <= fine / 2; ++j) work->padded[j] = 0;
        for (int j = 0; j <= (length - 1) / 2; ++j) work->padded[j] = x[j];
        // The Nyquist term halved: its mirror image in the padded transform
        // gives the other half.
        if (length % 2 == 0) work->padded[length / 2] = 0.5 * x[length / 2].real();
        fftw_execute_dft_c2r(plan, Raw(work->padded), GridValues(work, static_cast<Series>(which)));
        double *v = GridValues(work, static_cast<Series>(which));
        for (int i = 0; i < fine; ++i) v[i] /= length;
    }
    fftw_destroy_plan(plan);
}


// One view with its outliers replaced, times the scale.
void CopyView(const double *samples, const Outliers &outliers, int n, int k, double scale, double *row) {
    const double *view = samples + static_cast<std::size_t>(k) * n;
    for (int s = 0; s < n; ++s) row[s] = view[s];
    PatchView(outliers, k, n, nullptr, row);
    for (int s = 0; s < n; ++s) row[s] *= scale;
}

}  // namespace

double OppositeMismatch(const OppositeWork &work, double center) {
    double t = 2 * center;
    double energy = SeriesAt(Coefficients(&work, kEnergy), work.length, t);
    double cross = SeriesAt(Coefficients(&work, kCross), work.length, t);
    return energy > 0 ? 1 - 2 * cross / energy : 1;
}

int EvenFullTurnPairs(int views, OppositePair *pairs) {
    int count = 0;
    if (views % 2 == 0) {
        for (int k = 0; k < views / 2; ++k) pairs[count++] = OppositePair{k, k + views / 2, k + views / 2, 0};
    } else {
        for (int k = 0; k < views; ++k) {
            pairs[count++] = OppositePair{k, (k + views / 2) % views, (k + views / 2 + 1) % views, 0.5};
        }
    }
    return count;
}

bool AllocateOppositeWork(OppositeWork *work, int detectors, int views) {
    *work = OppositeWork{};
    work->detectors = detectors;
    work->views = views;
    work->length = DetectorTransformLength(detectors);
    // The grid's transform is four times as long.
    if (work->length == 0 || work->length > (1 << 28)) return false;
    const std::size_t length = work->length, half = length / 2 + 1;
    return work->window.Allocate(detectors) && work->row.Allocate(length) && work->other.Allocate(length) &&
           work->energy.Allocate(length) && work->values.Allocate(3 * 4 * length) &&
           work->grid.Allocate(8 * static_cast<std::size_t>(detectors) + 8) && work->angles.Allocate(views) &&
           work->order.Allocate(views) && work->spectrum.Allocate(half) && work->series.Allocate(3 * half) &&
           work->padded.Allocate(2 * length + 1) && work->pairs.Allocate(views);
}

int OppositePairs(const ViewSet &views, OppositeWork *work) {
    const int m = views.count;
    const double turn = 2 * kPi;
    double *a = work->angles;
    int *order = work->order;
    for (int k = 0; k < m; ++k) {
        a[k] = std::fmod(views.angles[k], turn);
        if (a[k] < 0) a[k] += turn;
        if (a[k] >= turn) a[k] = 0;
        order[k] = k;
    }
    std::stable_sort(order, order + m, [a](int x, int y) { return a[x] < a[y]; });
    const double widest = kWidestGap * turn / m;
    int count = 0;
    for (int k = 0; k < m; ++k) {
        double opposite = a[k] + kPi;
        if (opposite >= turn) opposite -= turn;
        // The first view past the opposite direction, and the one before it,
        // around the circle.
        int next = static_cast<int>(std::upper_bound(order, order + m, opposite,
                                                     [a](double v, int x) { return v < a[x]; }) - order);
        int before = next == 0 ? m - 1 : next - 1;
        double at_before = a[order[before]] - (next == 0 ? turn : 0);
        double at_next = next == m ? a[order[0]] + turn : a[order[next]];
        int after = next == m ? 0 : next;
        OppositePair pair{k, order[before], order[after], 0};
        if (opposite - at_before <= kSame) {
            pair.second = pair.first;
        } else if (at_next - opposite <= kSame) {
            pair.first = pair.second;
        } else if (at_next - at_before > widest) {
            continue;
        } else {
            pair.weight = (opposite - at_before) / (at_next - at_before);
        }
        work->pairs[count++] = pair;
    }
    // A view and its exact opposite make one pair, met from both ends: keep
    // it once.
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const OppositePair &p = work->pairs[i];
        bool twice = false;
        if (p.first == p.second && p.first < p.view) {
            for (int j = 0; j < i && !twice; ++j) {
                const OppositePair &q = work->pairs[j];
                twice = q.view == p.first && q.first == q.second && q.first == p.view;
            }
        }
        if (!twice) work->pairs[kept++] = p;
    }
    return kept;
}

OppositeEstimate FindOppositeCenter(const double *samples, const Outliers &outliers, const OppositePair *pairs,
                                    int count, OppositeWork *work) {
    const int n = work->detectors, length = work->length, half = length / 2 + 1;
    const double lo = 0.5, hi = n - 1.5;
    const double scale = UnitScale(outliers.largest);
    const double taper = EdgeTaper(n);
    TaperedWindow(work->window, n, (n - 1) / 2.0, (n - 1) / 2.0 + 1, taper);

    std::complex<double> *cross = Coefficients(work, kCross);
    for (int j = 0; j < half; ++j) cross[j] = 0;
    for (int s = 0; s < length; ++s) work->energy[s] = 0;
    ThreadSafePlanner();
    fftw_plan plan = fftw_plan_dft_r2c_1d(length, work->row, Raw(work->spectrum), FFTW_ESTIMATE);
    // Each pair: the view and its opposite, windowed, into their transforms,
    // whose products add up to the cross term's; their squares add up in
    // the detector domain.
    for (int i = 0; i < count; ++i) {
        const OppositePair &p = pairs[i];
        CopyView(samples, outliers, n, p.view, scale, work->row);
        CopyView(samples, outliers, n, p.first, scale, work->other);
        if (p.weight != 0) {
            CopyView(samples, outliers, n, p.second, scale, work->other + n);
            for (int s = 0; s < n; ++s) {
                work->other[s] = (1 - p.weight) * work->other[s] + p.weight * work->other[n + s];
            }
        }
        for (int s = 0; s < n; ++s) {
            double w = work->window[s];
            work->energy[s] += w * (work->row[s] * work->row[s] + work->other[s] * work->other[s]);
            work->row[s] *= w;
            work->other[s] *= w;
        }
        for (int s = n; s < length; ++s) work->row[s] = work->other[s] = 0;
        fftw_execute_dft_r2c(plan, work->other, Raw(work->spectrum));
        for (int j = 0; j < half; ++j) work->padded[j] = work->spectrum[j];
        fftw_execute_dft_r2c(plan, work->row, Raw(work->spectrum));
        for (int j = 0; j < half; ++j) cross[j] += work->padded[j] * work->spectrum[j];
    }
    // The energy and the overlap are convolutions with the window.
    for (int s = 0; s < length; ++s) work->row[s] = s < n ? work->window[s] : 0;
    fftw_execute_dft_r2c(plan, work->row, Raw(work->spectrum));
    std::complex<double> *energy = Coefficients(work, kEnergy), *overlap = Coefficients(work, kOverlap);
    for (int j = 0; j < half; ++j) overlap[j] = work->spectrum[j] * work->spectrum[j];
    fftw_execute_dft_r2c(plan, work->energy, Raw(energy));
    for (int j = 0; j < half; ++j) energy[j] *= work->spectrum[j];
    fftw_destroy_plan(plan);

    FillGrid(work);
    const double *c_values = GridValues(work, kCross), *e_values = GridValues(work, kEnergy);
    const double *o_values = GridValues(work, kOverlap);
    // Grid point i is the center i / kGridPerDetector, t = 2c = i / 4: the
    // grid values' own index.
    const int first = static_cast<int>(std::ceil(lo * kGridPerDetector));
    const int last = static_cast<int>(std::floor(hi * kGridPerDetector));
    double largest_energy = 0;
    for (int i = first; i <= last; ++i) largest_energy = std::max(largest_energy, e_values[i]);
    const double min_overlap = std::max(2 * taper + kMinOverlap, kMinOverlapShare * n);
    // The mismatch on the grid where enough columns overlap and they hold
    // something.
    double *d = work->grid;
    const int points = last - first + 1;
    if (points < 1 || !(largest_energy > 0)) return OppositeEstimate{false, (n - 1) / 2.0, 1};
    auto judged = [&](int i) {
        return i >= 0 && i < points && o_values[first + i] >= min_overlap &&
               e_values[first + i] > kLeastEnergy * largest_energy;
    };
    double best = 0, worst = 0;
    int best_at = -1;
    for (int i = 0; i < points; ++i) {
        if (!judged(i)) continue;
        d[i] = 1 - 2 * c_values[first + i] / e_values[first + i];
        if (best_at < 0 || d[i] < best) best = d[i], best_at = i;
        if (d[i] > worst) worst = d[i];
    }
    // The lowest point must have judged points on both sides: at the end of
    // the judged range it is the criterion still falling, not a minimum.
    if (best_at < 0 || !judged(best_at - 1) || !judged(best_at + 1)) {
        return OppositeEstimate{false, (n - 1) / 2.0, 1};
    }
    double rival = worst;
    for (int i = 0; i < points; ++i) {
        if (!judged(i)) continue;
        bool local = (!judged(i - 1) || d[i] <= d[i - 1]) && (!judged(i + 1) || d[i] <= d[i + 1]);
        if (local && std::abs(i - best_at) > kApart * kGridPerDetector && d[i] < rival) rival = d[i];
    }
    double c = static_cast<double>(first + best_at) / kGridPerDetector;
    double step = 1.0 / kGridPerDetector;
    c = GoldenSection([work](double x) { return OppositeMismatch(*work, x); }, std::max(c - step, lo),
                      std::min(c + step, hi));
    double mismatch = OppositeMismatch(*work, c);
    double around = 0;
    int sides = 0;
    for (double side : {c - kSharpReach, c + kSharpReach}) {
        int i = static_cast<int>(std::lround(side * kGridPerDetector)) - first;
        if (!judged(i)) continue;
        around += OppositeMismatch(*work, side);
        ++sides;
    }
    bool sharp = sides > 0 && around / sides >= kSharpness * mismatch;
    bool found = best <= kClearRatio * rival && mismatch <= kMaxMismatch && sharp;
    return OppositeEstimate{found, c, mismatch};
}

double SeamMismatch(const double *samples, const Outliers &outliers, double center, bool mirrored,
                    OppositeWork *work) {
    const int n = work->detectors, m = work->views;
    const double scale = UnitScale(outliers.largest);
    TaperedWindow(work->window, n, (n - 1) / 2.0, (n - 1) / 2.0 + 1, EdgeTaper(n));
    const int views = std::clamp(m / 16, 1, kSeamViews);
    double difference = 0, energy = 0;
    for (int i = 0; i < views; ++i) {
        CopyView(samples, outliers, n, m - 1 - i, scale, work->row);
        CopyView(samples, outliers, n, i, scale, work->other);
        for (int s = 0; s < n; ++s) {
            double b = work->other[s], w = work->window[s];
            // Only the columns that have partners about the center, so
            // that both readings are judged on the same part of the view.
            double at = 2 * center - s;
            if (!(at >= 0 && at <= n - 1)) continue;
            int j = std::min(static_cast<int>(at), n - 2);
            double f = at - j;
            w *= n == 1 ? work->window[0] : (1 - f) * work->window[j] + f * work->window[j + 1];
            // The first view at 2c - s, linearly between its detectors.
            if (mirrored) b = n == 1 ? work->other[0] : (1 - f) * work->other[j] + f * work->other[j + 1];
            double a = work->row[s];
            difference += w * (a - b) * (a - b);
            energy += w * (a * a + b * b);
        }
    }
    return energy > 0 ? difference / energy : 1;
}
