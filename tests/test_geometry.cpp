// The parallel-beam library: the ramp filter against the direct sum, the
// tiled back-projection against the pixel-by-pixel evaluation on every
// inner loop and thread count, pixel runs against a test of every pixel,
// views and their weights, the image grid.
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "backproject.h"
#include "filter.h"
#include "kernels.h"
#include "cli/run.h"
#include "oracle/projector_oracle.h"
#include "oracle/recon2d_oracle.h"
#include "project.h"
#include "views.h"

namespace {

const double kPi = 3.141592653589793;

std::vector<double> RandomValues(std::size_t count, unsigned seed) {
    std::mt19937_64 generator(seed);
    std::uniform_real_distribution<double> value(-1, 1);
    std::vector<double> values(count);
    for (double &v : values) v = value(generator);
    return values;
}

double LargestMagnitude(const std::vector<double> &values) {
    double largest = 0;
    for (double v : values) largest = std::fmax(largest, std::fabs(v));
    return largest;
}

bool SevenSmooth(long long p) {
    for (int f : {2, 3, 5, 7}) {
        while (p % f == 0) p /= f;
    }
    return p == 1;
}

TEST(RampFilter, PaddedLengthHoldsTheLinearConvolution) {
    EXPECT_EQ(PaddedLength(1), 1);
    EXPECT_EQ(PaddedLength(2), 3);
    EXPECT_EQ(PaddedLength(6), 12);     // 11 is prime
    EXPECT_EQ(PaddedLength(512), 1024);  // 1023 = 3 11 31
    EXPECT_EQ(PaddedLength(1024), 2048);
    EXPECT_EQ(PaddedLength(1025), 2058);  // 2 3 7 7 7
    for (int n = 1; n < 3000; ++n) {
        int p = PaddedLength(n);
        ASSERT_GE(p, 2 * n - 1) << n;
        ASSERT_TRUE(SevenSmooth(p)) << n;
        for (int q = 2 * n - 1; q < p; ++q) ASSERT_FALSE(SevenSmooth(q)) << n;
    }
    EXPECT_EQ(PaddedLength(2147483647), 0);
}

TEST(RampFilter, FilterEqualsTheDirectSum) {
    struct Named {
        Kernel kernel;
        Real (*function)(long long);
    };
    const Named kernels[] = {{Kernel::kChesler, Chesler}, {Kernel::kShepp, Shepp},
                             {Kernel::kRamachandran, Ramachandran}};
    std::vector<int> sizes;
    for (int n = 1; n <= 70; ++n) sizes.push_back(n);
    for (int n : {97, 128, 199, 255, 256, 257, 300, 384, 511, 625}) sizes.push_back(n);
    for (const Named &named : kernels) {
        for (int n : sizes) {
            const int views = 3;
            ViewFilter filter;
            ASSERT_TRUE(MakeViewFilter(n, named.kernel, 2, &filter));
            std::vector<double> samples = RandomValues(static_cast<std::size_t>(n) * views, n);
            samples[0] = 7.5;  // one large sample: a wrap-around would show far from it
            std::vector<double> filtered = samples;
            FilterViews(filter, filtered.data(), views);
            for (int k = 0; k < views; ++k) {
                std::vector<double> expected(n);
                FilterViewOracle(samples.data() + n * k, n, named.function, expected.data());
                double tolerance = 1e-12 * LargestMagnitude(expected);
                for (int i = 0; i < n; ++i) {
                    ASSERT_NEAR(filtered[n * k + i], expected[i], tolerance)
                        << "kernel " << static_cast<int>(named.kernel) << " n " << n << " view " << k << " i " << i;
                }
            }
        }
    }
}

TEST(RampFilter, FilterOfOneSampleIsTheKernel) {
    // A unit sample at detector d gives h(i - d) at every detector i: the
    // kernel itself, cut to the view, with nothing wrapped around.
    const int n = 9;
    ViewFilter filter;
    ASSERT_TRUE(MakeViewFilter(n, Kernel::kChesler, 1, &filter));
    for (int d : {0, 4, 8}) {
        std::vector<double> view(n, 0.0);
        view[d] = 1;
        FilterView(filter, 0, view.data());
        for (int i = 0; i < n; ++i) {
            double expected = static_cast<double>(Chesler(i - d));
            EXPECT_NEAR(view[i], expected, 1e-16) << d << " " << i;
        }
    }
    // One detector: the sample times 1/8 - 1/(2 pi^2).
    ASSERT_TRUE(MakeViewFilter(1, Kernel::kChesler, 1, &filter));
    double one = 4;
    FilterView(filter, 0, &one);
    EXPECT_DOUBLE_EQ(one, 4 * (0.125 - 1 / (2 * kPi * kPi)));
}

TEST(RampFilter, NonFiniteSampleSpreadsThroughItsViewOnly) {
    // Through the FFT every filtered sample of the view depends on every
    // sample, so one that is not finite leaves none finite; the other views
    // keep their values.
    for (int n : {1, 2, 5, 64, 121, 300}) {
        for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
            for (int at : {0, n / 2, n - 1}) {
                ViewFilter filter;
                ASSERT_TRUE(MakeViewFilter(n, Kernel::kShepp, 1, &filter));
                std::vector<double> views(2 * static_cast<std::size_t>(n), 1.0);
                views[at] = bad;
                FilterViews(filter, views.data(), 2);
                for (int i = 0; i < n; ++i) {
                    ASSERT_FALSE(std::isfinite(views[i])) << n << " " << bad << " " << at << " " << i;
                    ASSERT_TRUE(std::isfinite(views[n + i])) << n << " " << bad << " " << at << " " << i;
                }
            }
        }
    }
}

