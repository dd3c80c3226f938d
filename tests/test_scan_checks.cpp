// Checks of a scan given in a way that makes a wrong result without a
// word: views of the whole turn taken as a half turn (whole_turn.h);
// flats and projections swapped, darks among the projections
// (misplaced.h).
// Sinograms are ellipse phantoms projected in closed form (phantom_rays.h),
// with Gaussian noise of a given open-beam count where a case says so.
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "misplaced.h"
#include "phantom.h"
#include "phantom_rays.h"
#include "whole_turn.h"

namespace {

const double kPi = 3.141592653589793;

enum class Span { kHalf, kHalfClosed, kWhole };
enum class Object { kHead, kDisc, kOffDisc, kEllipse, kTurnedHead };

const char *Name(Span span) {
    return span == Span::kHalf ? "half" : span == Span::kHalfClosed ? "half-closed" : "whole";
}

// M views of `object` about the axis c of N detectors, over the span:
// half (k pi / M), half with its last view at pi (k pi / (M - 1)) or
// whole (k 2 pi / M). With i0 > 0, the line integrals (scaled to at most
// about 2) get the photon noise of i0 counts.
std::vector<double> Scan(Object object, Span span, int n, double c, int m, double i0, double phase = 0) {
    Phantom phantom{};
    double radius = n * 0.4;
    Ellipse ellipse{0, 0, radius, radius, 0, 1};
    if (object == Object::kHead || object == Object::kTurnedHead) {
        EXPECT_TRUE(SheppLoganPhantom(radius, &phantom).ok());
    } else {
        if (object == Object::kOffDisc) {
            ellipse = Ellipse{radius / 2 * std::cos(phase), radius / 2 * std::sin(phase), radius / 4, radius / 4, 0, 1};
        } else if (object == Object::kEllipse) {
            ellipse = Ellipse{0, 0, radius, radius / 2, 30, 1};
        }
        phantom = Phantom{1, &ellipse};
    }
    double start = object == Object::kTurnedHead ? 0.5 : 0;
    std::vector<double> samples(static_cast<std::size_t>(n) * m);
    for (int k = 0; k < m; ++k) {
        double step = span == Span::kWhole ? 2 * kPi / m : span == Span::kHalf ? kPi / m : kPi / (m - 1);
        double angle = start + k * step;
        PhantomView(phantom, std::cos(angle), std::sin(angle), c, n, samples.data() + static_cast<std::size_t>(k) * n);
    }
    if (object == Object::kHead || object == Object::kTurnedHead) ReleasePhantom(&phantom);
    double largest = 0;
    for (double v : samples) largest = std::fmax(largest, v);
    std::mt19937 random(7);
    std::normal_distribution<double> normal(0, 1);
    for (double &v : samples) {
        v *= 2 / largest;
        if (i0 > 0) v += normal(random) / std::sqrt(i0 * std::exp(-v));
    }
    return samples;
}

struct TurnCase {
    const char *what;
    Object object;
    Span span;
    int n;
    double c;      // the scan's axis
    double given;  // the axis given: c plus this
    int m;
    double i0;     // 0: no noise
    bool whole;    // the reading expected
};

TEST(WholeTurn, ReadsWholeTurnsAndNeverHalfTurns) {
    const TurnCase cases[] = {
        {"head, axis in the middle", Object::kHead, Span::kWhole, 128, 63.5, 0, 360, 0, true},
        {"head, axis 4 off", Object::kHead, Span::kWhole, 128, 67.5, 0, 360, 0, true},
        {"head, axis between", Object::kHead, Span::kWhole, 128, 61.3, 0, 360, 0, true},
        {"head, noisy", Object::kHead, Span::kWhole, 128, 63.5, 0, 360, 1e4, true},
        {"head, very noisy", Object::kHead, Span::kWhole, 128, 66, 0, 360, 1e3, true},
        {"head, 64 views", Object::kHead, Span::kWhole, 64, 31.5, 0, 64, 0, true},
        {"small head, 2c half a detector off a whole one", Object::kHead, Span::kWhole, 64, 33.75, 0, 360, 0, true},
        {"head, 32 views: too few to tell", Object::kHead, Span::kWhole, 64, 31.5, 0, 32, 0, false},
        {"head, odd views", Object::kHead, Span::kWhole, 128, 63.5, 0, 181, 0, true},
        {"head, few odd views", Object::kHead, Span::kWhole, 128, 63.5, 0, 65, 0, true},
        {"head turned", Object::kTurnedHead, Span::kWhole, 128, 63.5, 0, 360, 0, true},
        {"disc off the axis", Object::kOffDisc, Span::kWhole, 128, 63.5, 0, 180, 0, true},
        {"head, axis given 2 off", Object::kHead, Span::kWhole, 128, 63.5, 2, 360, 0, true},
        {"head, axis given 3.7 off, noisy", Object::kHead, Span::kWhole, 128, 65, -3.7, 360, 1e4, true},
        {"head, noisy, axis given between the search's points", Object::kHead, Span::kWhole, 128, 63.5, 1.125, 360,
         1e4, true},
        {"head, axis given 6 off", Object::kHead, Span::kWhole, 128, 63.5, 6, 360, 0, false},
        {"half: head", Object::kHead, Span::kHalf, 128, 63.5, 0, 180, 0, false},
        {"half: head, axis 4 off", Object::kHead, Span::kHalf, 128, 67.5, 0, 180, 0, false},
        {"half: head, axis given 2 off", Object::kHead, Span::kHalf, 128, 63.5, 2, 180, 0, false},
        {"half: head, noisy", Object::kHead, Span::kHalf, 128, 63.5, 0, 180, 1e4, false},
        {"half: head, last view at 180", Object::kHead, Span::kHalfClosed, 128, 63.5, 0, 181, 0, false},
        {"half: head turned", Object::kTurnedHead, Span::kHalf, 128, 63.5, 0, 180, 0, false},
        {"half: head, 64 views", Object::kHead, Span::kHalf, 64, 31.5, 0, 64, 0, false},
        {"half: disc on the axis", Object::kDisc, Span::kHalf, 128, 63.5, 0, 180, 0, false},
        {"half: disc, noisy", Object::kDisc, Span::kHalf, 128, 63.5, 0, 180, 1e4, false},
        {"whole: disc on the axis", Object::kDisc, Span::kWhole, 128, 63.5, 0, 180, 0, false},
        {"half: ellipse on the axis", Object::kEllipse, Span::kHalf, 128, 63.5, 0, 180, 0, false},
        {"whole: ellipse on the axis", Object::kEllipse, Span::kWhole, 128, 63.5, 0, 180, 0, false},
    };
    for (const TurnCase &t : cases) {
        std::vector<double> samples = Scan(t.object, t.span, t.n, t.c, t.m, t.i0);
        TurnMatch match = MeasureTurnMatch(samples.data(), t.n, t.m, t.c + t.given);
        EXPECT_EQ(LooksLikeWholeTurn(samples.data(), t.n, t.m, t.c + t.given), t.whole)
            << t.what << " (" << Name(t.span) << "): opposite " << match.opposite << " same " << match.same << " step "
            << match.step << " seam " << match.seam_mirrored << " " << match.seam_plain;
    }
}

// A disc a little off the axis is the half turn's hardest object: where
// it lies a quarter turn from view 0 its shadow moves alike in both
// halves of the pairs, and the axis searched brings the mirror's mismatch
// down to a sixteenth of the plain one (the rule's margin is a tenth);
// only the step tells it from a whole turn. Every place around the axis,
// and the axis given off both ways.
TEST(WholeTurn, HalfTurnsOfADiscNearTheAxisAreNoWholeTurn) {
    const int n = 96, m = 180;
    const double c = 47.5;
    for (double off : {1.0, 3.0}) {
        for (int i = 0; i < 12; ++i) {
            double phase = i * kPi / 6;
            Ellipse disc{off * std::cos(phase), off * std::sin(phase), 30, 30, 0, 1};
            Phantom phantom{1, &disc};
            std::vector<double> samples(static_cast<std::size_t>(n) * m);
            for (int k = 0; k < m; ++k)
                PhantomView(phantom, std::cos(k * kPi / m), std::sin(k * kPi / m), c, n, samples.data() + k * n);
            for (double given : {c - 2, c, c + 2}) {
                EXPECT_FALSE(LooksLikeWholeTurn(samples.data(), n, m, given)) << off << " " << phase << " " << given;
            }
        }
    }
}

// The sums of a whole turn small enough to add by hand: 7 detectors, the
// axis on the middle one (no interpolation: every view is only smoothed by
// 1/4, 1/2, 1/4), 16 views; view k (k < 8) holds k on detector 1, view
// k + 8 is its mirror (k on detector 5). Smoothed, a view of k holds
// k/4, k/2, k/4: its squares sum to 3/8 k^2. Over the 8 pairs the mirror
// matches exactly; the views as they are differ by 2 (3/8) k^2, their
// energy the same; the step (view k to k + 1) is 3/8 for k < 7 and 3/8 49
// for view 7 to view 8 (all 0). The seam compares views 15 and 14 (mirrors
// of 7 and 6) with views 0 and 1: mirrored 3/8 (49 + 25), plain
// 3/8 (49 + 1 + 36).
TEST(WholeTurn, SumsAddedByHand) {
    std::vector<double> samples(7 * 16, 0.0);
    for (int k = 0; k < 8; ++k) {
        samples[static_cast<std::size_t>(7 * k + 1)] = k;
        samples[static_cast<std::size_t>(7 * (k + 8) + 5)] = k;
    }
    TurnMatch match = MeasureTurnMatch(samples.data(), 7, 16, 3);
    EXPECT_EQ(match.axis, 3);
    EXPECT_EQ(match.opposite, 0);
    EXPECT_EQ(match.same, 1);
    EXPECT_DOUBLE_EQ(match.step, (7 + 49) / 280.0);
    EXPECT_EQ(match.seam_mirrored, 0.375 * 74);
    EXPECT_EQ(match.seam_plain, 0.375 * 86);
    EXPECT_TRUE(ReadsAsWholeTurn(match));
    // 17 views: view k + 8.5, the mean of views k + 8 and k + 9, holds k
    // on detector 5 when view 8 + j holds j - 1/2 there; neither view alone
    // is the mirror.
    std::vector<double> odd(7 * 17, 0.0);
    for (int k = 0; k < 8; ++k) odd[static_cast<std::size_t>(7 * k + 1)] = k;
    for (int j = 0; j <= 8; ++j) odd[static_cast<std::size_t>(7 * (8 + j) + 5)] = j - 0.5;
    EXPECT_EQ(MeasureTurnMatch(odd.data(), 7, 17, 3).opposite, 0);
}

// The mirror's axis is looked for on a grid of quarter detectors about
// the axis given and refined between its points: given 1.125 off, the
// head's whole turn is matched about its own axis.
TEST(WholeTurn, TheAxisIsFoundBetweenTheSearchsPoints) {
    std::vector<double> samples = Scan(Object::kHead, Span::kWhole, 128, 63.5, 360, 0);
    TurnMatch match = MeasureTurnMatch(samples.data(), 128, 360, 64.625);
    EXPECT_NEAR(match.axis, 63.5, 0.03);  // the grid's nearest points lie 0.125 away
    EXPECT_LT(match.opposite, 1e-4);
}

// The rule on sums given by hand.
TEST(WholeTurn, ReadsTheSums) {
    const double nan = std::nan("");
    struct Row {
        TurnMatch match;
        bool whole;
    } rows[] = {
        {{0, 0.001, 0.05, 0.01, 2, 1}, true},
        {{0, 0.0049, 0.05, 0.01, 2, 1}, true},      // ten times better, just
        {{0, 0.0051, 0.05, 0.01, 2, 1}, false},     // not quite ten times
        {{0, 0.001, 0.05, 0.0002, 2, 1}, false},    // five steps' change
        {{0, 0.001, 0.05, 0.00026, 2, 1}, true},    // under four
        {{0, 0, 1e-7, 1e-7, 2, 1}, false},          // views all alike
        {{0, 0.001, 0.05, 0.01, 0.4, 1}, false},    // the seam sides with a half turn
        {{0, 0.001, 0.05, 0.01, 0.6, 1}, true},     // not clearly
        {{0, nan, 0.05, 0.01, 2, 1}, false},
        {{0, 0.001, nan, 0.01, 2, 1}, false},
        {{0, 0.001, 0.05, nan, 2, 1}, false},
        {{0, 0.001, 0.05, 0.01, nan, 1}, false},
    };
    for (const Row &row : rows) {
        const TurnMatch &t = row.match;
        EXPECT_EQ(ReadsAsWholeTurn(t), row.whole) << t.opposite << " " << t.same << " " << t.step << " "
                                                  << t.seam_mirrored << " " << t.seam_plain;
    }
}

// Too few views read as nothing, whatever they hold: below 64, a half
// turn of a disc off the axis may match the mirror about an axis near the
// one given within a few steps (the steps being large).
TEST(WholeTurn, TooFewViewsReadAsNothing) {
    std::vector<double> whole = Scan(Object::kHead, Span::kWhole, 64, 31.5, 64, 0);
    EXPECT_TRUE(LooksLikeWholeTurn(whole.data(), 64, 64, 31.5));
    std::vector<double> fewer = Scan(Object::kHead, Span::kWhole, 64, 31.5, 63, 0);
    EXPECT_TRUE(ReadsAsWholeTurn(MeasureTurnMatch(fewer.data(), 64, 63, 31.5)));
    EXPECT_FALSE(LooksLikeWholeTurn(fewer.data(), 64, 63, 31.5));
    // A half turn of 32 views of a disc 2 detectors off the axis reads as a
    // whole turn: too few views to tell.
    Ellipse disc{0, 2, 38, 38, 0, 1};
    Phantom phantom{1, &disc};
    std::vector<double> half(128 * 32);
    for (int k = 0; k < 32; ++k)
        PhantomView(phantom, std::cos(k * kPi / 32), std::sin(k * kPi / 32), 63.5, 128, half.data() + k * 128);
    EXPECT_TRUE(ReadsAsWholeTurn(MeasureTurnMatch(half.data(), 128, 32, 63.5)));
    EXPECT_FALSE(LooksLikeWholeTurn(half.data(), 128, 32, 63.5));
}

// Line integrals of a scan are positive through the object and about 0
// beside it; swapped flats and projections give their negatives.
TEST(Misplaced, MostlyNegativeLineIntegrals) {
    const double nan = std::nan("");
    const struct {
        const char *what;
        std::vector<double> integrals;
        bool negative;
    } cases[] = {
        {"a scan", {0.5, 1, 0.8, -0.01, 0.01, -0.02, 0.02, 0}, false},
        {"its flats and projections swapped", {-0.5, -1, -0.8, 0.01, -0.01, 0.02, -0.02, 0}, true},
        {"air and noise only", {-0.01, 0.01, -0.02, 0.02, -0.01}, false},
        {"the flats taken with less beam", {-0.02, -0.02, -0.02, -0.02, 0.01}, true},
        {"three times over, just", {-0.3, 0.1}, false},
        {"over three times", {-0.31, 0.1}, true},
        {"a NaN counts for neither", {-0.5, nan, 0.1}, true},
        {"nothing", {}, false},
    };
    for (const auto &c : cases) {
        double negative = 0, positive = 0;
        TallySigns(c.integrals.data(), c.integrals.size(), &negative, &positive);
        EXPECT_EQ(MostlyNegative(negative, positive), c.negative) << c.what;
    }
    // Sums over several calls, as band after band adds to them.
    double negative = 0, positive = 0;
    const double first[] = {-1, 2}, second[] = {-0.5, 0.25};
    TallySigns(first, 2, &negative, &positive);
    TallySigns(second, 2, &negative, &positive);
    EXPECT_EQ(negative, 1.5);
    EXPECT_EQ(positive, 2.25);
}

// A view is dark when its sum is under a tenth of the median view's.
TEST(Misplaced, DarkViews) {
    const struct {
        const char *what;
        std::vector<double> sums;
        int count, first;
    } cases[] = {
        {"a scan", {1000, 900, 1100, 950, 1000}, 0, -1},
        {"a dark among them", {1000, 900, 1100, 50, 1000}, 1, 3},
        {"two darks at the end", {1000, 900, 1100, 950, 1000, 60, 40}, 2, 5},
        {"a dim view, above a tenth", {1000, 900, 1100, 101, 1000}, 0, -1},
        {"just under a tenth", {1000, 1000, 1000, 99.9, 1000}, 1, 3},
        {"the beam halved midway", {1000, 1000, 1000, 500, 500, 500}, 0, -1},
        {"transmissions and a dark", {0.5, 0.6, 0.55, 0.01}, 1, 3},
        {"all zero", {0, 0, 0}, 0, -1},
        {"line integrals about 0", {-0.1, 0.1, -0.2, 0.05}, 0, -1},
    };
    for (const auto &c : cases) {
        int first = 7;
        EXPECT_EQ(DarkViews(c.sums.data(), static_cast<int>(c.sums.size()), &first), c.count) << c.what;
        EXPECT_EQ(first, c.first) << c.what;
    }
}

TEST(Misplaced, ViewSumsAddEachViewsColumns) {
    // Two views of three columns, added twice (two rows).
    const double sinogram[] = {1, 2, 3, 10, 20, 30};
    double sums[2] = {0, 0};
    AddViewSums(sinogram, 2, 3, sums);
    AddViewSums(sinogram, 2, 3, sums);
    EXPECT_EQ(sums[0], 12);
    EXPECT_EQ(sums[1], 120);
}

}  // namespace
