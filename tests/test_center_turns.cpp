// The center searches beyond a clean half turn: full turns (the axis
// anywhere, also near one edge of the detector), a full turn handed to
// the half-turn search, angles given in any order, and outliers.
// Sinograms are disks projected analytically at the angles given.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "center.h"
#include "oracle/center_oracle.h"

namespace {

const double kPi = 3.141592653589793;



// A view set holding these angles (radians), as ReadAngles makes it.
struct Angles {
    explicit Angles(const std::vector<double> &angles) {
        EXPECT_TRUE(ViewsFromRadians(angles.data(), static_cast<int>(angles.size()), &views).ok());
    }
    ~Angles() { ReleaseViews(&views); }
    Angles(const Angles &) = delete;
    Angles &operator=(const Angles &) = delete;
    ViewSet views;
};

CenterEstimate FullTurnSearch(const std::vector<double> &samples, int n, const std::vector<double> &angles) {
    const int m = static_cast<int>(angles.size());
    FullTurnWork work;
    if (!AllocateFullTurnWork(&work, n, m)) {
        ADD_FAILURE() << "allocation";
        return CenterEstimate{false, 0};
    }
    Angles set(angles);
    CenterEstimate e = FindFullTurnCenter(samples.data(), set.views, &work);
    return e;
}

// The views taken for an even full turn, as -t takes them: the first look
// in the smaller work (into *clear), then the whole decision.
CenterEstimate EvenFullTurnSearch(const std::vector<double> &samples, int n, int m, CenterEstimate *clear) {
    FullTurnWork first;
    CenterWork work;
    if (!AllocateFullTurnWork(&first, n, m) || !AllocateCenterWork(&work, n, m)) {
        ADD_FAILURE() << "allocation";
        return CenterEstimate{false, 0};
    }
    *clear = FindClearFullTurnCenter(samples.data(), &first);
    CenterEstimate e = FindEvenFullTurnCenter(samples.data(), &work);
    return e;
}

// Golden-angle views over the full turn: view k at k times the golden
// angle, modulo 2 pi, an order with no two neighbours in the row order
// close in angle.
std::vector<double> GoldenAngles(int m) {
    std::vector<double> angles(m);
    const double golden = kPi * (3 - std::sqrt(5.0));
    for (int k = 0; k < m; ++k) angles[k] = std::fmod(k * golden, 2 * kPi);
    return angles;
}

struct FullTurnCase {
    const char *name;
    int n, m;
    double center;
    double scale;
    double noise;
    int subsamples;
    enum { kEven, kOddCount, kGolden, kBackwards } order;
};

// The axis near the middle (N/2 + 0.3) and at a quarter of the field, where
// a half-acquisition scan puts it to see an object wider than the detector:
// the phantom at scale 1.8 reaches 117 detectors from the axis, beyond the
// near edge of the field.
const FullTurnCase kFullTurns[] = {
    {"middle + 0.3, even N", 256, 360, 128.3, 1, 0, 8, FullTurnCase::kEven},
    {"middle + 0.3, odd N", 255, 360, 127.8, 1, 0, 8, FullTurnCase::kEven},
    {"middle + 0.3, sampled at points", 256, 360, 128.3, 1, 0, 1, FullTurnCase::kEven},
    {"middle + 0.3, 1 % noise", 256, 360, 128.3, 1, 0.01, 8, FullTurnCase::kEven},
    {"middle + 0.3, odd view count", 256, 361, 128.3, 1, 0, 8, FullTurnCase::kOddCount},
    {"middle + 0.3, golden angles", 256, 400, 128.3, 1, 0, 8, FullTurnCase::kGolden},
    {"middle + 0.3, turning backwards", 256, 360, 128.3, 1, 0, 8, FullTurnCase::kBackwards},
    {"quarter, whole object", 256, 360, 64, 1, 0, 8, FullTurnCase::kEven},
    {"quarter, half acquisition", 256, 360, 64.3, 1.8, 0, 8, FullTurnCase::kEven},
    {"quarter, half acquisition, points", 256, 360, 64.3, 1.8, 0, 1, FullTurnCase::kEven},
    {"quarter, half acquisition, 1 % noise", 256, 360, 64.2, 1.8, 0.01, 8, FullTurnCase::kEven},
    {"quarter, half acquisition, odd count", 256, 361, 64.3, 1.8, 0, 8, FullTurnCase::kOddCount},
    {"quarter, half acquisition, golden", 256, 400, 64.3, 1.8, 0, 8, FullTurnCase::kGolden},
    {"quarter, half acquisition, N 128", 128, 180, 32.4, 0.9, 0, 8, FullTurnCase::kEven},
    {"three quarters, half acquisition", 256, 360, 191.6, 1.8, 0, 8, FullTurnCase::kEven},
    {"near the edge, half acquisition", 256, 360, 20.7, 2.0, 0, 8, FullTurnCase::kEven},
    {"5 % from the edge, half acquisition", 128, 360, 6.3, 1.6, 0, 1, FullTurnCase::kEven},
    {"wide field, few views", 512, 90, 128.25, 3.5, 0.01, 1, FullTurnCase::kEven},
};

std::vector<double> CaseAngles(const FullTurnCase &c) {
    switch (c.order) {
        case FullTurnCase::kGolden:
            return GoldenAngles(c.m);
        case FullTurnCase::kBackwards: {
            std::vector<double> angles = EvenAngles(c.m, 2 * kPi);
            for (double &a : angles) a = -a;
            return angles;
        }
        default:
            return EvenAngles(c.m, 2 * kPi);
    }
}

std::vector<double> CaseSinogram(const FullTurnCase &c) {
    std::vector<double> samples = DiskProjections(c.n, c.center, CaseAngles(c), AsymmetricDisks(c.scale), c.subsamples);
    if (c.noise > 0) AddNoise(&samples, c.noise, 20261208);
    return samples;
}

TEST(CenterTurns, FullTurnsWhereverTheAxisIs) {
    for (const FullTurnCase &c : kFullTurns) {
        std::vector<double> samples = CaseSinogram(c);
        CenterEstimate e = FullTurnSearch(samples, c.n, CaseAngles(c));
        std::printf("%-40s N %3d M %3d c %7.2f: %s %+.4f\n", c.name, c.n, c.m, c.center,
                    e.found ? "error" : "refused, error would be", e.center - c.center);
        EXPECT_TRUE(e.found) << c.name;
        EXPECT_NEAR(e.center, c.center, 0.05) << c.name;
        // Evenly spread views, as -t takes them: the same center, the
        // half-turn reading ruled out.
        if (c.order == FullTurnCase::kEven || c.order == FullTurnCase::kOddCount) {
            CenterEstimate clear;
            CenterEstimate even = EvenFullTurnSearch(samples, c.n, c.m, &clear);
            EXPECT_TRUE(even.found) << c.name;
            EXPECT_FALSE(even.half_turn) << c.name;
            EXPECT_NEAR(even.center, e.center, 1e-9) << c.name;
            if (clear.found) {
                EXPECT_EQ(clear.center, even.center) << c.name;
            }
        }
    }
}

TEST(CenterTurns, MirroredFullTurnGivesTheMirroredCenter) {
    // Read right to left, a full turn is the object turned half a turn with
    // the axis at N - 1 - c: both edges of the field are treated alike.
    for (const FullTurnCase &c : kFullTurns) {
        std::vector<double> samples = CaseSinogram(c), mirrored(samples.size());
        for (int k = 0; k < c.m; ++k) {
            for (int s = 0; s < c.n; ++s) mirrored[k * c.n + s] = samples[k * c.n + (c.n - 1 - s)];
        }
        CenterEstimate e = FullTurnSearch(samples, c.n, CaseAngles(c));
        CenterEstimate f = FullTurnSearch(mirrored, c.n, CaseAngles(c));
        EXPECT_EQ(e.found, f.found) << c.name;
        EXPECT_NEAR(f.center, c.n - 1 - e.center, 1e-3) << c.name;
    }
}

TEST(CenterTurns, AnAxisAtTheEdgeIsRefused) {
    // 3 detectors from the edge of 128 the views share 6 columns, fewer
    // than the 8 the search judges on: no answer rather than a guess.
    std::vector<double> samples = DiskProjections(128, 3, EvenAngles(360, 2 * kPi), AsymmetricDisks(1.6), 1);
    CenterEstimate e = FullTurnSearch(samples, 128, EvenAngles(360, 2 * kPi));
    EXPECT_FALSE(e.found);
}

TEST(CenterTurns, HalfTurnSearchRefusesAFullTurn) {
    // Read as a half turn, a full turn's views 0 and M - 1 are neighbours,
    // not mirror images; no half-turn number may come out. Only views
    // evenly over the turn are what FindCenter is given.
    for (const FullTurnCase &c : kFullTurns) {
        if (c.order != FullTurnCase::kEven && c.order != FullTurnCase::kOddCount) continue;
        CenterEstimate e = HalfTurnCenter(CaseSinogram(c), c.n, c.m);
        EXPECT_FALSE(e.found) << c.name;
        EXPECT_TRUE(e.full_turn) << c.name;
        if (e.full_turn) {
            EXPECT_NEAR(e.center, c.center, 0.05) << c.name;
        }
    }
}

TEST(CenterTurns, FullTurnSearchSeesAHalfTurn) {
    // Half turns taken for even full turns, as -t takes them: their
    // "opposite" views are a quarter turn apart. Either no match, or a
    // match (of a smooth object, or near an edge where few columns
    // overlap) that the half-turn reading and the seam overrule.
    struct Half {
        int n, m;
        double center;
        std::vector<OracleDisk> disks;
    };
    const Half halves[] = {
        {256, 180, 120.3, AsymmetricDisks(1)},
        {256, 360, 128.3, AsymmetricDisks(1)},
        {128, 180, 63.5, {{10, -5, 40, 1}, {10, -5, 30, -1}}},
        {201, 90, 97.5, AsymmetricDisks(0.8)},
        // These matched spuriously about 5 and 122, within 10 columns of
        // an edge.
        {128, 180, 24.7, AsymmetricDisks(0.9)},
        {128, 361, 101.2, AsymmetricDisks(0.9)},
        {128, 90, 40, AsymmetricDisks(1.6)},
    };
    for (const Half &h : halves) {
        std::vector<double> samples = DiskProjections(h.n, h.center, EvenAngles(h.m, kPi), h.disks, 1);
        CenterEstimate clear;
        CenterEstimate e = EvenFullTurnSearch(samples, h.n, h.m, &clear);
        EXPECT_FALSE(e.found) << h.n << " " << h.center;
        EXPECT_FALSE(clear.found) << h.n << " " << h.center;
    }
    // A small object: its views match a quarter turn on, mirrored, about a
    // center of their own; the half-turn reading finds the axis 60.4 and
    // the seam sides with it.
    std::vector<double> small = DiskProjections(128, 60.4, EvenAngles(90, kPi), AsymmetricDisks(0.4), 1);
    CenterEstimate clear;
    CenterEstimate e = EvenFullTurnSearch(small, 128, 90, &clear);
    EXPECT_FALSE(clear.found);
    EXPECT_FALSE(e.found);
    EXPECT_TRUE(e.half_turn);
    CenterEstimate half = HalfTurnCenter(small, 128, 90);
    EXPECT_TRUE(half.found);
    EXPECT_NEAR(half.center, 60.4, 0.05);
}

TEST(CenterTurns, ObjectAlikeFromEverySideIsAnsweredEitherWay) {
    // A ring centred on the axis: every view is the same, so a half turn and
    // a full turn are one sinogram, and both searches give its axis.
    const int n = 128, m = 180;
    std::vector<double> ring = DiskProjections(n, 63.5, EvenAngles(m, kPi), {{0, 0, 40, 1}, {0, 0, 30, -1}}, 1);
    CenterEstimate half = HalfTurnCenter(ring, n, m);
    EXPECT_TRUE(half.found);
    EXPECT_FALSE(half.full_turn);
    EXPECT_NEAR(half.center, 63.5, 1e-3);
    CenterEstimate full = FullTurnSearch(ring, n, EvenAngles(m, 2 * kPi));
    EXPECT_TRUE(full.found);
    EXPECT_NEAR(full.center, 63.5, 1e-3);
}

TEST(CenterTurns, MismatchEqualsTheSumTermByTerm) {
    // The transforms' mismatch against the straightforward sum over pairs
    // and detectors, at whole and half centers where the mirror maps
    // detectors onto detectors; pairs exact and interpolated (odd count).
    for (int m : {24, 25}) {
        const int n = 40;
        std::vector<double> samples =
            DiskProjections(n, 17.3, EvenAngles(m, 2 * kPi), {{3, -2, 9, 1}, {-4, 5, 3, 2}}, 4);
        OppositeWork work;
        ASSERT_TRUE(AllocateOppositeWork(&work, n, m));
        std::vector<OppositePair> pairs(m);
        int count = EvenFullTurnPairs(m, pairs.data());
        Outliers none = NoOutliers();
        OppositeEstimate e = FindOppositeCenter(samples.data(), none, pairs.data(), count, &work);
        EXPECT_TRUE(e.found) << m;
        EXPECT_NEAR(e.center, 17.3, 0.05) << m;
        for (int twice = 20; twice <= 50; ++twice) {
            double oracle = OppositeMismatchOracle(samples.data(), n, pairs.data(), count, work.window, twice);
            EXPECT_NEAR(OppositeMismatch(work, twice / 2.0), oracle, 1e-12 + 1e-9 * oracle) << m << " " << twice;
        }
    }
}

TEST(CenterTurns, TheSeamOfAHalfTurnMatchesBestAtItsAxis) {
    // A half turn closes on its first view mirrored about the axis: the seam
    // matches best at the axis. The axis lies between grid points (2c is not
    // whole), so that interpolating the mirrored view with its weights
    // swapped would reflect the best match to 40.4.
    const int n = 96, m = 90;
    const double axis = 40.1;
    std::vector<double> samples = DiskProjections(n, axis, EvenAngles(m, kPi), AsymmetricDisks(0.5), 4);
    OppositeWork work;
    ASSERT_TRUE(AllocateOppositeWork(&work, n, m));
    Outliers none = NoOutliers();
    double at = SeamMismatch(samples.data(), none, axis, true, &work);
    for (double beside : {axis - 0.25, axis + 0.15, axis + 0.3, axis + 0.5})
        EXPECT_LT(at, SeamMismatch(samples.data(), none, beside, true, &work)) << beside;
}

TEST(CenterTurns, PairsOfOppositeViews) {
    OppositePair pairs[8];
    // Eight views over the turn: view k opposite view k + 4, each pair once.
    ASSERT_EQ(EvenFullTurnPairs(8, pairs), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(pairs[k].view, k);
        EXPECT_EQ(pairs[k].first, k + 4);
        EXPECT_EQ(pairs[k].second, k + 4);
        EXPECT_EQ(pairs[k].weight, 0);
    }
    // Five views, 72 degrees apart: view 0's opposite (180) lies halfway
    // between views 2 (144) and 3 (216); view 3's (36) between 0 and 1.
    ASSERT_EQ(EvenFullTurnPairs(5, pairs), 5);
    EXPECT_EQ(pairs[0].first, 2);
    EXPECT_EQ(pairs[0].second, 3);
    EXPECT_EQ(pairs[3].first, 0);
    EXPECT_EQ(pairs[3].second, 1);
    EXPECT_EQ(pairs[3].weight, 0.5);

    // Any angles, in degrees 170, 0, 350, 100, 260, 190 (rows 0 .. 5), a
    // mean spacing of 60: each view's opposite direction is a view or lies
    // between the two views around it.
    const double d = kPi / 180;
    Angles set({170 * d, 0, 350 * d, 100 * d, 260 * d, 190 * d});
    OppositeWork work;
    ASSERT_TRUE(AllocateOppositeWork(&work, 8, 6));
    int count = OppositePairs(set.views, &work);
    // Rows: 0 = 170, 1 = 0, 2 = 350, 3 = 100, 4 = 260, 5 = 190. The pair of
    // 170 and 350 is met from both rows and kept once; the mean spacing is
    // 60 degrees, so every gap here (at most 90) may be bridged.
    ASSERT_EQ(count, 5);
    struct Expected {
        int view, first, second;
        double weight;
    };
    const Expected expected[] = {
        {0, 2, 2, 0},            // 170 -> 350
        {1, 0, 5, 0.5},          // 0 -> 180, between 170 and 190
        {3, 4, 2, 20.0 / 90},    // 100 -> 280, between 260 and 350
        {4, 1, 3, 0.8},          // 260 -> 80, between 0 and 100
        {5, 1, 3, 0.1},          // 190 -> 10, between 0 and 100
    };
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(work.pairs[i].view, expected[i].view) << i;
        EXPECT_EQ(work.pairs[i].first, expected[i].first) << i;
        EXPECT_EQ(work.pairs[i].second, expected[i].second) << i;
        EXPECT_NEAR(work.pairs[i].weight, expected[i].weight, 1e-12) << i;
    }

