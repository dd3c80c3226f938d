// sino_stat's numbers: the region, the statistics and the line they print,
// from hand calculation.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "real.h"
#include "sino_stat/stats.h"

namespace {

TEST(SinoStat, RegionIsADiskAroundTheCenterBoundaryIncluded) {
    // 5 x 5, radius 1: the center and its four neighbours.
    int inside = 0;
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 5; ++c) inside += InRegion(c, r, 5, 5, 1.0);
    }
    EXPECT_EQ(inside, 5);
    EXPECT_TRUE(InRegion(2, 1, 5, 5, 1.0));
    EXPECT_FALSE(InRegion(1, 1, 5, 5, 1.0));
    // Offsets (3, 4) lie exactly at distance 5.
    EXPECT_TRUE(InRegion(8, 9, 11, 11, 5.0));
    EXPECT_FALSE(InRegion(8, 9, 11, 11, 4.999));
    // 4 columns x 3 rows: the center is (1.5, 1); radius 0.5 takes two.
    EXPECT_TRUE(InRegion(1, 1, 4, 3, 0.5));
    EXPECT_TRUE(InRegion(2, 1, 4, 3, 0.5));
    EXPECT_FALSE(InRegion(1, 0, 4, 3, 0.5));
    EXPECT_TRUE(InRegion(0, 0, 4, 3, INFINITY));
}

TEST(SinoStat, OnlyFiniteSamplesCount) {
    const double a[] = {1, 2, NAN, 4, INFINITY, -INFINITY};
    ImageStats s = ComputeStats(a, nullptr, 3, 2, INFINITY);
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.min, 1.0);
    EXPECT_EQ(s.max, 4.0);
    EXPECT_EQ(s.mean, 7.0 / 3);
    EXPECT_EQ(s.compared, 0);
}

TEST(SinoStat, DifferencesOverPixelsFiniteInBoth) {
    const double a[] = {5, 2, NAN, 4, 1, 7};
    const double b[] = {2, 6, 1, NAN, INFINITY, 7};
    // Compared: 5 - 2 = 3, 2 - 6 = -4, 7 - 7 = 0.
    ImageStats s = ComputeStats(a, b, 2, 3, INFINITY);
    EXPECT_EQ(s.count, 5);
    EXPECT_EQ(s.compared, 3);
    EXPECT_EQ(s.rms, std::sqrt(25.0 / 3));
    EXPECT_EQ(s.maxabs, 4.0);
    EXPECT_EQ(s.min, 1.0);
    EXPECT_EQ(s.max, 7.0);
}

TEST(SinoStat, RegionSelectsPixels) {
    // 3 x 3 with 10 in the middle: radius 0.5 sees it alone, radius 1 the
    // cross of five.
    const double a[] = {1, 1, 1, 1, 10, 1, 1, 1, 1};
    ImageStats s = ComputeStats(a, nullptr, 3, 3, 0.5);
    EXPECT_EQ(s.count, 1);
    EXPECT_EQ(s.mean, 10.0);
    s = ComputeStats(a, a, 3, 3, 1.0);
    EXPECT_EQ(s.count, 5);
    EXPECT_EQ(s.mean, 14.0 / 5);
    EXPECT_EQ(s.compared, 5);
    EXPECT_EQ(s.rms, 0.0);
    // A region between pixel centers holds none.
    EXPECT_EQ(ComputeStats(a, nullptr, 2, 2, 0.5).count, 0);
}

TEST(SinoStat, MeanIsAccumulatedExtended) {
    if (sizeof(Real) == sizeof(double)) GTEST_SKIP() << "no extended type on this platform";
    // A double sum would drop both ones against 1e16.
    const double a[] = {1e16, 1, 1, -1e16};
    EXPECT_EQ(ComputeStats(a, nullptr, 4, 1, INFINITY).mean, 0.5);
}

TEST(SinoStat, PrintsOneLineOfNameValuePairs) {
    ImageStats s{3, -1.5, 4, 7.0 / 3, 2, std::sqrt(2.0), 1e-12, false};
    FILE *out = std::tmpfile();
    PrintStats(out, s, 3, 2, false);
    EXPECT_EQ(ContentsAndClose(out), "size 3x2 count 3 min -1.5 max 4 mean 2.33333333\n");
    out = std::tmpfile();
    PrintStats(out, s, 3, 2, true);
    EXPECT_EQ(ContentsAndClose(out),
              "size 3x2 count 3 min -1.5 max 4 mean 2.33333333 compared 2 rms 1.41421356 maxabs 1e-12\n");
}

}  // namespace
