// phantom_sino's whole run against the straightforward evaluation, bit for
// bit, over random phantoms, detectors, axes and views.
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "oracle/phantom_oracle.h"
#include "angles_file.h"
#include "phantom.h"
#include "phantom_file.h"
#include "phantom_sino/run.h"
#include "views.h"

namespace {

struct Trial {
    std::string phantom_text;  // the file's lines
    std::string angles_text;   // degrees, or empty for the even half turn
    int detectors;
    double axis;
    int views;
};

std::string Fast(const Scratch &scratch, const Trial &t) {
    scratch.Write("phantom.txt", t.phantom_text);
    std::vector<std::string> args{"phantom_sino"};
    if (!t.angles_text.empty()) {
        scratch.Write("angles.txt", t.angles_text);
        args.push_back("-a");
        args.push_back(scratch.Path("angles.txt"));
    }
    std::ostringstream axis;
    axis.precision(17);
    axis << t.axis;
    for (const std::string &a : {scratch.Path("phantom.txt"), std::to_string(t.detectors), axis.str(),
                                 std::to_string(t.views), std::string("out")})
        args.push_back(a);
    return RunEntry(RunPhantomSino, args);
}

std::string Oracle(const Scratch &scratch, const Trial &t) {
    Phantom phantom;
    EXPECT_TRUE(ReadPhantom(scratch.Path("phantom.txt").c_str(), &phantom).ok());
    ViewSet views;
    Status made = t.angles_text.empty() ? EvenHalfTurn(t.views, &views)
                                        : ReadAngles(scratch.Path("angles.txt").c_str(), t.views, &views);
    EXPECT_TRUE(made.ok());
    FILE *out = std::tmpfile();
    PhantomSinogramOracle(phantom, views, t.detectors, t.axis, out);
    ReleaseViews(&views);
    ReleasePhantom(&phantom);
    return ContentsAndClose(out);
}

TEST(PhantomSino, FastViewsEqualTheStraightforwardEvaluationBitForBit) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    Scratch scratch;
    for (int trial = 0; trial < 60; ++trial) {
        Trial t;
        t.detectors = 2 + static_cast<int>(random() % 180);
        t.axis = 0.01 + unit(random) * (t.detectors - 1.02);
        t.views = 1 + static_cast<int>(random() % 50);
        std::ostringstream lines;
        lines.precision(17);
        int count = 1 + static_cast<int>(random() % 6);
        for (int k = 0; k < count; ++k) {
            double a = std::pow(10.0, 4 * unit(random) - 2);
            double b = random() % 4 == 0 ? a : std::pow(10.0, 4 * unit(random) - 2);
            if (random() % 25 == 0) a = 2e12;  // wider than the window is worked out for
            double angle = random() % 3 == 0 ? 90.0 * static_cast<int>(random() % 8) : 720 * unit(random) - 360;
            lines << (unit(random) - 0.5) * 1.5 * t.detectors << " " << (unit(random) - 0.5) * 1.5 * t.detectors << " "
                  << a << " " << b << " " << angle << " " << 4 * unit(random) - 2 << "\n";
        }
        t.phantom_text = lines.str();
        if (trial % 3 == 0) {
            std::ostringstream angles;
            angles.precision(17);
            for (int k = 0; k < t.views; ++k) angles << 540 * unit(random) - 180 << "\n";
            t.angles_text = angles.str();
        }
        std::string fast = Fast(scratch, t);
        std::string oracle = Oracle(scratch, t);
        ASSERT_EQ(fast.size(), oracle.size()) << trial;
        ASSERT_TRUE(fast == oracle) << trial << "\n" << t.phantom_text;
    }
}

TEST(PhantomSino, SheppLoganHeadEqualsTheStraightforwardEvaluation) {
    // 2000 x 300 samples: the output's blocks hold 262144, so three blocks.
    std::vector<std::string> args{"phantom_sino", "shepp-logan:800", "2000", "999.5", "300", "out"};
    std::string fast = RunEntry(RunPhantomSino, args);
    Phantom phantom;
    ASSERT_TRUE(ReadPhantom("shepp-logan:800", &phantom).ok());
    ViewSet views;
    ASSERT_TRUE(EvenHalfTurn(300, &views).ok());
    FILE *out = std::tmpfile();
    PhantomSinogramOracle(phantom, views, 2000, 999.5, out);
    EXPECT_TRUE(fast == ContentsAndClose(out));
    ReleaseViews(&views);
    ReleasePhantom(&phantom);
}

}  // namespace