    // A gap wider than three mean spacings is not bridged: views at 0, 10,
    // .. 60 and 185 degrees (mean spacing 45): 185 .. 360 is 175 wide, so
    // only 0 (180, 120/125 of the way from 60 to 185) and 185 (5, between
    // 0 and 10) get a pair.
    Angles gap({0, 10 * d, 20 * d, 30 * d, 40 * d, 50 * d, 60 * d, 185 * d});
    ASSERT_TRUE(AllocateOppositeWork(&work, 8, 8));
    ASSERT_EQ(OppositePairs(gap.views, &work), 2);
    EXPECT_EQ(work.pairs[0].view, 0);
    EXPECT_EQ(work.pairs[0].first, 6);
    EXPECT_EQ(work.pairs[0].second, 7);
    EXPECT_NEAR(work.pairs[0].weight, 120.0 / 125, 1e-12);
    EXPECT_EQ(work.pairs[1].view, 7);
    EXPECT_EQ(work.pairs[1].first, 0);
    EXPECT_EQ(work.pairs[1].second, 1);
    EXPECT_NEAR(work.pairs[1].weight, 0.5, 1e-12);
}

TEST(CenterTurns, HalfTurnsInAnyOrder) {
    const double d = kPi / 180;
    struct Order {
        const char *name;
        std::vector<double> degrees;
        int used;
        std::vector<int> first_rows;  // the first rows of the order
    };
    std::vector<double> plain, backwards, inclusive, shifted, shuffled, uneven, full, jitter, wobble;
    for (int k = 0; k < 20; ++k) {
        plain.push_back(k * 9.0);
        backwards.push_back(-k * 9.0);
        shifted.push_back(37 + k * 9.0);
        uneven.push_back(k * 9.0 + (k == 7 ? 3 : 0));
        full.push_back(k * 18.0);
        jitter.push_back(k * 9.0 + (k % 2 == 0 ? 0.05 : -0.05));
        wobble.push_back(k * 9.0 + (k % 2 == 0 ? 0.2 : -0.2));
    }
    for (int k = 0; k <= 20; ++k) inclusive.push_back(k * 9.0);
    for (int k = 0; k < 20; ++k) shuffled.push_back(((k * 7) % 20) * 9.0);
    const Order orders[] = {
        {"as written", plain, 20, {0, 1, 2}},
        // -171 .. 0: the last row first.
        {"backwards", backwards, 20, {19, 18, 17}},
        {"0 to 180 inclusive", inclusive, 20, {0, 1, 2}},
        {"starting at 37", shifted, 20, {0, 1, 2}},
        // Row k holds (7k mod 20) steps: step 1 is row 3 (21 mod 20), step 2 row 6.
        {"shuffled", shuffled, 20, {0, 3, 6}},
        {"within a hundredth of a step", jitter, 20, {0, 1, 2}},
        {"uneven", uneven, 0, {}},
        {"a full turn", full, 0, {}},
        {"off by more than a hundredth", wobble, 0, {}},
    };
    for (const Order &o : orders) {
        std::vector<double> radians;
        for (double a : o.degrees) radians.push_back(a * d);
        Angles set(radians);
        std::vector<int> order(radians.size());
        int used = EvenHalfTurnOrder(set.views, order.data());
        EXPECT_EQ(used, o.used) << o.name;
        for (std::size_t i = 0; i < o.first_rows.size() && used > 0; ++i) {
            EXPECT_EQ(order[i], o.first_rows[i]) << o.name << " " << i;
        }
    }
}

