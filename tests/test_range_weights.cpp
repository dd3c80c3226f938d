// The weights beside a limited range's gap, measured: on a family of
// ellipse phantoms (the Shepp-Logan head, disks on and off the axis,
// elongated ellipses, a ring, with and without noise) over 90 to 170
// degrees, with each kernel, the default's RMS error against the true
// image (exact pixel means) stays within 10 % of the better of the two
// other schemes; and the weights themselves in closed form.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "fbp.h"
#include "phantom.h"
#include "phantom_pixels.h"
#include "phantom_rays.h"
#include "range_weights.h"
#include "real.h"
#include "views.h"

namespace {

// Views every `step` degrees from 0 over `range` degrees (the last one
// step short of it).
struct Views {
    std::vector<double> block;
    ViewSet set;
    Views(double range, double step) {
        int m = static_cast<int>(std::lround(range / step));
        block.assign(4 * static_cast<std::size_t>(m), 0);
        set = ViewSet{m, block.data(), block.data() + m, block.data() + 2 * m, block.data() + 3 * m, false, 0};
        for (int k = 0; k < m; ++k) set.angles[k] = k * step * kPi / 180;
        CompleteViews(&set);
    }
};

TEST(GapWeights, TheEndViewsInClosedForm) {
    const double degree = kPi / 180;
    struct Case {
        GapWeights scheme;
        Kernel kernel;
        int detectors;
        double end;  // the end views' weight, degrees
    } cases[] = {
        {GapWeights::kEnds, Kernel::kShepp, 128, 0.5 + 30.5},  // half the step and half the gap of 61
        {GapWeights::kEven, Kernel::kShepp, 128, 1},           // a step
        // 3/4 of (61 - 1) / 2 = 22.5 degrees, capped at 2 D / 128 radians.
        {GapWeights::kPart, Kernel::kShepp, 128, 1 + 12.0 / 128 / degree},
        {GapWeights::kPart, Kernel::kChesler, 128, 1 + 20.0 / 128 / degree},
        {GapWeights::kPart, Kernel::kRamachandran, 128, 1 + 8.0 / 128 / degree},
        {GapWeights::kPart, Kernel::kShepp, 4, 1 + 22.5},  // a cap of 3 radians does not bind
    };
    for (const Case &c : cases) {
        Views v(120, 1);
        WeighGap(&v.set, c.detectors, c.kernel, c.scheme);
        EXPECT_NEAR(v.set.weights[0] / degree, c.end, 1e-9);
        EXPECT_NEAR(v.set.weights[119] / degree, c.end, 1e-9);
        for (int k = 1; k < 119; ++k) ASSERT_NEAR(v.set.weights[k] / degree, 1, 1e-9) << k;
    }
    // A set without a gap keeps its weights: a full turn, a golden-angle order.
    Views full(360, 1);
    std::vector<double> before(full.set.weights, full.set.weights + 360);
    WeighGap(&full.set, 128, Kernel::kChesler, GapWeights::kEven);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), full.set.weights));
    Views golden(89, 1);
    for (int k = 0; k < 89; ++k) golden.set.angles[k] = std::fmod(k * 111.246117975 * degree, 2 * kPi);
    CompleteViews(&golden.set);
    before.assign(golden.set.weights, golden.set.weights + 89);
    WeighGap(&golden.set, 128, Kernel::kChesler, GapWeights::kEven);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), golden.set.weights));
    GapWeights read = GapWeights::kEven;
    EXPECT_TRUE(GapWeightsArgument("part", &read).ok());
    EXPECT_EQ(read, GapWeights::kPart);
    EXPECT_EQ(GapWeightsArgument("Part", &read).message, "unknown gap weights (part, even or ends).");
}

// The RMS error of the reconstruction against the true image, relative to
// the true image's RMS, for each scheme.
struct Family {
    const char *name;
    std::vector<Ellipse> ellipses;  // empty: the Shepp-Logan head
};