TEST(BackProjection, PixelRunsAreThePixelsOnTheDetector) {
    struct Case {
        double base, cosine;
        int detectors, first, last;
        double half;
    };
    std::vector<Case> cases = {
        {5, 1, 11, 0, 21, 10},         // s = j - 5: pixels 5 ... 15
        {5, -1, 11, 0, 21, 10},        // s = 15 - j: pixels 5 ... 15
        {3, 0, 7, 0, 9, 4},            // constant on the detector: all
        {-1e-300, 0, 7, 0, 9, 4},      // constant just below it: none
        {6, 0, 7, 2, 9, 4},            // constant at N - 1: all of [2, 9)
        {6.0000000000000009, 0, 7, 0, 9, 4},
        {3, 6.123233995736766e-17, 7, 0, 1000, 499.5},  // a view at pi/2
        {0, 1e-300, 5, 0, 20, 9.5},
        {2, 0.5, 3, 0, 40, 19.5},
        {0.5, 1, 2, 0, 4, 1.5},  // two detectors, positions -1, 0, 1, 2
        {0, 1, 1, 0, 5, 2},      // one detector: only s = 0
        {1e9, 1, 11, 0, 21, 10},  // far off
        {4, 1, 11, 7, 7, 3},      // an empty range of pixels
    };
    std::mt19937_64 generator(11);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int c = 0; c < 3000; ++c) {
        int detectors = 1 + static_cast<int>(std::fabs(unit(generator)) * 40);
        int size = 1 + static_cast<int>(std::fabs(unit(generator)) * 60);
        double half = (size - 1.0) / 2;
        double angle = c < 100 ? c * kPi / 100 : kPi * unit(generator);
        double base = detectors * 0.5 + unit(generator) * size;
        int first = static_cast<int>(std::fabs(unit(generator)) * size);
        cases.push_back({base, std::cos(angle), detectors, first, size, half});
    }
    for (const Case &c : cases) {
        Grid grid = AxisGrid(static_cast<int>(2 * c.half + 1));
        std::vector<double> xs(static_cast<std::size_t>(grid.size));
        ColumnPositions(grid, xs.data());
        int lo = -1, hi = -1;
        PixelRun(c.base, c.cosine, grid, xs.data(), c.detectors, c.first, c.last, &lo, &hi);
        ASSERT_LE(c.first, lo);
        ASSERT_LE(lo, hi);
        ASSERT_LE(hi, c.last < c.first ? c.first : c.last);
        for (int j = c.first; j < c.last; ++j) {
            double s = c.base + (static_cast<double>(j) - c.half) * c.cosine;
            bool on = s >= 0 && s <= c.detectors - 1;
            ASSERT_EQ(on, j >= lo && j < hi) << "base " << c.base << " cos " << c.cosine << " j " << j;
        }
    }
}