// Outliers: the cases that gave a confident wrong center, and more. A
// sample replaced by `value` at (view, detector), or a share of all samples
// chosen from a fixed seed.
struct OutlierCase {
    const char *name;
    bool off_axis;   // the asymmetric phantom instead of the ring
    double value;
    double share;    // 0: the one sample below
    int view, detector;
    double noise;
};

const OutlierCase kOutliers[] = {
    {"one sample of 1e6", false, 1e6, 0, 50, 90, 0},
    {"one sample of -1e6", false, -1e6, 0, 50, 90, 0},
    {"one sample of 1e6 in a corner", false, 1e6, 0, 0, 0, 0},
    {"one sample of 1e6 in the last view", false, 1e6, 0, 179, 127, 0},
    {"one sample of 1e4", false, 1e4, 0, 120, 40, 0},
    {"1 % zingers of 1e4", false, 1e4, 0.01, 0, 0, 0},
    {"1 % zingers of 1e4, noise", false, 1e4, 0.01, 0, 0, 0.01},
    {"2 % zingers of 1e4", false, 1e4, 0.02, 0, 0, 0},
    {"one sample of 1e6, off the axis", true, 1e6, 0, 50, 90, 0},
    {"1 % zingers of 1e4, off the axis", true, 1e4, 0.01, 0, 0, 0},
    {"1 % zingers of 1e3, off the axis", true, 1e3, 0.01, 0, 0, 0.01},
};

