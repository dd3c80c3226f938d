// The disk phantom: closed-form samples and the fast view against the
// straightforward evaluation.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "disk_sino/disks.h"
#include "disk_sino/run.h"
#include "memory.h"
#include "oracle/disk_oracle.h"
#include "sinogram.h"

namespace {

// The bytes disk_sino writes for these arguments (N xC yC R... M), by the
// fast path and by the oracle.
struct Both {
    std::string fast, oracle;
};

// disk_sino's whole run in this process, for arguments N xC yC R... M.
std::string Fast(const std::vector<std::string> &args) {
    std::vector<std::string> argv{"disk_sino"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back("out");
    return RunEntry(RunDiskSino, argv);
}

std::string Oracle(const std::vector<std::string> &args) {
    std::vector<char *> argv{const_cast<char *>("disk_sino")};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(const_cast<char *>("out"));
    FILE *out = std::tmpfile();
    DiskSinogramOracle(static_cast<int>(argv.size()), argv.data(), out);
    return ContentsAndClose(out);
}

std::vector<double> Samples(const std::vector<std::string> &args) { return SamplesAfterHeader(Fast(args)); }

TEST(DiskSino, ClosedFormSamples) {
    // Detectors at -1.5 ... 1.5: only the middle rays cross the unit disk.
    double chord = 2 * std::sqrt(0.75);
    EXPECT_EQ(Samples({"4", "0", "0", "1", "1"}), (std::vector<double>{0, chord, chord, 0}));
    // A ring: 20 - 10 on the center ray.
    EXPECT_EQ(Samples({"21", "0", "0", "10", "-5", "1"})[10], 10.0);
    // Tangent rays (d = 0) and zero or non-numeric radii give nothing.
    EXPECT_EQ(Samples({"4", "0", "0", "1.5", "0", "word", "1"}),
              (std::vector<double>{0, 2 * std::sqrt(2.0), 2 * std::sqrt(2.0), 0}));
}

int PeakColumn(const std::vector<double> &samples, int n, int view) {
    int best = 0;
    for (int i = 1; i < n; ++i) {
        if (samples[view * n + i] > samples[view * n + best]) best = i;
    }
    return best;
}

TEST(DiskSino, CenterMovesTheProjection) {
    // Detector 10 of 21 is the axis; xC = 3 puts the disk at +3 at view 0
    // and near -3 at the last of 36 views, yC = 3 at +3 at pi/2.
    std::vector<double> x = Samples({"21", "3", "0", "1.5", "36"});
    EXPECT_EQ(PeakColumn(x, 21, 0), 13);
    EXPECT_EQ(PeakColumn(x, 21, 35), 7);
    std::vector<double> y = Samples({"21", "0", "3", "1.5", "2"});
    EXPECT_EQ(PeakColumn(y, 21, 0), 10);
    EXPECT_EQ(PeakColumn(y, 21, 1), 13);
}

TEST(DiskSino, FastViewsEqualTheStraightforwardEvaluationBitForBit) {
    std::mt19937_64 random(4);
    std::uniform_real_distribution<double> center(-40, 40), radius(-60, 60);
    const char *special[] = {"0", "nan", "inf", "-inf", "1e13", "-2e15", "1e-200", "7", "-7.5", "abc"};
    for (int trial = 0; trial < 300; ++trial) {
        int n = 1 + static_cast<int>(random() % 150);
        int m = 1 + static_cast<int>(random() % 40);
        std::vector<std::string> args{std::to_string(n)};
        for (int c = 0; c < 2; ++c) {
            args.push_back(random() % 10 == 0 ? special[random() % 4] : std::to_string(center(random)));
        }
        int radii = 1 + static_cast<int>(random() % 5);
        for (int r = 0; r < radii; ++r) {
            args.push_back(random() % 6 == 0 ? special[random() % 10] : std::to_string(radius(random)));
        }
        args.push_back(std::to_string(m));
        std::string fast = Fast(args);
        std::string oracle = Oracle(args);
        std::string shown;
        for (const std::string &a : args) shown += a + " ";
        ASSERT_EQ(fast.size(), oracle.size()) << shown;
        ASSERT_TRUE(fast == oracle) << shown;
    }
}

}  // namespace
