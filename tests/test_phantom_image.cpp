// phantom_image's whole run against the straightforward evaluation, pixel
// by pixel and bit for bit, over random phantoms, sizes and pixels.
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "grid.h"
#include "oracle/phantom_oracle.h"
#include "phantom.h"
#include "phantom_file.h"
#include "phantom_image/run.h"

namespace {

// The image of the phantom file `text` (or of the word `name` when not
// empty) by the program and by the oracle.
void ExpectSameImage(const Scratch &scratch, const std::string &text, const char *name, int size, double pixel) {
    std::string phantom_name = name;
    if (phantom_name.empty()) {
        scratch.Write("phantom.txt", text);
        phantom_name = scratch.Path("phantom.txt");
    }
    std::ostringstream side;
    side.precision(17);
    side << pixel;
    std::string fast =
        RunEntry(RunPhantomImage, {"phantom_image", "-p", side.str(), phantom_name, std::to_string(size), "out"});
    Phantom phantom;
    ASSERT_TRUE(ReadPhantom(phantom_name.c_str(), &phantom).ok());
    FILE *out = std::tmpfile();
    PhantomImageOracle(phantom, Grid{size, pixel, 0, 0}, out);
    ReleasePhantom(&phantom);
    std::string oracle = ContentsAndClose(out);
    ASSERT_EQ(fast.size(), oracle.size()) << text;
    ASSERT_TRUE(fast == oracle) << size << " " << pixel << "\n" << text;
}

TEST(PhantomImage, FastRowsEqualTheStraightforwardEvaluationBitForBit) {
    std::mt19937_64 random(12);
    std::uniform_real_distribution<double> unit(0, 1);
    Scratch scratch;
    for (int trial = 0; trial < 40; ++trial) {
        int size = 1 + static_cast<int>(random() % 90);
        double pixel = std::pow(10.0, 2 * unit(random) - 1);
        double field = size * pixel;
        std::ostringstream lines;
        lines.precision(17);
        for (int k = 0, count = 1 + static_cast<int>(random() % 6); k < count; ++k) {
            double a = field * std::pow(10.0, 3 * unit(random) - 2.5);
            double b = random() % 4 == 0 ? a : a * std::pow(10.0, 3 * unit(random) - 1.5);
            double angle = random() % 3 == 0 ? 90.0 * static_cast<int>(random() % 8) : 720 * unit(random) - 360;
            lines << (unit(random) - 0.5) * field << " " << (unit(random) - 0.5) * field << " " << a << " " << b << " "
                  << angle << " " << 4 * unit(random) - 2 << "\n";
        }
        ExpectSameImage(scratch, lines.str(), "", size, pixel);
    }
}

TEST(PhantomImage, SheppLoganHeadOverSeveralBlocks) {
    // 600 x 600 pixels: the output's blocks hold 262144, so two blocks.
    Scratch scratch;
    ExpectSameImage(scratch, "", "shepp-logan:290", 600, 1);
    ExpectSameImage(scratch, "", "shepp-logan:40", 97, 0.875);
}

}  // namespace