// disk_sino 128 0 0 40 -30 180 (a ring on the axis, 63.5), or the
// asymmetric phantom with the axis at 60.3.
std::vector<double> OutlierSinogram(const OutlierCase &c, int m, double turn, double *center) {
    const int n = 128;
    *center = c.off_axis ? 60.3 : 63.5;
    std::vector<OracleDisk> disks =
        c.off_axis ? AsymmetricDisks(0.5) : std::vector<OracleDisk>{{0, 0, 40, 1}, {0, 0, 30, -1}};
    std::vector<double> samples = DiskProjections(n, *center, EvenAngles(m, turn), disks, 1);
    if (c.noise > 0) AddNoise(&samples, c.noise, 20261209);
    if (c.share == 0) {
        samples[static_cast<std::size_t>(c.view) * n + c.detector] = c.value;
    } else {
        std::mt19937 generator(7);
        std::uniform_real_distribution<double> uniform(0, 1);
        for (double &v : samples) {
            if (uniform(generator) < c.share) v = c.value;
        }
    }
    return samples;
}

TEST(CenterTurns, OutliersDoNotMoveTheCenter) {
    for (const OutlierCase &c : kOutliers) {
        double center = 0;
        CenterEstimate half = HalfTurnCenter(OutlierSinogram(c, 180, kPi, &center), 128, 180);
        EXPECT_TRUE(half.found) << c.name;
        EXPECT_NEAR(half.center, center, 0.1) << c.name;
        CenterEstimate full = FullTurnSearch(OutlierSinogram(c, 180, 2 * kPi, &center), 128, EvenAngles(180, 2 * kPi));
        std::printf("%-40s error %+.4f over the half turn, %+.4f over the full turn\n", c.name, half.center - center,
                    full.center - center);
        EXPECT_TRUE(full.found) << c.name;
        EXPECT_NEAR(full.center, center, 0.05) << c.name;
    }
}

