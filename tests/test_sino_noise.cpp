// sino_noise's parts: the generator against SplitMix64's published
// outputs, the portable exponential and logarithm against the C library,
// Poisson counts whose mean, variance and frequencies match the law, and
// noisy samples that do not depend on the threads drawing them.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "cli/run.h"
#include "sino_noise/noise.h"
#include "sino_noise/poisson.h"
#include "sino_noise/portable_math.h"
#include "sino_noise/run.h"

namespace {

TEST(SampleStream, SplitMix64sPublishedOutputs) {
    // SplitMix64 started at state 0: the first three outputs every
    // implementation of it gives.
    SampleStream stream{0};
    EXPECT_EQ(NextWord(&stream), 0xe220a8397b1dcdafu);
    EXPECT_EQ(NextWord(&stream), 0x6e789e6aa1b965f4u);
    EXPECT_EQ(NextWord(&stream), 0x06c45d188009454fu);
    EXPECT_EQ(Mix(0), 0u);
    EXPECT_EQ(Mix(1), 0x5692161d100b05e5u);
    // Seed 0, sample 0: state Mix(0 ^ Mix(0)) = 0, the same stream.
    SampleStream first = StreamFor(0, 0);
    EXPECT_EQ(NextWord(&first), 0xe220a8397b1dcdafu);
    // Seed 1, sample 0: state Mix(1).
    SampleStream other = StreamFor(1, 0);
    EXPECT_EQ(other.state, 0x5692161d100b05e5u);
    // Sample 1 of seed 0: state Mix(Mix(1)).
    EXPECT_EQ(StreamFor(0, 1).state, Mix(0x5692161d100b05e5u));
}

TEST(SampleStream, UniformNumbersStayInsideTheInterval) {
    EXPECT_EQ(UniformOf(0), 0x1p-53);
    EXPECT_EQ(UniformOf(~std::uint64_t{0}), 1 - 0x1p-53);
    EXPECT_EQ(UniformOf(std::uint64_t{1} << 63), 0.5 + 0x1p-53);
    EXPECT_EQ(UniformOf(0xfff), 0x1p-53);  // the low twelve bits are dropped
}

// The distance in units in the last place between two positive doubles.
double Ulps(double a, double b) { return std::fabs(a - b) / (std::nextafter(std::fabs(b), INFINITY) - std::fabs(b)); }

TEST(PortableMath, WithinTwoUnitsInTheLastPlaceOfTheCLibrary) {
    EXPECT_EQ(PortableExp(0), 1);
    EXPECT_EQ(PortableLog(1), 0);
    EXPECT_EQ(PortableExp(-800), 0);
    EXPECT_EQ(PortableExp(710), INFINITY);
    for (int i = 0; i < 200000; ++i) {
        double x = -745 + i * (1454.0 / 200000) + 0.001;
        double e = PortableExp(x);
        if (std::exp(x) > 1e-300) {
            ASSERT_LE(Ulps(e, std::exp(x)), 2) << x;
        }
        double y = std::ldexp(1 + (i % 1000) / 1000.0, i / 1000 - 100);
        ASSERT_LE(Ulps(PortableLog(y), std::log(y)), 2) << y;
    }
    for (int k = -60; k <= 60; ++k) {
        // ln 2^k = k ln 2.
        EXPECT_LE(Ulps(PortableLog(std::ldexp(1.0, k)), k * 0.6931471805599453), 1) << k;
    }
}

TEST(Poisson, LogProbabilityAsTheLibraryComputesIt) {
    for (double mean : {0.5, 9.0, 10.0, 37.5, 1000.0, 1e6}) {
        for (double k : {0.0, 1.0, 2.0, 15.0, 16.0, std::floor(mean), std::floor(mean) + 3, 2 * mean + 7}) {
            double expected = k * std::log(mean) - mean - std::lgamma(k + 1);
            EXPECT_NEAR(LogPoissonProbability(k, mean), expected, 1e-12 * (1 + std::fabs(expected) + k * std::log(mean)))
                << mean << " " << k;
        }
    }
}

// Counts of `count` samples of one mean, sample i from its own stream.
std::vector<double> Draws(double mean, int count, std::uint64_t seed) {
    std::vector<double> counts(count);
    for (int i = 0; i < count; ++i) {
        SampleStream stream = StreamFor(seed, static_cast<std::uint64_t>(i));
        counts[i] = PoissonCount(mean, &stream);
    }
    return counts;
}

TEST(Poisson, MeanAndVarianceWithinThreeSigmaOfTheLaw) {
    // A Poisson law of mean m has variance m and fourth central moment
    // m + 3 m^2: over n draws the sample mean has standard deviation
    // sqrt(m / n), the sample variance sqrt((m + 2 m^2) / n).
    const int n = 200000;
    for (double mean : {0.02, 0.7, 3.0, 9.99, 10.0, 10.5, 37.5, 400.0, 1e5, 1e9, 1e13, 4e15}) {
        std::vector<double> counts = Draws(mean, n, 2026);
        double sum = 0;
        for (double c : counts) {
            ASSERT_EQ(c, std::floor(c)) << mean;
            ASSERT_GE(c, 0) << mean;
            sum += c;
        }
        double average = sum / n;
        double squares = 0;
        for (double c : counts) squares += (c - average) * (c - average);
        double variance = squares / (n - 1);
        EXPECT_LE(std::fabs(average - mean), 3 * std::sqrt(mean / n)) << mean;
        EXPECT_LE(std::fabs(variance - mean), 3 * std::sqrt((mean + 2 * mean * mean) / n)) << mean;
    }
}

TEST(Poisson, CountsArePinnedToTheBitForEveryMean) {
    // The same bytes from a seed everywhere is promised: 2000 counts of each
    // mean, from the inversion limit up, hashed (FNV-1a over the doubles'
    // bytes). A mistyped constant of the rejection method moves some of
    // them; only the squeeze's acceptance bound vr could change without a
    // count changing, since the full test accepts what the squeeze would.
    const struct {
        double mean;
        std::uint64_t hash;
    } pinned[] = {
        {10, 0xc846e8650249d2acu},  {37.5, 0x0de9c99936db2b39u}, {1e3, 0x0feccde2d3e230f0u},
        {2.5e5, 0xef669a58e9e8bb8fu}, {1e9, 0x1921fa0210efaa3eu}, {4e15, 0x9ac9d1c9343c4d42u},
    };
    for (const auto &p : pinned) {
        std::uint64_t hash = 14695981039346656037u;
        for (int i = 0; i < 2000; ++i) {
            SampleStream stream = StreamFor(7, static_cast<std::uint64_t>(i));
            double count = PoissonCount(p.mean, &stream);
            std::uint64_t bits;
            std::memcpy(&bits, &count, sizeof bits);
            for (int b = 0; b < 8; ++b) hash = (hash ^ ((bits >> (8 * b)) & 0xff)) * 1099511628211u;
        }
        EXPECT_EQ(hash, p.hash) << p.mean;
    }
}

TEST(Poisson, FrequenciesFollowTheLaw) {
    // Each count's frequency against n times its probability, within four
    // binomial standard deviations, on both sides of the change of method.
    const int n = 400000;
    for (double mean : {3.0, 9.5, 10.0, 25.0}) {
        std::vector<double> counts = Draws(mean, n, 77);
        std::vector<int> seen(200, 0);
        for (double c : counts) seen[c < 199 ? static_cast<int>(c) : 199] += 1;
        for (int k = 0; k < 100; ++k) {
            double p = std::exp(k * std::log(mean) - mean - std::lgamma(k + 1.0));
            double expected = n * p;
            if (expected < 20) continue;
            EXPECT_LE(std::fabs(seen[k] - expected), 4 * std::sqrt(expected * (1 - p))) << mean << " " << k;
        }
    }
}

TEST(Noise, SamplesAreLineIntegralsOfWholeCounts) {
    Scan scan{1000, 5};
    double noisy = 0;
    for (std::uint64_t index = 0; index < 2000; ++index) {
        double p = 0.001 * index;
        ASSERT_TRUE(NoisySample(scan, p, index, &noisy));
        // n = I0 e^-noisy is a whole count, or half of one for none.
        double n = 1000 * std::exp(-noisy);
        double whole = std::round(n);
        if (n < 0.75) {
            EXPECT_NEAR(n, 0.5, 1e-12) << p;
        } else {
            EXPECT_NEAR(n, whole, 1e-9 * whole) << p;
        }
    }
    // No count at all: half a count, ln(2 I0).
    ASSERT_TRUE(NoisySample(scan, 1e300, 3, &noisy));
    EXPECT_LE(Ulps(noisy, std::log(2000.0)), 2);
    ASSERT_TRUE(NoisySample(Scan{1e15, 1}, 0, 3, &noisy));
    EXPECT_NEAR(noisy, 0, 1e-6);
}

TEST(Noise, SamplesOutOfRange) {
    Scan scan{1e15, 5};
    double noisy = 0;
    for (double p : {double{NAN}, double{INFINITY}, -double{INFINITY}, -701.0, -1e300}) EXPECT_FALSE(NoisySample(scan, p, 0, &noisy)) << p;
    // Means above 2^52: I0 e^-p with I0 = 1e15 and p = -1.6 (4.95e15).
    EXPECT_FALSE(NoisySample(scan, -1.6, 0, &noisy));
    EXPECT_TRUE(NoisySample(scan, -1.5, 0, &noisy));  // 4.48e15
    EXPECT_TRUE(NoisySample(Scan{1, 5}, -36, 0, &noisy));  // 4.3e15
}

TEST(Noise, BlocksDoNotDependOnTheThreads) {
    const int count = 50000;
    std::vector<double> line(count);
    for (int i = 0; i < count; ++i) line[i] = 4.0 * (i % 977) / 977;
    Scan scan{3e4, 99};
    std::vector<double> one = line;
    omp_set_num_threads(1);
    EXPECT_EQ(AddNoise(scan, one.data(), count, 1234), static_cast<std::size_t>(count));
    for (int threads : {2, 3, 7}) {
        omp_set_num_threads(threads);
        std::vector<double> many = line;
        EXPECT_EQ(AddNoise(scan, many.data(), count, 1234), static_cast<std::size_t>(count));
        EXPECT_EQ(many, one) << threads;
    }
    // Each sample as it is drawn alone, from its index in the sinogram.
    for (int i = 0; i < count; i += 101) {
        double noisy = 0;
        ASSERT_TRUE(NoisySample(scan, line[i], 1234 + static_cast<std::uint64_t>(i), &noisy));
        EXPECT_EQ(one[i], noisy) << i;
    }
    // The first sample out of range is found whatever the threads.
    std::vector<double> bad = line;
    bad[40000] = NAN;
    bad[30001] = -1e4;
    EXPECT_EQ(AddNoise(scan, bad.data(), count, 0), 30001u);
    omp_set_num_threads(omp_get_num_procs());
}

TEST(Noise, TheProgramsCountsFollowTheLaw) {
    // A sinogram of 300 x 400 samples of p = 2 at I0 = 1000: counts of mean
    // 1000 e^-2 = 135.3, read back as I0 e^-p.
    const int columns = 300, rows = 400;
    std::vector<double> samples(static_cast<std::size_t>(columns) * rows, 2.0);
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(columns, rows, samples.data()));
    std::string bytes = RunEntry(RunSinoNoise, {"sino_noise", scratch.Path("in.sg"), "1000", "42", "out"});
    EXPECT_EQ(bytes.substr(0, 8), "300\t400\n");
    std::vector<double> noisy = SamplesAfterHeader(bytes);
    ASSERT_EQ(noisy.size(), samples.size());
    double mean = 1000 * std::exp(-2.0), sum = 0, squares = 0;
    for (double p : noisy) sum += std::round(1000 * std::exp(-p));
    double average = sum / noisy.size();
    for (double p : noisy) squares += std::pow(std::round(1000 * std::exp(-p)) - average, 2);
    double variance = squares / (noisy.size() - 1);
    double n = static_cast<double>(noisy.size());
    EXPECT_LE(std::fabs(average - mean), 3 * std::sqrt(mean / n));
    EXPECT_LE(std::fabs(variance - mean), 3 * std::sqrt((mean + 2 * mean * mean) / n));
}

}  // namespace
