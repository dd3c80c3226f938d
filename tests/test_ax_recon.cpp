// The fast filter and back-projection against the straightforward
// evaluation, and a reconstruction of a disk.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "kernels.h"
#include "oracle/recon_oracle.h"
#include "profile.h"
#include "ax_recon/recon.h"

namespace {

struct Reconstruction {
    std::vector<double> q, values;
};

Reconstruction Fast(const std::vector<double> &p, int views) {
    int n = static_cast<int>(p.size());
    std::vector<Real> table(KernelTableLength(n));
    TabulateKernel(n, table.data());
    Reconstruction r{std::vector<double>(n), std::vector<double>(n)};
    FilterProfile(p.data(), n, table.data(), r.q.data());
    BackProject(r.q.data(), n, views, ViewStep(views), 0.75, r.values.data());
    return r;
}

Reconstruction Oracle(const std::vector<double> &p, int views) {
    int n = static_cast<int>(p.size());
    Reconstruction r{std::vector<double>(n), std::vector<double>(n)};
    FilterProfileOracle(p.data(), n, r.q.data());
    BackProjectOracle(r.q.data(), n, views, ViewStep(views), 0.75, r.values.data());
    return r;
}

bool SameBytes(const std::vector<double> &a, const std::vector<double> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(Reconstruction, FastPathEqualsTheStraightforwardEvaluationBitForBit) {
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> value(-3.0, 5.0);
    for (int trial = 0; trial < 300; ++trial) {
        // Mostly small profiles, some of several hundred samples; sizes that
        // are not multiples of four exercise the tails of the blocked loops.
        int n = trial < 40 ? trial + 1 : 1 + static_cast<int>(random() % (trial % 10 == 0 ? 400 : 60));
        std::vector<double> p(n);
        for (double &x : p) {
            unsigned kind = random() % 8;
            x = kind == 0 ? 0.0 : kind == 1 ? -value(random) : value(random);
        }
        int views;
        switch (trial % 4) {
            case 0: views = static_cast<int>(DefaultViewCount(n)); break;
            case 1: views = 1 + static_cast<int>(random() % 3); break;
            case 2: views = 1 + static_cast<int>(random() % 2000); break;
            default: views = 1025 + static_cast<int>(random() % 5); break;  // past one view block
        }
        Reconstruction fast = Fast(p, views);
        Reconstruction oracle = Oracle(p, views);
        ASSERT_TRUE(SameBytes(fast.q, oracle.q)) << "filter, n " << n;
        ASSERT_TRUE(SameBytes(fast.values, oracle.values)) << "n " << n << " views " << views;
    }
}

TEST(Reconstruction, SingleSampleAndSingleView) {
    // n = 1: q[0] = p[0] CH0 and each of the 3 views adds q[0] again.
    Reconstruction one = Fast({2.0}, 3);
    EXPECT_EQ(one.q[0], 2 * 0.07433940817883111);
    EXPECT_NEAR(one.values[0], kPi * one.q[0] / 0.75, 1e-15);
    // One view: q[j] pi / interval for every j.
    Reconstruction single = Fast({1.0, 0.5, -0.25, 2.0, 0.0}, 1);
    for (int j = 0; j < 5; ++j) EXPECT_EQ(single.values[j], static_cast<double>(single.q[j] * static_cast<Real>(kPi) / 0.75));
}

TEST(Reconstruction, LastViewsBeforeThe32BitLimit) {
    // A view count of 2^31 - 1 (a larger argument is clamped to it) once
    // overflowed the index of the last block of views and crashed. The last
    // five views alone, against the straightforward sum.
    const int views = 2147483647;
    const double q[] = {1.0, 0.5, -0.25, 2.0, 0.125};
    double dtheta = ViewStep(views);
    double fast[5], slow[5];
    for (int j = 0; j < 5; ++j) fast[j] = slow[j] = q[j];
    AddViews(q, 5, views - 5, views, dtheta, fast);
    for (int j = 0; j < 5; ++j) {
        for (int k = views - 5; k < views; ++k) {
            double angle = static_cast<Real>(k) * dtheta;
            double x = std::fabs(static_cast<double>(static_cast<Real>(std::cos(angle)) * j));
            int i = static_cast<int>(x);
            Real term = q[i];
            if (i != 4) term += (x - i) * (static_cast<Real>(q[i + 1]) - q[i]);
            slow[j] = static_cast<double>(term + slow[j]);
        }
        EXPECT_EQ(fast[j], slow[j]) << j;
    }
}

TEST(Reconstruction, UniformDiskComesBackAsUnitDensity) {
    // Chord profile of a disk of radius 40: its density is 1 inside, 0 outside.
    const double radius = 40;
    std::vector<double> p(64);
    for (int j = 0; j < 64; ++j) p[j] = j < radius ? 2 * std::sqrt(radius * radius - j * j) : 0;
    int views = static_cast<int>(DefaultViewCount(64));
    std::vector<Real> table(KernelTableLength(64));
    TabulateKernel(64, table.data());
    std::vector<double> q(64), ct(64);
    FilterProfile(p.data(), 64, table.data(), q.data());
    BackProject(q.data(), 64, views, ViewStep(views), 1.0, ct.data());
    for (int j = 0; j < 36; ++j) EXPECT_NEAR(ct[j], 1.0, 0.02) << j;
    for (int j = 44; j < 64; ++j) EXPECT_NEAR(ct[j], 0.0, 0.02) << j;
}

}  // namespace