TEST(CenterTurns, FindOutliersReplacesASpikeByItsNeighboursMedian) {
    // A 4 x 5 sinogram of values 1 .. 20 (row-major), two spikes: 1e9 at
    // (1, 2) and -1e9 at (3, 4), a corner. The views' 3 x 3 medians peak
    // near 18, so the limit is 8 times some such value, far below 1e9.
    std::vector<double> s(20);
    for (int i = 0; i < 20; ++i) s[i] = i + 1;
    s[1 * 5 + 2] = 1e9;
    s[3 * 5 + 4] = -1e9;
    OutlierWork work;
    ASSERT_TRUE(AllocateOutlierWork(&work, 5, 4));
    ASSERT_TRUE(FindOutliers(s.data(), &work));
    ASSERT_EQ(work.outliers.count, 2u);
    // (1, 2): neighbours 2 3 4 / 7 9 / 12 13 14, median of eight = (7 + 9)/2.
    EXPECT_EQ(work.outliers.index[0], 7u);
    EXPECT_EQ(work.outliers.value[0], 8);
    // (3, 4): neighbours 14 15 / 19, median 15.
    EXPECT_EQ(work.outliers.index[1], 19u);
    EXPECT_EQ(work.outliers.value[1], 15);
    EXPECT_EQ(work.outliers.largest, 19);
    // The replacements go into a view's copy, windowed or not.
    double row[5] = {6, 7, 1e9, 9, 10};
    PatchView(work.outliers, 1, 5, nullptr, row);
    EXPECT_EQ(row[2], 8);
    double window[5] = {1, 1, 0.5, 1, 1};
    row[2] = 0;
    PatchView(work.outliers, 1, 5, window, row);
    EXPECT_EQ(row[2], 4);

    // Two spikes side by side: each one's median leaves the other out.
    std::vector<double> pair(5 * 20, 1.0);
    pair[2 * 5 + 2] = 1e9;
    pair[2 * 5 + 3] = 1e9;
    pair[3 * 5 + 2] = 3;
    ASSERT_TRUE(AllocateOutlierWork(&work, 5, 20));
    ASSERT_TRUE(FindOutliers(pair.data(), &work));
    ASSERT_EQ(work.outliers.count, 2u);
    // (2, 2) and (2, 3): six ones and the 3 each, the other spike left out.
    EXPECT_EQ(work.outliers.value[0], 1);
    EXPECT_EQ(work.outliers.value[1], 1);
}

