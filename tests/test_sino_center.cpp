// sino_center's search on sinograms whose axis is known: disks projected
// analytically onto detectors at positions i - c, for whole, half and
// arbitrary fractional centres, odd and even detector counts, objects off
// the axis, with and without noise, inside the field and cut by it.
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "center.h"
#include "checks.h"
#include "oracle/center_oracle.h"
#include "wedge.h"

namespace {

const double kPi = 3.141592653589793;

using Disk = OracleDisk;

// A half turn of M views (view k at k pi / M) with the axis at `center`.
std::vector<double> DiskSinogram(int n, int m, double center, const std::vector<Disk> &disks, int subsamples = 1) {
    return DiskProjections(n, center, EvenAngles(m, kPi), disks, subsamples);
}



// What a case must give: the centre within the tolerance, or (an object
// cut by the field) either that or the refusal.
enum class Expect { kFound, kFoundOrRefused };

struct Case {
    const char *name;
    int n, m;
    double center;
    double scale;     // of the phantom
    double noise;     // share of the largest sample
    double tolerance;
    Expect expect;
    int subsamples = 1;  // rays averaged over each detector's width
};

const Expect kFound = Expect::kFound, kEither = Expect::kFoundOrRefused;

const Case kCases[] = {
    // Inside the field in every view.
    {"even N, half centre at the middle", 256, 180, 127.5, 1, 0, 0.02, kFound},
    {"odd N, whole centre at the middle", 255, 180, 127, 1, 0, 0.02, kFound},
    {"even N, arbitrary fraction", 256, 180, 120.3, 1, 0, 0.02, kFound},
    {"odd N, half centre off the middle", 201, 360, 97.5, 0.8, 0, 0.02, kFound},
    {"odd N, whole centre off the middle", 301, 240, 160, 1.2, 0, 0.02, kFound},
    {"even N, fraction, few views", 128, 90, 70.71, 0.5, 0, 0.02, kFound},
    {"even N, fraction left of the middle", 300, 200, 95.27, 0.9, 0, 0.02, kFound},
    {"even N, fraction near the edge", 256, 180, 40.4, 0.5, 0, 0.02, kFound},
    {"odd N, 16 views", 129, 16, 63.3, 0.9, 0, 0.02, kFound},
    {"even N, 24 views", 128, 24, 60.1, 0.9, 0, 0.02, kFound},
    {"wide field, 64 views", 1024, 64, 500.45, 6, 0, 0.02, kFound},
    {"narrow field, 720 views", 64, 720, 30.8, 0.45, 0, 0.02, kFound},
    // Features of 1.5 to 12 detectors with sharp edges: sampled at the
    // detectors' centres they alias, and the mirror about a fractional
    // centre moves the aliased part differently from the rest; averaged
    // over each detector's width, as a real detector does, they do not.
    {"small features, far left", 256, 180, 20.3, 0.25, 0, 0.06, kFound},
    {"small features, far right", 256, 180, 231.7, 0.25, 0, 0.06, kFound},
    {"small features, middle", 256, 180, 127.3, 0.25, 0, 0.06, kFound},
    {"small features, N 64", 64, 180, 31.3, 0.25, 0, 0.06, kFound},
    {"small features, far left, detector width", 256, 180, 20.3, 0.25, 0, 0.02, kFound, 8},
    {"small features, far right, detector width", 256, 180, 231.7, 0.25, 0, 0.02, kFound, 8},
    {"small features, middle, detector width", 256, 180, 127.3, 0.25, 0, 0.02, kFound, 8},
    {"small features, N 64, detector width", 64, 180, 31.3, 0.25, 0, 0.02, kFound, 8},
    {"N 15, 30 views, detector width", 15, 30, 7.2, 0.1, 0, 0.02, kFound, 8},
    // 1 % noise.
    {"noise, even N, half centre", 256, 180, 127.5, 1, 0.01, 0.1, kFound},
    {"noise, even N, fraction", 256, 180, 120.3, 1, 0.01, 0.1, kFound},
    {"noise, odd N, half centre off the middle", 201, 360, 97.5, 0.8, 0.01, 0.1, kFound},
    {"noise, odd N, fraction", 301, 240, 163.83, 1.2, 0.01, 0.1, kFound},
    {"noise, even N, 60 views", 128, 60, 63.3, 0.9, 0.01, 0.1, kFound},
    {"noise, even N, 32 views", 128, 32, 60.1, 0.9, 0.01, 0.1, kFound},
    // Wider than the field: found when moderately cut, refused or found
    // when cut to a third or a quarter.
    {"truncated a little, even N", 128, 180, 64.2, 1.1, 0, 0.25, kFound},
    {"truncated a little, odd N", 151, 180, 76.5, 1.35, 0, 0.25, kFound},
    {"truncated, even N, fraction", 128, 180, 66.37, 1.6, 0, 0.25, kFound},
    {"truncated, odd N, half centre", 151, 240, 72.5, 2.0, 0, 0.25, kFound},
    {"truncated, noise", 128, 180, 60.6, 1.6, 0.01, 0.25, kFound},
    {"truncated to a third", 128, 180, 65.8, 3.0, 0, 0.25, kEither},
    {"truncated to a quarter, noise", 151, 240, 74.25, 4.0, 0.01, 0.25, kEither},
    {"truncated, axis off the middle", 200, 180, 80.6, 2.5, 0, 0.25, kEither},
};

TEST(SinoCenter, KnownCentres) {
    for (const Case &c : kCases) {
        std::vector<double> samples = DiskSinogram(c.n, c.m, c.center, AsymmetricDisks(c.scale), c.subsamples);
        if (c.noise > 0) AddNoise(&samples, c.noise, 20261207);
        CenterEstimate e = HalfTurnCenter(samples, c.n, c.m);
        std::printf("%-42s N %3d M %3d c %7.2f: %s %+.4f\n", c.name, c.n, c.m, c.center,
                    e.found ? "error" : "refused, error would be", e.center - c.center);
        if (c.expect == kFound) {
            EXPECT_TRUE(e.found) << c.name;
        }
        EXPECT_FALSE(e.full_turn) << c.name;
        if (e.found) {
            EXPECT_NEAR(e.center, c.center, c.tolerance) << c.name;
        }
    }
}

// The sinogram read right to left is the same object turned half a turn,
// seen by a detector whose axis lies at N - 1 - c: the search treats both
// edges of the field alike, so the centre found must mirror to 1e-3 (a
// fine window reaching further on one side than the other moved it by up
// to 0.012 on the truncated phantoms without failing any case above).
TEST(SinoCenter, MirroredSinogramGivesTheMirroredCentre) {
    double worst = 0;
    for (const Case &c : kCases) {
        std::vector<double> samples = DiskSinogram(c.n, c.m, c.center, AsymmetricDisks(c.scale), c.subsamples);
        if (c.noise > 0) AddNoise(&samples, c.noise, 20261207);
        std::vector<double> mirrored(samples.size());
        for (int k = 0; k < c.m; ++k) {
            for (int s = 0; s < c.n; ++s) mirrored[k * c.n + s] = samples[k * c.n + (c.n - 1 - s)];
        }
        CenterEstimate e = HalfTurnCenter(samples, c.n, c.m), f = HalfTurnCenter(mirrored, c.n, c.m);
        EXPECT_EQ(e.found, f.found) << c.name;
        if (!e.found || !f.found) continue;
        EXPECT_NEAR(f.center, c.n - 1 - e.center, 1e-3) << c.name;
        worst = std::fmax(worst, std::fabs(f.center - (c.n - 1 - e.center)));
    }
    std::printf("largest mirror mismatch %.2e\n", worst);
}

TEST(SinoCenter, DemoRingAliasesOnlyWhenSampledAtPoints) {
    // The demo's coarse ring (disk_sino 128 10 5 50 50 -40 -40 20 20 90):
    // sharp edges 10 and 20 detectors apart, 90 views.
    const std::vector<Disk> ring = {{10, 5, 50, 2}, {10, 5, 40, -2}, {10, 5, 20, 2}};
    CenterEstimate point = HalfTurnCenter(DiskSinogram(128, 90, 63.5, ring, 1), 128, 90);
    CenterEstimate width = HalfTurnCenter(DiskSinogram(128, 90, 63.5, ring, 8), 128, 90);
    std::printf("demo ring: sampled at points %+.4f, over the detector width %+.4f\n", point.center - 63.5,
                width.center - 63.5);
    EXPECT_TRUE(point.found && width.found);
    EXPECT_NEAR(point.center, 63.5, 0.03);
    EXPECT_NEAR(width.center, 63.5, 0.02);
}

TEST(SinoCenter, TheSamplesUnitDoesNotMatter) {
    // The criterion is quadratic in the samples: at 1e300 its products
    // overflowed, at 1e-300 they vanished, and both were refused. Powers of
    // two and a change of sign must give the same centre to the last bit.
    const std::vector<double> samples = DiskSinogram(128, 90, 60.3, AsymmetricDisks(0.5));
    CenterEstimate plain = HalfTurnCenter(samples, 128, 90);
    ASSERT_TRUE(plain.found);
    EXPECT_NEAR(plain.center, 60.3, 0.02);
    for (double factor : {0x1p900, 0x1p-900, -1.0, -0x1p-40, 1e300, 1e-300, 3e150, 7e-160}) {
        std::vector<double> scaled = samples;
        for (double &v : scaled) v *= factor;
        CenterEstimate e = HalfTurnCenter(scaled, 128, 90);
        EXPECT_TRUE(e.found) << factor;
        int exponent = 0;
        if (std::fabs(std::frexp(factor, &exponent)) == 0.5) {  // a power of two, perhaps negated
            EXPECT_EQ(e.center, plain.center) << factor;
        } else {
            EXPECT_NEAR(e.center, plain.center, 1e-6) << factor;
        }
    }
}

TEST(SinoCenter, BlankSinogramHasNoCentre) {
    std::vector<double> zeros(64 * 16, 0.0);
    EXPECT_FALSE(HalfTurnCenter(zeros, 64, 16).found);
}

TEST(SinoCenter, SmallestSinogramGivesAnAnswerInRange) {
    // Three detectors: the estimate stays within [0.5, N - 1.5].
    std::vector<double> samples = DiskSinogram(3, kMinViews, 1, {{0.2, 0.1, 0.8, 1}});
    CenterEstimate e = HalfTurnCenter(samples, 3, kMinViews);
    EXPECT_GE(e.center, 0.5);
    EXPECT_LE(e.center, 1.5);
}

TEST(SinoCenter, TransformLengthIsSmoothAndAtLeastTwiceTheField) {
    EXPECT_EQ(DetectorTransformLength(3), 6);
    EXPECT_EQ(DetectorTransformLength(7), 15);    // 14 = 2 * 7
    EXPECT_EQ(DetectorTransformLength(11), 24);   // 22 = 2 * 11, 23 prime
    EXPECT_EQ(DetectorTransformLength(2048), 4096);
    EXPECT_EQ(DetectorTransformLength(1 << 30), 0);
    EXPECT_EQ(SmoothLength(2068, kLargestPrime), 2160);  // 2^4 3^3 5
    EXPECT_EQ(SmoothLength(2147483647, kLargestPrime), 0);
}

TEST(SinoCenter, WorkStaysNearTheSinogramsSize) {
    // Few detectors, many views: three frequencies at most. The block of
    // angular transforms once had room for 32 whatever the table held, 43
    // times the sinogram's size for N = 3.
    const int n = 3, m = 1000;
    WedgeWork work;
    ASSERT_TRUE(AllocateWedgeWork(&work, n, m, WedgeFrequencyCount(DetectorTransformLength(n), m, n - 1)));
    EXPECT_LE(work.capacity, 3);
    const std::size_t table = work.table.size() * sizeof(std::complex<double>);
    const std::size_t block = work.block.size() * sizeof(std::complex<double>);
    EXPECT_LE(block, 2 * sizeof(std::complex<double>) * m * work.capacity);
    EXPECT_LE(table + block, 8 * sizeof(double) * n * m);
    // Such a sinogram is still searched: a point on the axis at column 2.
    std::vector<double> samples(5 * 64, 0.0);
    for (int k = 0; k < 64; ++k) samples[5 * k + 2] = 1;
    CenterEstimate e = HalfTurnCenter(samples, 5, 64);
    EXPECT_TRUE(e.found);
    EXPECT_NEAR(e.center, 2, 0.02);
}

TEST(SinoCenter, TaperedWindowValues) {
    // Middle 5, half width 4, taper 2: flat to distance 2, raised cosine
    // (0.5 at distance 3), zero from distance 4.
    double w[11];
    TaperedWindow(w, 11, 5, 4, 2);
    const double expected[11] = {0, 0, 0.5, 1, 1, 1, 1, 1, 0.5, 0, 0};
    for (int s = 0; s < 11; ++s) EXPECT_NEAR(w[s], expected[s], 1e-15) << s;
}

TEST(SinoCenter, CriterionEqualsWedgeEnergyOfTheWholeTurn) {
    // The Fourier series X(c) against the energy summed term by term over
    // the whole-turn sinogram built for whole and half centres: the energy
    // is a constant plus 8 X(c).
    const int n = 7, m = 12;
    std::vector<double> samples = DiskSinogram(n, m, 3.2, {{0.7, -0.4, 1.6, 1}, {-1, 0.5, 0.6, 2}});
    std::vector<double> window(n);
    TaperedWindow(window.data(), n, 3, 4, 1.5);
    const double radius = 0.1;  // a wide wedge: many terms to compare
    WedgeWork work;
    ASSERT_TRUE(AllocateWedgeWork(&work, n, m, WedgeFrequencyCount(DetectorTransformLength(n), m, radius)));
    std::vector<std::complex<double>> weights(work.capacity);
    int count = WedgeWeights(samples.data(), NoOutliers(), window.data(), radius, work.length, &work, weights.data());
    ASSERT_GT(count, 2);
    const int length = work.length;
    double base = WedgeEnergyOracle(samples.data(), window.data(), n, m, length, radius, count, 6);
    double x_base = WedgeCriterion(weights.data(), count, length, 3);
    double spread = 0;
    for (int twice = 2; twice <= 10; ++twice) {
        double energy = WedgeEnergyOracle(samples.data(), window.data(), n, m, length, radius, count, twice);
        double x = WedgeCriterion(weights.data(), count, length, twice / 2.0);
        EXPECT_NEAR(energy - base, 8 * (x - x_base), 1e-9 * base) << twice;
        spread = std::fmax(spread, std::fabs(energy - base));
    }
    EXPECT_GT(spread, 1e-3 * base);  // the comparison is not of constants
}

}  // namespace