// The back-projection and scaling of an even half turn, with `threads`
// threads.
std::vector<double> Reconstruct(const std::vector<double> &filtered, int n, int m, double center, int size,
                                double interval, int threads, RowPath path = BestRowPath()) {
    ViewSet views;
    EXPECT_TRUE(EvenHalfTurn(m, &views).ok());
    std::vector<double> image(static_cast<std::size_t>(size) * size, 0.0);
    omp_set_num_threads(threads);
    BackProjectViews(filtered.data(), views, Detector{n, center}, AxisGrid(size), image.data(), path);
    ScaleImage(image.data(), image.size(), BackProjectionScale(views), interval);
    omp_set_num_threads(omp_get_num_procs());
    ReleaseViews(&views);
    return image;
}

// The inner loops this processor runs; the scalar one always.
std::vector<RowPath> Paths() {
    std::vector<RowPath> paths;
    for (RowPath path : {RowPath::kScalar, RowPath::kAvx2, RowPath::kAvx512}) {
        if (RowPathSupported(path)) paths.push_back(path);
    }
    return paths;
}

TEST(BackProjection, BackProjectionEqualsThePixelByPixelSum) {
    struct Case {
        int n, m;
        double center;
        int size;
    };
    const Case cases[] = {
        {1, 3, 0, 4},        {2, 4, 0.5, 3},     {3, 1, 1, 3},         {5, 7, 2, 1},
        {16, 30, 7.5, 16},   {16, 31, 7.25, 40}, {40, 90, 19.5, 17},   {33, 64, 0.01, 33},
        {33, 64, 31.99, 34}, {64, 180, 31.5, 64}, {57, 100, 20.3, 300}, {300, 45, 149.5, 271},
    };
    for (const Case &c : cases) {
        std::vector<double> filtered = RandomValues(static_cast<std::size_t>(c.n) * c.m, c.n * 1000 + c.m);
        std::vector<double> expected(static_cast<std::size_t>(c.size) * c.size);
        BackProjectImageOracle(filtered.data(), c.n, c.m, c.center, c.size, kPi / c.m, 0.75,
                               expected.data());
        for (RowPath path : Paths()) {
            for (int threads : {1, 2, 3}) {
                std::vector<double> image = Reconstruct(filtered, c.n, c.m, c.center, c.size, 0.75, threads, path);
                // Every operation in the same order: equal to the last bit.
                for (std::size_t p = 0; p < image.size(); ++p) {
                    ASSERT_EQ(image[p], expected[p]) << "n " << c.n << " m " << c.m << " size " << c.size << " pixel "
                                                     << p << " threads " << threads << " path "
                                                     << static_cast<int>(path);
                }
            }
        }
    }
}

TEST(BackProjection, BackProjectionByHand) {
    // Three detectors, axis at 1, a 3 x 3 image, interval 2.
    // One view (angle 0): s = 1 + x = j, so every row is the view.
    const std::vector<double> one = {1, 2, 4};
    std::vector<double> image = Reconstruct(one, 3, 1, 1, 3, 2, 1);
    for (int r = 0; r < 3; ++r) {
        for (int j = 0; j < 3; ++j) EXPECT_EQ(image[3 * r + j], one[j] * kPi / 2) << r << " " << j;
    }
    // A 5 x 5 image: the outer columns lie at s = -1 and 3, off the detector.
    image = Reconstruct(one, 3, 1, 1, 5, 1, 1);
    const double row[] = {0, 1, 2, 4, 0};
    for (int r = 0; r < 5; ++r) {
        for (int j = 0; j < 5; ++j) EXPECT_EQ(image[5 * r + j], row[j] * kPi) << r << " " << j;
    }
    // An even image: x = -0.5, 0.5 and s = 0.5, 1.5, halfway between detectors.
    image = Reconstruct(one, 3, 1, 1, 2, 1, 1);
    EXPECT_EQ(image[0], 1.5 * kPi);
    EXPECT_EQ(image[1], 3 * kPi);
    // Two views, the second at pi/2 where s = (1 + y) + x cos(pi/2), the
    // cosine being 6e-17: row r gets view 1 at detector 2 - r, except in
    // the bottom row's first pixel, where s = -6e-17 lies off the detector.
    const std::vector<double> two = {1, 2, 4, 8, 16, 32};
    image = Reconstruct(two, 3, 2, 1, 3, 1, 1);
    for (int r = 0; r < 3; ++r) {
        for (int j = 0; j < 3; ++j) {
            double second = r == 2 && j == 0 ? 0 : two[3 + 2 - r];
            double expected = (two[j] + second) * (kPi / 2);
            EXPECT_NEAR(image[3 * r + j], expected, 1e-13) << r << " " << j;
        }
    }
}