TEST(CenterTurns, TooManyOutliersAreNoBasisForASearch) {
    // One sample in 16 far beyond the rest: more than the 32nd of the
    // samples the search replaces.
    const int n = 64, m = 64;
    std::vector<double> s(static_cast<std::size_t>(n) * m, 1.0);
    for (std::size_t i = 0; i < s.size(); i += 16) s[i] = 1e6;
    OutlierWork work;
    ASSERT_TRUE(AllocateOutlierWork(&work, n, m));
    EXPECT_FALSE(FindOutliers(s.data(), &work));
    EXPECT_FALSE(HalfTurnCenter(s, n, m).found);
}

TEST(CenterTurns, CleanPhantomsHaveNoOutliers) {
    // The phantoms the documented accuracy comes from are searched as they
    // are: small sharp features, a lone disk 7.3 detectors wide, disks 1
    // and 2.2 wide alone, the truncated phantoms, the demo's ring, and a
    // thin plate seen edge-on (a row of 41 disks 1.5 detectors wide, 60
    // long: 40 times as much along it as across).
    struct Clean {
        int n, m;
        double center;
        std::vector<OracleDisk> disks;
    };
    std::vector<OracleDisk> plate;
    for (int i = -20; i <= 20; ++i) plate.push_back({i * 1.5, 0, 0.75, 1});
    const Clean cleans[] = {
        {256, 180, 20.3, AsymmetricDisks(0.25)},
        {256, 180, 127.3, AsymmetricDisks(1)},
        {115, 180, 57.3, {{10, -6, 3.65, 1}}},
        {100, 180, 49.6, {{12, 8, 0.5, 1}, {-9, 4, 1.1, 1}}},
        {128, 180, 65.8, AsymmetricDisks(3.0)},
        {151, 240, 74.25, AsymmetricDisks(4.0)},
        {128, 90, 63.5, {{10, 5, 50, 2}, {10, 5, 40, -2}, {10, 5, 20, 2}}},
        {128, 180, 63.5, plate},
    };
    for (const Clean &c : cleans) {
        std::vector<double> samples = DiskProjections(c.n, c.center, EvenAngles(c.m, kPi), c.disks, 1);
        OutlierWork work;
        ASSERT_TRUE(AllocateOutlierWork(&work, c.n, c.m));
        ASSERT_TRUE(FindOutliers(samples.data(), &work));
        EXPECT_EQ(work.outliers.count, 0u) << c.n << " " << c.center;
    }
}

}  // namespace
