// sino_fold's geometry and folded views, by hand on small views, and
// against analytic half turns of disks.
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "oracle/center_oracle.h"
#include "fold.h"

namespace {

const double kPi = 3.141592653589793;

FoldGeometry Geometry(int n, double c) {
    FoldGeometry g{};
    EXPECT_TRUE(MakeFoldGeometry(n, c, &g)) << n << " " << c;
    return g;
}

TEST(SinoFold, GeometryOfTheUnion) {
    struct Row {
        int n;
        double c;
        int width, pad;
        double first, last, folded;
        bool averaged;
    };
    const Row rows[] = {
        // Axis in the middle: the opposite view mirrored covers the same
        // columns.
        {8, 3.5, 8, 0, 0, 7, 3.5, true},
        // 2c = 2.5: the opposite view covers [-4.5, 2.5], whole columns
        // from -4: four columns on the left, overlap [0, 2.5].
        {8, 1.25, 12, 4, 0, 2.5, 5.25, false},
        // 2c = 11: [4, 11], four columns on the right.
        {8, 5.5, 12, 0, 4, 7, 5.5, false},
        // Within N/8 = 1 of the middle 3.5: averaged, one column more.
        {8, 4.5, 10, 0, 2, 7, 4.5, true},
        {8, 2.5, 10, 2, 0, 5, 4.5, true},
        // Just beyond N/8 = 12.5 from the middle 49.5.
        {100, 62, 125, 0, 25, 99, 62, true},
        {100, 62.25, 125, 0, 25.5, 99, 62.25, false},
        // A quarter-detector axis: 2c = 0.5, the opposite view on
        // [-98.5, 0.5], whole columns from -98.
        {100, 0.25, 198, 98, 0, 0.5, 98.25, false},
    };
    for (const Row &r : rows) {
        FoldGeometry g = Geometry(r.n, r.c);
        EXPECT_EQ(g.width, r.width) << r.n << " " << r.c;
        EXPECT_EQ(g.pad, r.pad) << r.n << " " << r.c;
        EXPECT_EQ(g.first, r.first) << r.n << " " << r.c;
        EXPECT_EQ(g.last, r.last) << r.n << " " << r.c;
        EXPECT_EQ(FoldedCenter(g), r.folded) << r.n << " " << r.c;
        EXPECT_EQ(g.averaged, r.averaged) << r.n << " " << r.c;
    }
}

TEST(SinoFold, ViewJoinedWithItsOppositeOneBlendedLinearly) {
    // N = 8, c = 1.5 (2c = 3, whole: no interpolation). The opposite view
    // mirrored lands at 3 - s, covering [-4, 3]: columns s = -4 .. -1 hold
    // q[7] .. q[4]; over s = 0 .. 3 the view's weight rises as s/3 from 0
    // at its own edge; s = 4 .. 7 hold the view.
    const double p[8] = {10, 11, 12, 13, 14, 15, 16, 17};
    const double q[8] = {20, 21, 22, 23, 24, 25, 26, 27};
    FoldGeometry g = Geometry(8, 1.5);
    ASSERT_EQ(g.width, 12);
    ASSERT_FALSE(g.averaged);
    double folded[12];
    FoldView(p, q, g, folded);
    const double expected[12] = {27, 26, 25, 24, 23, 11.0 / 3 + 2 * 22.0 / 3, 2 * 12.0 / 3 + 21.0 / 3, 13,
                                 14, 15, 16, 17};
    for (int x = 0; x < 12; ++x) EXPECT_DOUBLE_EQ(folded[x], expected[x]) << x;

    // The other side: c = 5.5, the opposite view lands at 11 - s on
    // [4, 11]; the view's own edge is now the overlap's right end, 7,
    // where its weight (7 - s)/3 reaches 0.
    FoldGeometry h = Geometry(8, 5.5);
    ASSERT_EQ(h.width, 12);
    FoldView(p, q, h, folded);
    const double mirrored[12] = {10, 11, 12, 13, 14, 2 * 15.0 / 3 + 26.0 / 3, 16.0 / 3 + 2 * 25.0 / 3, 24,
                                 23, 22, 21, 20};
    for (int x = 0; x < 12; ++x) EXPECT_DOUBLE_EQ(folded[x], mirrored[x]) << x;
}

TEST(SinoFold, ViewsNearTheMiddleAveraged) {
    // N = 8, c = 3.5: q mirrored lands on 7 - s, each pair averaged.
    const double p[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const double q[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    double folded[8];
    FoldView(p, q, Geometry(8, 3.5), folded);
    for (int s = 0; s < 8; ++s) EXPECT_DOUBLE_EQ(folded[s], 0.5 * p[s] + 0.5 * q[7 - s]) << s;
    // c = 4.5: 9 - s covers [2, 9]; s = 0, 1 the view alone, s = 8, 9
    // only the opposite one.
    double wider[10];
    FoldView(p, q, Geometry(8, 4.5), wider);
    EXPECT_DOUBLE_EQ(wider[0], 1);
    EXPECT_DOUBLE_EQ(wider[1], 2);
    for (int s = 2; s < 8; ++s) EXPECT_DOUBLE_EQ(wider[s], 0.5 * p[s] + 0.5 * q[9 - s]) << s;
    EXPECT_DOUBLE_EQ(wider[8], 20);
    EXPECT_DOUBLE_EQ(wider[9], 10);
}

TEST(SinoFold, AveragedPairsHalveTheNoise) {
    // Pure noise of variance 1 in both views, axis in the middle with 2c
    // whole: the folded samples have variance 1/2 (within 3 % for 2^20 of
    // them: the sample variance's own spread is sqrt(2 / 2^20) = 0.14 %).
    const int n = 1024, views = 1024;
    std::mt19937 generator(5);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> p(n), q(n), folded(n);
    FoldGeometry g = Geometry(n, (n - 1) / 2.0);
    double sum = 0, squares = 0;
    for (int k = 0; k < views; ++k) {
        for (int s = 0; s < n; ++s) p[s] = noise(generator), q[s] = noise(generator);
        FoldView(p.data(), q.data(), g, folded.data());
        for (double v : folded) sum += v, squares += v * v;
    }
    double count = static_cast<double>(n) * views, mean = sum / count;
    EXPECT_NEAR(squares / count - mean * mean, 0.5, 0.015);
}

TEST(SinoFold, OppositeViewInterpolatedBetweenDetectors) {
    // The six weights sum to 1, so a constant stays itself; at a half
    // detector they are symmetric, so a straight line is read exactly; a
    // slow cosine (16 detectors a period) is read within a percent of its
    // amplitude.
    for (double c : {10.05, 10.15, 10.25, 10.4}) {
        FoldGeometry g = Geometry(40, c);
        double sum = 0;
        for (double tap : g.taps) sum += tap;
        EXPECT_NEAR(sum, 1, 1e-15) << c;
        double line[40], wave[40];
        for (int i = 0; i < 40; ++i) line[i] = 3 + 0.5 * i, wave[i] = std::cos(2 * kPi * i / 16);
        for (int s = 4; s < 16; ++s) {
            double at = 2 * c - s;
            EXPECT_NEAR(OppositeAt(wave, g, s), std::cos(2 * kPi * at / 16), 1e-2) << c << " " << s;
            if (c == 10.25) {
                EXPECT_NEAR(OppositeAt(line, g, s), 3 + 0.5 * at, 1e-13) << s;
            }
        }
    }
    // Whole 2c: the sample itself, whatever its neighbours hold.
    const double spiky[5] = {INFINITY, 1, 2, NAN, 4};
    FoldGeometry whole = Geometry(5, 1.5);
    EXPECT_EQ(OppositeAt(spiky, whole, 1), 2);
}

TEST(SinoFold, FoldOfAFullTurnIsTheHalfTurnOfTheUnion) {
    // Disks seen over the full turn by 64 detectors with the axis near the
    // left edge (half acquisition): folded, each view is what 64 + 48
    // detectors with the axis at c + pad would have seen over the half turn
    // (2c whole: exact up to rounding; a fraction: the disks' sharp edges
    // read between detectors, an RMS difference within 0.2 on samples up to
    // 90, where a linear interpolation reads 0.22 and the taps turned the
    // wrong way 0.49).
    const std::vector<OracleDisk> disks = {{10, -4, 45, 1}, {10, -4, 20, -0.5}, {-20, 25, 6, 2}};
    const int n = 64, m = 90;
    for (double c : {7.5, 7.3}) {
        std::vector<double> full = DiskProjections(n, c, EvenAngles(2 * m, 2 * kPi), disks, 8);
        FoldGeometry g = Geometry(n, c);
        std::vector<double> half = DiskProjections(g.width, FoldedCenter(g), EvenAngles(m, kPi), disks, 8);
        std::vector<double> folded(g.width);
        double worst = 0, squares = 0;
        for (int k = 0; k < m; ++k) {
            FoldView(&full[static_cast<std::size_t>(k) * n], &full[static_cast<std::size_t>(k + m) * n], g,
                     folded.data());
            for (int x = 0; x < g.width; ++x) {
                double d = folded[x] - half[static_cast<std::size_t>(k) * g.width + x];
                worst = std::fmax(worst, std::fabs(d));
                squares += d * d;
            }
        }
        double rms = std::sqrt(squares / (static_cast<double>(m) * g.width));
        std::printf("c %.1f: largest difference %.3g, rms %.3g\n", c, worst, rms);
        EXPECT_LT(c == 7.5 ? worst : rms, c == 7.5 ? 1e-9 : 0.2) << c;
    }
}

}  // namespace