TEST(BackProjection, TheLastDetectorIsInterpolatedFromItsNeighbourOnEveryPath) {
    // View 0 of n detectors, axis 2: the row's last pixel lies at
    // s = n - 1 = N - 1 exactly. Its value comes from detectors n - 2 and
    // n - 1 with t = 1, so an infinite last sample gives +inf; a loop that
    // took detectors n - 1 and n would read the NaN beyond the view and give
    // NaN. The pixels on the detector are a run of n: with 5 the last one
    // falls in AVX2's scalar tail and AVX-512's masked group, with 8 in a
    // full vector of each.
    ViewSet views;
    ASSERT_TRUE(EvenHalfTurn(1, &views).ok());
    for (int n : {5, 8}) {
        std::vector<double> filtered(static_cast<std::size_t>(n) + 1);
        for (int i = 0; i < n - 1; ++i) filtered[static_cast<std::size_t>(i)] = i + 1;
        filtered[static_cast<std::size_t>(n) - 1] = std::numeric_limits<double>::infinity();
        filtered[static_cast<std::size_t>(n)] = std::numeric_limits<double>::quiet_NaN();
        for (RowPath path : Paths()) {
            for (int size : {n, 21}) {
                std::vector<double> image(static_cast<std::size_t>(size) * size, 0.0);
                Grid grid = AxisGrid(size);
                grid.x0 = (n - 3) - (size - 1) / 2.0;  // column size - 1 at x = n - 3
                BackProjectViews(filtered.data(), views, Detector{n, 2}, grid, image.data(), path);
                for (int r = 0; r < size; ++r) {
                    double last = image[static_cast<std::size_t>(r) * size + size - 1];
                    EXPECT_TRUE(std::isinf(last) && last > 0)
                        << "n " << n << " path " << static_cast<int>(path) << " row " << r;
                }
            }
        }
    }
    ReleaseViews(&views);
}

TEST(BackProjection, ARegionIsTheCropOfALargerImage) {
    // The same filtered views back-projected into a large image and into
    // regions of it (other centers, the same pixel): the region's pixels are
    // the large image's to rounding.
    const int n = 64, m = 45;
    std::vector<double> filtered = RandomValues(static_cast<std::size_t>(n) * m, 5);
    ViewSet views;
    ASSERT_TRUE(EvenHalfTurn(m, &views).ok());
    for (double pixel : {1.0, 0.5, 1.75}) {
        Grid large{80, pixel, 0.5 * pixel, -1.5 * pixel};
        std::vector<double> whole(80 * 80, 0.0);
        BackProjectViews(filtered.data(), views, Detector{n, 30.25}, large, whole.data());
        struct Region {
            int size, column, row;  // its pixel (0, 0) is the large image's (column, row)
        };
        for (Region region : {Region{10, 0, 0}, Region{21, 40, 13}, Region{7, 73, 70}, Region{1, 5, 66}}) {
            Grid grid{region.size, pixel, PixelX(large, region.column) + GridHalf(Grid{region.size, pixel, 0, 0}) * pixel,
                      PixelY(large, region.row) - GridHalf(Grid{region.size, pixel, 0, 0}) * pixel};
            std::vector<double> part(static_cast<std::size_t>(region.size) * region.size, 0.0);
            BackProjectViews(filtered.data(), views, Detector{n, 30.25}, grid, part.data());
            for (int r = 0; r < region.size; ++r) {
                for (int j = 0; j < region.size; ++j) {
                    double expected = whole[static_cast<std::size_t>(region.row + r) * 80 + region.column + j];
                    ASSERT_NEAR(part[static_cast<std::size_t>(r) * region.size + j], expected,
                                1e-12 * (std::fabs(expected) + 1))
                        << "pixel " << pixel << " region at " << region.column << "," << region.row << " r " << r
                        << " j " << j;
                }
            }
        }
    }
    ReleaseViews(&views);
}

