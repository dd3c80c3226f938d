// The iterative solvers (geometry/solvers.h) on small problems: CGLS's residual never grows, SIRT
// converges to an image the projector's data came from, both give the same
// bits for any number of threads; and the vector arithmetic's sums.
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "project.h"
#include "solvers.h"
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
void Prepare(int k, int n, int m, const std::vector<double> *x, Case *s) {
    ASSERT_TRUE(EvenHalfTurn(m, &s->views).ok());
    s->b.assign(static_cast<std::size_t>(n) * m, 0.0);
    s->problem = Problem{AxisGrid(k), &s->views, Detector{n, (n - 1) / 2.0}, s->b.data()};
    ASSERT_TRUE(AllocateSolverWork(s->problem, &s->work).ok());
    if (x != nullptr) {
        Project(s->problem.grid, s->views, s->problem.detector, x->data(), s->b.data(), &s->work.projection);
    } else {
        s->b = Random(s->b.size(), 9, 0, 10);
        s->problem.b = s->b.data();
    }
}

void Release(Case *s) {
    ReleaseSolverWork(&s->work);
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

TEST(SinoIter, SameBitsForAnyNumberOfThreads) {
    Case s;
    Prepare(40, 50, 30, nullptr, &s);
    std::vector<double> first;
    for (int threads : {1, 2, 3}) {
        omp_set_num_threads(threads);
        std::vector<double> sirt(40 * 40), cgls(40 * 40);
        Sirt(s.problem, 5, true, &s.work, sirt.data(), nullptr);
        Cgls(s.problem, 5, &s.work, cgls.data(), nullptr);
        sirt.insert(sirt.end(), cgls.begin(), cgls.end());
        if (first.empty()) first = sirt;
        EXPECT_TRUE(sirt == first) << threads << " threads";
    }
    omp_set_num_threads(omp_get_num_procs());
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
    EXPECT_EQ(MethodArgument("art", &method).message, "unknown method (sirt or cgls).");
}

}  // namespace
