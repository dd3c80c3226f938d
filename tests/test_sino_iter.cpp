// The iterative solvers (geometry/solvers.h) on small problems: CGLS's
// residual never grows, SIRT converges to an image the projector's data
// came from, ordered subsets get there in fewer iterations, TV's image
// follows the scale of the samples, every method gives the same bits for
// any number of threads; the vector arithmetic's sums and the pieces of
// total variation.
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "project.h"
#include "solvers.h"
#include "total_variation.h"
#include "vectors.h"

namespace {

std::vector<double> Random(std::size_t count, unsigned seed, double low, double high) {
    std::mt19937_64 generator(seed);
    std::uniform_real_distribution<double> value(low, high);
    std::vector<double> values(count);
    for (double &v : values) v = value(generator);
    return values;
}

void Record(int iteration, double residual, void *context) {
    auto *residuals = static_cast<std::vector<double> *>(context);
    EXPECT_EQ(iteration, static_cast<int>(residuals->size()) + 1);
    residuals->push_back(residual);
}

struct Case {
    ViewSet views;
    Problem problem;
    SolverWork work;
    std::vector<double> b;
};

// A K x K image x seen by m views of n detectors; b = A x, or noise.
void Prepare(int k, int n, int m, const std::vector<double> *x, Case *s, Method method = Method::kSirt,
             int subsets = 1) {
    ASSERT_TRUE(EvenHalfTurn(m, &s->views).ok());
    s->b.assign(static_cast<std::size_t>(n) * m, 0.0);
    s->problem = Problem{AxisGrid(k), &s->views, Detector{n, (n - 1) / 2.0}, s->b.data()};
    ASSERT_TRUE(AllocateSolverWork(s->problem, &s->work, method, subsets).ok());
    if (x != nullptr) {
        Project(s->problem.grid, s->views, s->problem.detector, x->data(), s->b.data(), &s->work.projection);
    } else {
        s->b = Random(s->b.size(), 9, 0, 10);
        s->problem.b = s->b.data();
    }
}

void Release(Case *s) {
    ReleaseViews(&s->views);
}

TEST(SinoIter, CglsResidualNeverGrows) {
    // Inconsistent data (random samples): the residual falls but cannot
    // reach zero; it never grows from one iteration to the next.
    Case s;
    Prepare(24, 30, 18, nullptr, &s);
    std::vector<double> image(24 * 24), residuals;
    Report report{Record, &residuals};
    Cgls(s.problem, 40, &s.work, image.data(), &report);
    ASSERT_EQ(residuals.size(), 40u);
    double initial = std::sqrt(std::inner_product(s.b.begin(), s.b.end(), s.b.begin(), 0.0));
    EXPECT_LT(residuals[0], initial);
    for (std::size_t i = 1; i < residuals.size(); ++i)
        EXPECT_LE(residuals[i], residuals[i - 1] * (1 + 1e-12)) << "iteration " << i + 1;
    EXPECT_LT(residuals.back(), 0.9 * residuals.front());
    Release(&s);
}

TEST(SinoIter, SirtConvergesToTheImageOfConsistentData) {
    // b = A x for a smooth, non-negative x: SIRT's image approaches x (the
    // views determine it: more rays than pixels), its residual falls.
    const int k = 16;
    std::vector<double> x(k * k, 0.0);
    for (int r = 0; r < k; ++r)
        for (int j = 0; j < k; ++j) x[r * k + j] = std::exp(-((j - 7.5) * (j - 7.5) + (r - 7.5) * (r - 7.5)) / 12);
    Case s;
    Prepare(k, 24, 60, &x, &s);
    std::vector<double> image(k * k), residuals;
    Report report{Record, &residuals};
    Sirt(s.problem, 500, true, &s.work, image.data(), &report);
    double squares = 0, norm = 0;
    for (std::size_t i = 0; i < x.size(); ++i) squares += (image[i] - x[i]) * (image[i] - x[i]), norm += x[i] * x[i];
    EXPECT_LT(std::sqrt(squares / norm), 0.01);
    EXPECT_LT(residuals.back(), 1e-3 * residuals.front());
    for (std::size_t i = 1; i < residuals.size(); ++i) EXPECT_LT(residuals[i], residuals[i - 1]) << i + 1;
    for (double v : image) EXPECT_GE(v, 0);  // -n
    Release(&s);
}

// A K x K image of a disk of `value` (radius 0.3 K) holding a square of
// twice the value: piecewise constant, as total variation favours.
std::vector<double> DiskWithSquare(int k, double value) {
    std::vector<double> x(static_cast<std::size_t>(k) * k, 0.0);
    double half = (k - 1) / 2.0;
    for (int r = 0; r < k; ++r) {
        for (int j = 0; j < k; ++j) {
            double u = j - half, v = half - r;
            if (u * u + v * v < 0.09 * k * k) x[static_cast<std::size_t>(r) * k + j] = value;
            if (std::fabs(u - 0.1 * k) < 0.08 * k && std::fabs(v) < 0.08 * k) x[static_cast<std::size_t>(r) * k + j] = 2 * value;
        }
    }
    return x;
}

TEST(SinoIter, SameBitsForAnyNumberOfThreads) {
    // Images of 80 x 80 share their rows among threads (one per 64 rows).
    const std::vector<double> x = DiskWithSquare(80, 1);
    Case s, subsets, tv;
    Prepare(80, 90, 30, nullptr, &s);
    Prepare(80, 90, 30, nullptr, &subsets, Method::kSirt, 4);
    Prepare(80, 90, 30, &x, &tv, Method::kTv);
    std::vector<double> first;
    for (int threads : {1, 2, 3}) {
        omp_set_num_threads(threads);
        std::vector<double> sirt(80 * 80), cgls(80 * 80), ordered(80 * 80), variation(80 * 80);
        Sirt(s.problem, 5, true, &s.work, sirt.data(), nullptr);
        Cgls(s.problem, 5, &s.work, cgls.data(), nullptr);
        OrderedSubsetSirt(subsets.problem, 3, true, &subsets.work, ordered.data(), nullptr);
        int ran = 0;
        Tv(tv.problem, TvSettings{6, true, kTvLambda, 0}, &tv.work, variation.data(), nullptr, &ran);
        for (const auto *image : {&cgls, &ordered, &variation}) sirt.insert(sirt.end(), image->begin(), image->end());
        if (first.empty()) first = sirt;
        EXPECT_TRUE(sirt == first) << threads << " threads";
    }
    omp_set_num_threads(omp_get_num_procs());
    Release(&s);
    Release(&subsets);
    Release(&tv);
}

// The relative error of an image against x.
double RelativeError(const std::vector<double> &image, const std::vector<double> &x) {
    double squares = 0, norm = 0;
    for (std::size_t i = 0; i < x.size(); ++i) squares += (image[i] - x[i]) * (image[i] - x[i]), norm += x[i] * x[i];
    return std::sqrt(squares / norm);
}

TEST(SinoIter, OrderedSubsetsReachInFewIterationsWhatSirtReachesInMany) {
    // Consistent data of a disk with a square: S subsets take S steps per
    // iteration, so 10 iterations with 8 subsets come closer to the image
    // than 40 of plain SIRT; one subset is plain SIRT to the bit.
    const int k = 48;
    const std::vector<double> x = DiskWithSquare(k, 1);
    Case plain, one, eight;
    Prepare(k, 60, 48, &x, &plain);
    Prepare(k, 60, 48, &x, &one, Method::kSirt, 1);
    Prepare(k, 60, 48, &x, &eight, Method::kSirt, 8);
    std::vector<double> sirt(k * k), same(k * k), ordered(k * k);
    Sirt(plain.problem, 40, true, &plain.work, sirt.data(), nullptr);
    OrderedSubsetSirt(one.problem, 40, true, &one.work, same.data(), nullptr);
    EXPECT_TRUE(same == sirt);
    std::vector<double> residuals;
    Report report{Record, &residuals};
    OrderedSubsetSirt(eight.problem, 10, true, &eight.work, ordered.data(), &report);
    ASSERT_EQ(residuals.size(), 10u);
    EXPECT_LT(residuals.back(), 0.2 * residuals.front());
    EXPECT_LT(RelativeError(ordered, x), 0.8 * RelativeError(sirt, x))
        << RelativeError(ordered, x) << " against " << RelativeError(sirt, x);
    for (double v : ordered) EXPECT_GE(v, 0);
    Release(&plain);
    Release(&one);
    Release(&eight);
}

TEST(SinoIter, SubsetsDealEveryViewOnceAndSpreadOverTheHalfTurn) {
    struct Deal {
        int views, subsets, dealt;
    };
    const Deal deals[] = {{12, 4, 4}, {13, 4, 4}, {10, 3, 3}, {7, 20, 7}, {40, 5, 5}};
    for (const Deal &d : deals) {
        Case s;
        Prepare(8, 10, d.views, nullptr, &s, Method::kSirt, d.subsets);
        const Subsets &subsets = s.work.subsets;
        ASSERT_EQ(subsets.count, d.dealt) << d.views << " views";
        std::vector<int> seen(static_cast<std::size_t>(d.views), 0);
        for (int row : subsets.rows) ++seen[static_cast<std::size_t>(row)];
        EXPECT_EQ(seen, std::vector<int>(static_cast<std::size_t>(d.views), 1)) << d.views << " views";
        for (const ViewSet &set : subsets.sets) {
            // Views k pi / M of an even half turn: a subset's are S apart.
            EXPECT_GE(set.count, d.views / d.dealt);
            for (int v = 1; v < set.count; ++v)
                EXPECT_NEAR(set.angles[v] - set.angles[v - 1], d.dealt * kPi / d.views, 1e-12);
        }
        Release(&s);
    }
}

TEST(SinoIter, TvImageFollowsTheScaleOfTheSamples) {
    // Samples 1024 times larger give, to the bit, the image 1024 times
    // larger after as many iterations: lambda is relative to the data, and
    // every step is linear in them or exact under a power of two.
    const int k = 40;
    for (double value : {1.0, 1e-3}) {
        const std::vector<double> x = DiskWithSquare(k, value);
        Case s;
        Prepare(k, 50, 20, &x, &s, Method::kTv);
        std::vector<double> image(k * k), scaled(k * k);
        int ran = 0, scaled_ran = 0;
        TvSettings settings{200, false, kTvLambda, kTvTolerance};
        Tv(s.problem, settings, &s.work, image.data(), nullptr, &ran);
        for (double &b : s.b) b *= 1024;
        Tv(s.problem, settings, &s.work, scaled.data(), nullptr, &scaled_ran);
        EXPECT_EQ(ran, scaled_ran);
        EXPECT_LT(ran, 200) << "the tolerance stops it";
        for (double &v : image) v *= 1024;
        EXPECT_TRUE(image == scaled) << value;
        Release(&s);
    }
}

void RecordObjective(int iteration, double objective, double change, void *context) {
    auto *lines = static_cast<std::vector<std::vector<double>> *>(context);
    EXPECT_EQ(iteration, static_cast<int>(lines->size()) + 1);
    lines->push_back({objective, change});
}

TEST(SinoIter, TvRecoversAPiecewiseConstantImageFromFewViews) {
    // 12 views of a disk with a square, 40 x 40 pixels: fewer samples than
    // pixels, which least squares cannot resolve; TV comes close, its
    // objective falls to well below that of its first image, and its
    // relative change to below the tolerance where it stops. The larger
    // lambda, the flatter the image.
    const int k = 40;
    const std::vector<double> x = DiskWithSquare(k, 1);
    Case s;
    Prepare(k, 48, 12, &x, &s, Method::kTv);
    std::vector<double> image(k * k), cgls(k * k);
    std::vector<std::vector<double>> lines;
    TvReport report{RecordObjective, &lines};
    int ran = 0;
    Tv(s.problem, TvSettings{400, true, kTvLambda, kTvTolerance}, &s.work, image.data(), &report, &ran);
    ASSERT_EQ(static_cast<int>(lines.size()), ran);
    ASSERT_GT(ran, 1);
    EXPECT_LE(lines.back()[1], kTvTolerance);
    EXPECT_GT(lines[ran - 2][1], kTvTolerance);
    EXPECT_LT(lines.back()[0], 0.5 * lines.front()[0]);
    Cgls(s.problem, 30, &s.work, cgls.data(), nullptr);
    EXPECT_LT(RelativeError(image, x), 0.1);
    EXPECT_LT(RelativeError(image, x), 0.5 * RelativeError(cgls, x));
    for (double v : image) EXPECT_GE(v, 0);
    double variation = 1e300;
    for (double lambda : {kTvLambda / 8, kTvLambda, kTvLambda * 8}) {
        Tv(s.problem, TvSettings{400, true, lambda, kTvTolerance}, &s.work, image.data(), nullptr, &ran);
        EXPECT_LT(TotalVariation(image.data(), k), variation) << lambda;
        variation = TotalVariation(image.data(), k);
    }
    Release(&s);
}

TEST(SinoIter, VariationOfImagesWorkedByHand) {
    // A step of height 2 between columns 2 and 3 of a 5 x 5 image: 2 per
    // row. A spike of 3 inside: 3 to its left, 3 above it, 3 sqrt(2) at
    // it. Differences across the last column and row count nothing.
    struct Image {
        std::vector<double> pixels;
        double variation;
    };
    std::vector<double> step(25, 0.0), spike(25, 0.0), edge(25, 0.0);
    for (int r = 0; r < 5; ++r) step[r * 5 + 3] = step[r * 5 + 4] = 2;
    spike[2 * 5 + 2] = 3;
    edge[4 * 5 + 4] = 1;  // the corner: 1 to its left, 1 above
    const Image images[] = {{step, 10}, {spike, 6 + 3 * std::sqrt(2.0)}, {edge, 2}};
    for (const Image &image : images) EXPECT_DOUBLE_EQ(TotalVariation(image.pixels.data(), 5), image.variation);
}

TEST(SinoIter, DivergenceIsTheNegativeTransposeOfTheDifferences) {
    // sum (D x) . q = -sum x div q for any x and q, D and div taken from
    // the dual step (gain 2, no bound: q grows by D x) and the primal step
    // (tau 1, nothing back-projected: x grows by div q).
    const int k = 70;
    std::vector<double> x = Random(k * k, 3, -1, 1), qx = Random(k * k, 4, -1, 1), qy = Random(k * k, 5, -1, 1);
    for (int r = 0; r < k; ++r) qx[static_cast<std::size_t>(r) * k + k - 1] = 0;
    for (int j = 0; j < k; ++j) qy[static_cast<std::size_t>(k - 1) * k + j] = 0;
    std::vector<double> dx(k * k, 0.0), dy(k * k, 0.0);
    DualVariationStep(x.data(), k, 1e300, 2, dx.data(), dy.data());
    std::vector<double> divergence(k * k, 0.0), zero(k * k, 0.0), tau(k * k, 1.0), extrapolated(k * k);
    double change = 0, norm = 0;
    PrimalVariationStep(zero.data(), qx.data(), qy.data(), tau.data(), 1, false, k, divergence.data(),
                        extrapolated.data(), &change, &norm);
    double forward = 0, backward = 0;
    for (std::size_t i = 0; i < x.size(); ++i) forward += dx[i] * qx[i] + dy[i] * qy[i], backward += x[i] * divergence[i];
    EXPECT_NEAR(forward, -backward, 1e-9 * std::fabs(forward));
    EXPECT_NEAR(change, norm, 1e-12 * norm);  // from zero: every step is the pixel
}

TEST(SinoIter, NoiseLevelOfWhiteNoiseOnSmoothViews) {
    // Ramps have no second differences: the estimate is the noise's
    // deviation, within the scatter of a median of 4000 samples.
    for (double deviation : {0.01, 3.0}) {
        std::mt19937_64 generator(11);
        std::normal_distribution<double> noise(0, deviation);
        std::vector<double> b(40 * 100);
        for (int v = 0; v < 40; ++v)
            for (int i = 0; i < 100; ++i) b[static_cast<std::size_t>(v) * 100 + i] = 5 + 0.3 * i + noise(generator);
        EXPECT_NEAR(NoiseLevel(b.data(), 40, 100), deviation, 0.05 * deviation);
    }
    std::vector<double> ramp(300);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = 2.0 * static_cast<double>(i % 100);
    EXPECT_EQ(NoiseLevel(ramp.data(), 3, 100), 0);
    ramp[150] = std::nan("");  // counts as three large differences
    EXPECT_EQ(NoiseLevel(ramp.data(), 3, 100), 0);
}

TEST(SinoIter, NonNegativeSirtClampsAfterEveryStep) {
    // Three steps x <- max(0, x + C A^T R (b - A x)) written out as the
    // formula reads, against Sirt with -n. Data of either sign make negative
    // pixels after the first step, so a clamp left to the end would differ.
    Case s;
    Prepare(16, 24, 12, nullptr, &s);
    s.b = Random(s.b.size(), 5, -10, 10);
    s.problem.b = s.b.data();
    const Grid &g = s.problem.grid;
    const std::size_t pixels = 16 * 16, samples = s.b.size();
    std::vector<double> ones_image(pixels, 1.0), ones_sino(samples, 1.0), rows(samples), columns(pixels);
    Project(g, s.views, s.problem.detector, ones_image.data(), rows.data(), &s.work.projection);
    ProjectTransposed(g, s.views, s.problem.detector, ones_sino.data(), columns.data(), &s.work.projection);
    std::vector<double> x(pixels, 0.0), ax(samples), back(pixels);
    bool clamped = false;
    for (int step = 0; step < 3; ++step) {
        Project(g, s.views, s.problem.detector, x.data(), ax.data(), &s.work.projection);
        for (std::size_t i = 0; i < samples; ++i) ax[i] = rows[i] > 0 ? (s.b[i] - ax[i]) / rows[i] : 0;
        ProjectTransposed(g, s.views, s.problem.detector, ax.data(), back.data(), &s.work.projection);
        for (std::size_t j = 0; j < pixels; ++j) {
            x[j] += columns[j] > 0 ? back[j] / columns[j] : 0;
            if (x[j] < 0) x[j] = 0, clamped = clamped || step == 0;
        }
    }
    ASSERT_TRUE(clamped);
    std::vector<double> image(pixels);
    Sirt(s.problem, 3, true, &s.work, image.data(), nullptr);
    for (std::size_t j = 0; j < pixels; ++j) EXPECT_NEAR(image[j], x[j], 1e-12 * (1 + std::fabs(x[j]))) << j;
    Release(&s);
}

TEST(SinoIter, SumsAndSteps) {
    // Over several pieces of the sum, with a remainder.
    std::vector<double> a(40000), b(40000);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = 1.0 + (i % 3), b[i] = 0.5;
    EXPECT_EQ(Dot(a.data(), b.data(), a.size()), 0.5 * (13334 * 1 + 13333 * 2 + 13333 * 3));
    std::vector<double> w = {4, 0, -2, 0.5};
    InvertPositive(w.data(), w.size());
    EXPECT_EQ(w, (std::vector<double>{0.25, 0, 0, 2}));
    std::vector<double> y = {1, -2, 3};
    ClampNegative(y.data(), y.size());
    EXPECT_EQ(y, (std::vector<double>{1, 0, 3}));
    std::vector<double> x = {1, 1, 1};
    ScaleAndAdd(y.data(), 2, x.data(), 3);  // y = x + 2 y
    EXPECT_EQ(y, (std::vector<double>{3, 1, 7}));
    Method method;
    EXPECT_TRUE(MethodArgument("cgls", &method).ok());
    EXPECT_EQ(method, Method::kCgls);
    EXPECT_TRUE(MethodArgument("tv", &method).ok());
    EXPECT_EQ(method, Method::kTv);
    EXPECT_EQ(MethodArgument("art", &method).message, "unknown method (sirt, cgls or tv).");
}

}  // namespace