// Angles in degrees as a set of views.
ViewSet ViewsOf(const std::vector<double> &degrees) {
    ViewSet views;
    EXPECT_TRUE(ViewsFromDegrees(degrees.data(), static_cast<int>(degrees.size()), &views).ok());
    return views;
}

std::vector<double> Degrees(int count, double first, double step) {
    std::vector<double> d(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) d[static_cast<std::size_t>(k)] = first + k * step;
    return d;
}

// Angles in radians from degrees.
std::vector<double> Radians(int count, double first, double step) {
    std::vector<double> radians;
    for (int k = 0; k < count; ++k) radians.push_back((first + k * step) * kPi / 180);
    return radians;
}

TEST(Views, TheEvenHalfTurnTheAnglesBeginWith) {
    const struct {
        std::vector<double> radians;
        int half;
    } cases[] = {
        {Radians(360, 0, 0.5), 360},    // 0 ... 179.5
        {Radians(361, 0, 0.5), 360},    // 0 ... 180 inclusive: the last view left out
        {Radians(720, 0, 0.5), 360},    // a full turn: its first half
        {Radians(90, 180, -2), 90},     // decreasing, from 180
        {Radians(359, 0, 0.5), 0},      // short of the half turn
        {Radians(100, 0, 0.7), 0},      // 180 / 0.7 views is no whole number
        {Radians(1, 0, 1), 0},
        {{0, 0, 0}, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EvenHalfTurnStart(c.radians.data(), static_cast<int>(c.radians.size())), c.half)
            << c.radians.size() << " views";
    std::vector<double> uneven = Radians(360, 0, 0.5);
    uneven[200] += 0.0051 * kPi / 180;  // just over a hundredth of the step
    EXPECT_EQ(EvenHalfTurnStart(uneven.data(), 360), 0);
    uneven[200] -= 0.0002 * kPi / 180;  // just under
    EXPECT_EQ(EvenHalfTurnStart(uneven.data(), 360), 360);
    uneven[200] += 0.01 * kPi / 180;
    EXPECT_EQ(EvenHalfTurnStart(uneven.data(), 360), 0);
}

TEST(Views, WeightsShareTheHalfTurnAmongTheViews) {
    struct Case {
        const char *name;
        std::vector<double> degrees;
        double first_weight;  // degrees; the weight of view 0
        bool limited;
    };
    std::vector<double> golden(500);
    for (int k = 0; k < 500; ++k) golden[k] = std::fmod(k * 111.24611797498108, 180.0);
    std::vector<double> uneven = Degrees(90, 0, 2);
    for (std::size_t k = 0; k < uneven.size(); ++k) uneven[k] += (k % 3 == 1) ? 0.7 : 0;
    // A full turn of single degrees less 90 and 270: one direction missing,
    // a gap of 2 against a mean of 1 among the distinct directions (not of
    // 0.5 among the 358 views, which would call it limited).
    std::vector<double> holed;
    for (int d = 0; d < 360; ++d)
        if (d != 90 && d != 270) holed.push_back(d);
    const Case cases[] = {
        {"full turn less one direction", holed, -1, false},
        {"half turn", Degrees(180, 0, 1), 1, false},
        {"inclusive", Degrees(361, 0, 0.5), 0.25, false},  // 0 and 180 share one direction
        {"full turn", Degrees(360, 0, 1), 0.5, false},      // every line seen twice
        {"decreasing", Degrees(180, 179, -1), 1, false},
        {"golden", golden, -1, false},
        {"uneven", uneven, 2.35, false},  // half of (2 + 2.7): the view at 178 before it
        {"limited", Degrees(121, 0, 1), 30.5, true},  // half of 60 + 1
        {"one view", {37}, 180, true},          // one direction: the gap of a half turn
        {"one direction", {45, 45, 225, 45}, -1, true},
    };
    for (const Case &c : cases) {
        ViewSet views = ViewsOf(c.degrees);
        double sum = 0;
        for (int k = 0; k < views.count; ++k) sum += views.weights[k];
        EXPECT_NEAR(sum, kPi, 1e-9) << c.name;
        if (c.first_weight >= 0) {
            EXPECT_NEAR(views.weights[0] * 180 / kPi, c.first_weight, 1e-6) << c.name;
        }
        EXPECT_EQ(LimitedRange(views), c.limited) << c.name;
        EXPECT_FALSE(views.even) << c.name;
        ReleaseViews(&views);
    }
    for (const Case &c : cases) {
        ViewSet views = ViewsOf(c.degrees);
        EXPECT_EQ(LimitedRangeWarning(views).empty(), !c.limited) << c.name;
        ReleaseViews(&views);
    }
    ViewSet limited = ViewsOf(Degrees(121, 0, 1));
    EXPECT_EQ(LimitedRangeWarning(limited), "warning: limited range: the views leave a gap of 60 degrees after 120 "
                                             "degrees; sino_iter's total variation suits limited ranges.");
    double from = 0;
    EXPECT_NEAR(LargestGap(limited, &from) * 180 / kPi, 60, 1e-9);
    EXPECT_NEAR(from * 180 / kPi, 120, 1e-9);
    ReleaseViews(&limited);
    ViewSet full = ViewsOf(Degrees(360, 0, 1)), half = ViewsOf(Degrees(180, 0, 1));
    EXPECT_TRUE(CoversFullTurn(full));
    EXPECT_FALSE(CoversFullTurn(half));
    ReleaseViews(&full);
    ReleaseViews(&half);
    // The even half turn: every weight the step, cos and sin of k pi / M.
    ViewSet even;
    ASSERT_TRUE(EvenHalfTurn(7, &even).ok());
    EXPECT_TRUE(even.even);
    EXPECT_EQ(BackProjectionScale(even), kPi / 7);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(even.weights[k], kPi / 7);
        EXPECT_EQ(even.cosines[k], std::cos(k * (kPi / 7)));
    }
    ReleaseViews(&even);
}