TEST(GapWeights, TheDefaultIsWithinATenthOfTheBetterSchemeOnEveryCase) {
    const int n = 128;
    const double axis = 63.5;
    const Family family[] = {
        {"shepp-logan", {}},
        {"ellipses", {{0, 0, 50, 40, 20, 1}, {-25, 10, 6, 6, 0, 0.5}, {20, -15, 4, 8, 30, -0.3}}},
        {"disk off the axis", {{15, -10, 30, 30, 0, 1}}},
        {"elongated", {{0, 0, 50, 12, 30, 1}}},
        {"two elongated", {{5, 5, 55, 15, 100, 1}, {0, 0, 10, 5, 0, 0.5}}},
        {"ring", {{0, 0, 45, 45, 0, 1}, {0, 0, 40, 40, 0, -0.9}}},
    };
    Grid grid = AxisGrid(n);
    int cases = 0, wins = 0;
    double worst = 0;
    for (Kernel kernel : {Kernel::kChesler, Kernel::kShepp, Kernel::kRamachandran}) {
    ViewFilter filter;
    ASSERT_TRUE(MakeViewFilter(n, kernel, 2, &filter));
    for (const Family &f : family) {
        Phantom phantom{static_cast<int>(f.ellipses.size()), const_cast<Ellipse *>(f.ellipses.data())};
        if (f.ellipses.empty()) {
            ASSERT_TRUE(SheppLoganPhantom(0.45 * n, &phantom).ok());
        }
        std::vector<EllipseFrame> frames;
        for (int i = 0; i < phantom.count; ++i) frames.push_back(FrameOf(phantom.ellipses[i]));
        std::vector<double> truth(static_cast<std::size_t>(n) * n);
        std::vector<Real> sums(n);
        for (int row = 0; row < n; ++row)
            PhantomImageRow(frames.data(), phantom.count, grid, row, sums.data(), truth.data() + row * n);
        double scale = 0;
        for (double t : truth) scale += t * t;
        scale = std::sqrt(scale / truth.size());
        for (double range : {90.0, 120.0, 150.0, 170.0}) {
            for (double noise : {0.0, 0.01}) {
                Views v(range, 1);
                std::vector<double> sinogram(static_cast<std::size_t>(v.set.count) * n);
                for (int k = 0; k < v.set.count; ++k)
                    PhantomView(phantom, v.set.cosines[k], v.set.sines[k], axis, n, sinogram.data() + k * n);
                // Gaussian noise of a hundredth of the largest line integral.
                double largest = *std::max_element(sinogram.begin(), sinogram.end());
                std::mt19937 random(5);
                std::normal_distribution<double> error(0, noise * largest);
                if (noise > 0) {
                    for (double &s : sinogram) s += error(random);
                }
                // The schemes differ only in the end views' weights: the image
                // without them, and each end view's own back-projection.
                const int last = v.set.count - 1;
                auto reconstruct = [&](const ViewSet &views, const double *samples) {
                    std::vector<double> work(samples, samples + static_cast<std::size_t>(views.count) * n);
                    std::vector<double> image(truth.size());
                    ReconstructImage(filter, work.data(), views, Detector{n, axis}, grid, 1.0, image.data());
                    return image;
                };
                v.set.weights[0] = v.set.weights[last] = 0;
                std::vector<double> inside = reconstruct(v.set, sinogram.data()), ends[2];
                for (int e = 0; e < 2; ++e) {
                    int k = e == 0 ? 0 : last;
                    double one[4] = {v.set.angles[k], v.set.cosines[k], v.set.sines[k], 1};
                    ends[e] = reconstruct(ViewSet{1, one, one + 1, one + 2, one + 3, false, 0}, &sinogram[k * n]);
                }
                double rms[3];
                const GapWeights schemes[3] = {GapWeights::kPart, GapWeights::kEven, GapWeights::kEnds};
                for (int s = 0; s < 3; ++s) {
                    CompleteViews(&v.set);
                    WeighGap(&v.set, n, kernel, schemes[s]);
                    double sum = 0;
                    for (std::size_t i = 0; i < truth.size(); ++i) {
                        double pixel = inside[i] + v.set.weights[0] * ends[0][i] + v.set.weights[last] * ends[1][i];
                        sum += (pixel - truth[i]) * (pixel - truth[i]);
                    }
                    rms[s] = std::sqrt(sum / truth.size()) / scale;
                }
                double better = std::min(rms[1], rms[2]);
                std::printf("%d %-18s %3.0f degrees, noise %.2f: part %.4f even %.4f ends %.4f (%.3f of the better)\n",
                            static_cast<int>(kernel), f.name, range, noise, rms[0], rms[1], rms[2], rms[0] / better);
                EXPECT_LE(rms[0], 1.1 * better) << static_cast<int>(kernel) << " " << f.name << " " << range << " " << noise;
                worst = std::max(worst, rms[0] / better);
                ++cases;
                wins += rms[0] < better;
            }
        }
        if (f.ellipses.empty()) ReleasePhantom(&phantom);
    }
    }
    std::printf("the default within %.3f of the better scheme; better than both on %d of %d cases\n", worst, wins,
                cases);
    EXPECT_GT(wins, cases / 2);
}

}  // namespace
