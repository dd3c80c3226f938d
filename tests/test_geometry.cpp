// The parallel-beam library: the ramp filter against the direct sum, the
// tiled back-projection against the pixel-by-pixel evaluation on every
// inner loop and thread count, pixel runs against a test of every pixel,
// views and their weights, the image grid.
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "backproject.h"
#include "filter.h"
#include "kernels.h"
#include "oracle/recon2d_oracle.h"
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
            ReleaseViewFilter(&filter);
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
    ReleaseViewFilter(&filter);
    // One detector: the sample times 1/8 - 1/(2 pi^2).
    ASSERT_TRUE(MakeViewFilter(1, Kernel::kChesler, 1, &filter));
    double one = 4;
    FilterView(filter, 0, &one);
    EXPECT_DOUBLE_EQ(one, 4 * (0.125 - 1 / (2 * kPi * kPi)));
    ReleaseViewFilter(&filter);
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
                ReleaseViewFilter(&filter);
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

}  // namespace