// The projector's test geometries: image, detector, views, pixel, center.
struct ProjectorCase {
    int size, detectors;
    double axis;
    std::vector<double> angles;  // radians
    double pixel, x0, y0;
};

std::vector<ProjectorCase> ProjectorCases() {
    std::vector<double> even(30), odd{0, kPi / 4, -kPi / 4, 3 * kPi / 4, kPi / 2, 1e-3, kPi, 5.5, -2.2};
    for (int k = 0; k < 30; ++k) even[k] = k * (kPi / 30);
    std::mt19937_64 generator(21);
    std::uniform_real_distribution<double> angle(-7, 7);
    std::vector<double> random(25), many(120);
    for (double &a : random) a = angle(generator);
    for (double &a : many) a = angle(generator);
    return {
        {16, 16, 7.5, even, 1, 0, 0},   {17, 25, 12.3, odd, 1, 0, 0},   {20, 31, 14, random, 1, 1.5, -2},
        {12, 40, 19.5, even, 2.5, 0, 0}, {33, 20, 9.1, random, 0.4, -3, 1}, {1, 3, 1, odd, 1, 0, 0},
        {9, 1, 0, even, 1, 0, 0},       {24, 64, 31.5, random, 0.9, 0, 0},
        // Pixels of about half a detector: eight detectors' pixels span 14 to
        // 17 samples of a line, either side of the vector path's limit of
        // 16, near its ends as well.
        {20, 14, 6.3, random, 0.5, 0.1, -0.2}, {24, 16, 7.7, even, 0.48, 0, 0}, {13, 9, 4.1, odd, 0.55, 0.3, 0.1},
        {32, 20, 9.6, random, 0.52, -0.4, 0.25},
        // Work enough for three threads in the projector and its transpose,
        // over several blocks of lines: each thread keeps its views from
        // block to block.
        {100, 300, 151.2, many, 0.8, 2, -1},
    };
}

