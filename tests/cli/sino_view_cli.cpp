// sino_view run as users run it: pictures decoded back, grey levels at the
// window's edges, and every failure.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/png_decode.h"
#include "cli/run.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

TEST(SinoViewCli, EveryFailureHasItsMessageAndExitStatus) {
    const double two[] = {1, 2};
    const std::string small = SinogramBytes(2, 1, two);
    const FailureCase cases[] = {
        {{"", "in.txt", "in.txt 0 out.txt", "in.txt 0 1 2 out.txt"}, "", "usage : sino_view SG {lo hi} PNG"},
        {{"in.txt 1 1 out.txt", "in.txt 2 1 out.txt", "in.txt nan 1 out.txt"}, "", "bad window."},
        {"in.txt 0x0 1 out.txt", "", "bad window: 0x0."},
        {"in.txt 0 1,5 out.txt", "", "bad window: 1,5."},
        {{"in.txt 0 inf out.txt", "in.txt -1e999 0 out.txt"}, "", "bad window."},
        {"missing.sg out.txt", "", "missing.sg: file not found."},
        {"in.txt out.txt", "", "in.txt: bad number of pixels."},
        {"in.txt out.txt", "0 3\n", "in.txt: bad number of pixels."},
        {"in.txt out.txt", "3\n", "in.txt: bad number of pixels."},
        {"in.txt out.txt", "1000001 1\n", "in.txt: image too large."},
        {"in.txt out.txt", "2 2\n12345678", "in.txt: data read error."},
        // An output name forgotten or mistyped is refused, not replaced: a
        // picture replaces only a PNG (or an empty file).
        {"in.txt in.txt", small, "in.txt: output is an input."},
        {"in.txt 0 1 ./in.txt", small, "./in.txt: output is an input."},
        {"in.txt " TIFF_FILE("scan.tif"), small, "scan.tif: exists and is not a picture; give the picture a new name."},
        {"in.txt $(cp in.txt s.sg; echo s.sg)", small, "s.sg: exists and is not a picture; give the picture a new name."},
    };
    ExpectFailures("sino_view", cases);
    // A large picture fails while it is being written, not only at the end.
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/disk_sino\" 800 0 0 300 700 - | \"$BIN/sino_view\" - 0 1 /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "/dev/full: data write error.\n");
}

GreyImage View(const std::string &sinogram, const std::string &window) {
    Scratch scratch;
    scratch.Write("in.sg", sinogram);
    RunResult r = scratch.Run("\"$BIN/sino_view\" in.sg " + window + " out.png");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    return DecodePng(scratch.Read("out.png"));
}

TEST(SinoViewCli, MapsTheWindowOntoGreyLevels) {
    // Three views of four detectors.
    const double samples[] = {-1, 0, 1, 2,        //
                              0.5, 3, kNan, kInf,  //
                              -kInf, 1.5, 0.25, 1};
    std::string sinogram = SinogramBytes(4, 3, samples);

    GreyImage image = View(sinogram, "0 1");
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(image.bit_depth, 8);
    EXPECT_EQ(image.color_type, 0);  // greyscale
    // lo -> 0, hi -> 255, clamped outside; 0.5 -> 128 (127.5 rounded up),
    // 0.25 -> 64 (63.75); not-a-number and infinities are black.
    const std::vector<unsigned char> expected = {0, 0, 255, 255, 128, 255, 0, 0, 0, 255, 64, 255};
    EXPECT_EQ(image.pixels, expected);

    // Without a window: the finite extremes, -1 and 3.
    image = View(sinogram, "");
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.pixels[0], 0);    // -1
    EXPECT_EQ(image.pixels[5], 255);  // 3
    EXPECT_EQ(image.pixels[1], 64);   // 0 -> 63.75
    EXPECT_EQ(image.pixels[6], 0);    // nan
}

TEST(SinoViewCli, ConstantImageIsMidGreyAndStreamsWork) {
    const double flat[] = {2.5, 2.5, kNan, 2.5, 2.5, 2.5};
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/sino_view\" - -", SinogramBytes(3, 2, flat));
    EXPECT_EQ(r.status, 0);
    GreyImage image = DecodePng(r.out);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.pixels, (std::vector<unsigned char>{128, 128, 0, 128, 128, 128}));

    // A pipe from the phantom program: one row per view.
    r = scratch.Run("\"$BIN/disk_sino\" 64 0 0 20 -10 90 - | \"$BIN/sino_view\" - -5 45 -");
    EXPECT_EQ(r.status, 0);
    image = DecodePng(r.out);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 90);
    EXPECT_EQ(image.pixels[0], 26);  // a ray missing the disks: 0 in [-5, 45] is 25.5
}

}  // namespace