ViewSet AnglesAsViews(const std::vector<double> &angles) {
    ViewSet views;
    EXPECT_TRUE(ViewsFromRadians(angles.data(), static_cast<int>(angles.size()), &views).ok());
    return views;
}

std::vector<LinePath> LinePaths() {
    std::vector<LinePath> paths{LinePath::kScalar};
    if (BestLinePath() == LinePath::kAvx512) paths.push_back(LinePath::kAvx512);
    return paths;
}

TEST(Projector, IntegralsAlongTheRaysAsTheDefinitionReads) {
    for (const ProjectorCase &c : ProjectorCases()) {
        ViewSet views = AnglesAsViews(c.angles);
        Grid grid{c.size, c.pixel, c.x0, c.y0};
        std::size_t samples = views.count * static_cast<std::size_t>(c.detectors);
        std::vector<double> image = RandomValues(static_cast<std::size_t>(c.size) * c.size, c.size);
        std::vector<double> expected(samples), first;
        ProjectOracle(image.data(), c.size, c.pixel, c.x0, c.y0, c.angles.data(), views.count, c.detectors, c.axis,
                      expected.data());
        ProjectionWork work;
        ASSERT_TRUE(AllocateProjection(c.size, &work).ok());
        double scale = 1e-12 * (LargestMagnitude(expected) + 1);
        for (LinePath path : LinePaths()) {
            for (int threads : {1, 2, 3}) {
                omp_set_num_threads(threads);
                std::vector<double> sinogram(samples, -1.0);
                Project(grid, views, Detector{c.detectors, c.axis}, image.data(), sinogram.data(), &work, path);
                for (std::size_t i = 0; i < samples; ++i) ASSERT_NEAR(sinogram[i], expected[i], scale) << i;
                // Every path and thread count: the same samples to the last bit.
                if (first.empty()) first = sinogram;
                ASSERT_TRUE(sinogram == first) << "path " << static_cast<int>(path) << " threads " << threads;
            }
        }
        omp_set_num_threads(omp_get_num_procs());
        ReleaseViews(&views);
    }
}

TEST(Projector, TheTransposeIsExact) {
    // <A x, y> = <x, A^T y> for random x and y, to rounding.
    for (const ProjectorCase &c : ProjectorCases()) {
        ViewSet views = AnglesAsViews(c.angles);
        Grid grid{c.size, c.pixel, c.x0, c.y0};
        Detector detector{c.detectors, c.axis};
        std::size_t pixels = static_cast<std::size_t>(c.size) * c.size;
        std::size_t samples = views.count * static_cast<std::size_t>(c.detectors);
        std::vector<double> x = RandomValues(pixels, 3), y = RandomValues(samples, 4), ax(samples), first;
        ProjectionWork work;
        ASSERT_TRUE(AllocateProjection(c.size, &work).ok());
        Project(grid, views, detector, x.data(), ax.data(), &work);
        double forward = 0, scale = 0;
        for (std::size_t i = 0; i < samples; ++i) forward += ax[i] * y[i], scale += std::fabs(ax[i] * y[i]);
        for (LinePath path : LinePaths()) {
            for (int threads : {1, 2, 3}) {
                omp_set_num_threads(threads);
                std::vector<double> aty(pixels, -1.0);
                ProjectTransposed(grid, views, detector, y.data(), aty.data(), &work, path);
                double backward = 0;
                for (std::size_t i = 0; i < pixels; ++i) backward += x[i] * aty[i];
                EXPECT_NEAR(forward, backward, 1e-12 * scale) << c.size << " " << c.detectors;
                if (first.empty()) first = aty;
                ASSERT_TRUE(aty == first) << "path " << static_cast<int>(path) << " threads " << threads;
            }
        }
        omp_set_num_threads(omp_get_num_procs());
        ReleaseViews(&views);
    }
}

}  // namespace
