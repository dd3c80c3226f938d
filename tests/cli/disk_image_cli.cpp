// disk_image run as users run it.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

TEST(DiskImageCli, EveryFailureHasItsMessageAndExitStatus) {
    const char *usage = "usage : disk_image K xC yC R1 {R2 ...} IMG";
    const FailureCase cases[] = {
        {{"", "4 0 0 out.txt"}, "", usage},
        {{"0 0 0 1 out.txt", "-4 0 0 1 out.txt"}, "", "bad image size."},
        {"four 0 0 1 out.txt", "", "bad image size: four."},
        {{"2147483647 0 0 1 out.txt", "99999999999 0 0 1 out.txt"}, "", "bad image size."},
        {"0 nan 0 1 out.txt", "", "bad image size."},  // K before the center
        {{"4 nan 0 1 out.txt", "4 0 -inf 1 out.txt", "4 1e999 0 1 out.txt"}, "", "bad center."},
        {"1000 0 0 300 -200 /dev/full", "", "/dev/full: data write error."},
        {"1000 0 0 300 -200 - >/dev/full", "", "data write error."},
    };
    ExpectFailures("disk_image", cases);
}

TEST(DiskImageCli, WritesHeaderAndPixels) {
    Scratch scratch;
    // One pixel wholly inside a disk of radius 10: exactly 1.
    const double one[] = {1.0};
    EXPECT_EQ(QuietlyWritten(scratch, "\"$BIN/disk_image\" 1 0 0 10 out.img", "out.img"),
              SinogramBytes(1, 1, one));

    // A unit disk on the corner of four pixels: a quarter disk in each, row
    // by row, on standard output.
    RunResult r = scratch.Run("\"$BIN/disk_image\" 2 0 0 1 -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 4), "2\t2\n");
    std::vector<double> quarter = SamplesAfterHeader(r.out);
    ASSERT_EQ(quarter.size(), 4u);
    for (double v : quarter) EXPECT_NEAR(v, 3.141592653589793 / 4, 1e-15);

    // A ring off center, y up: the band at column (K-1)/2 + xC + 7, row
    // (K-1)/2 - yC, and the header plus 8 K K bytes in all.
    r = scratch.Run("\"$BIN/disk_image\" 41 5 -3 10 -5 -");
    EXPECT_EQ(r.status, 0);
    std::vector<double> ring = SamplesAfterHeader(r.out);
    ASSERT_EQ(r.out.size(), std::string("41\t41\n").size() + 8u * 41 * 41);
    EXPECT_EQ(ring[23 * 41 + 25], 0.0);
    EXPECT_EQ(ring[23 * 41 + 32], 1.0);
    EXPECT_EQ(ring[(23 - 7) * 41 + 25], 1.0);
    EXPECT_EQ(ring[(23 + 12) * 41 + 25], 0.0);
}

TEST(DiskImageCli, AForgottenOutputNameIsTheLastRadius) {
    // The documented hazard: "3" is taken as the output, "-2" as standard
    // output.
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/disk_image\" 4 0 0 1 3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(scratch.Read("3").size(), 4u + 8 * 16);
    r = scratch.Run("\"$BIN/disk_image\" 4 0 0 1 -2");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), 4u + 8 * 16);
}

}  // namespace

namespace {

TEST(DiskImageCli, HostileNumbers) {
    // Every numeric argument in turn; the others are 4 0 0 1. A number is
    // the whole word: hexadecimal, a decimal comma or a unit is named.
    const std::string longer(5000, '9');
    struct Case {
        int position;
        std::string value;
        const char *err;  // "" when the image is written
    };
    const Case cases[] = {
        {0, "nan", "bad image size: nan."},     {0, "inf", "bad image size: inf."},
        {0, "1e999", "bad image size: 1e999."}, {0, "0x10", "bad image size: 0x10."},
        {0, "''", "bad image size: ."},         {0, "4.0", "bad image size: 4.0."},
        {0, longer, "bad image size."},         {1, "nan", "bad center."},
        {1, "inf", "bad center."},              {2, "-inf", "bad center."},
        {2, "1e999", "bad center."},            {1, "0x10", "bad center: 0x10."},
        {2, "''", "bad center: ."},             {1, "163,7", "bad center: 163,7."},
        {2, "163.7px", "bad center: 163.7px."}, {1, longer, "bad center."},
        {3, "nan", ""},                         {3, "inf", ""},
        {3, "-inf", ""},                        {3, "1e999", ""},
        {3, longer, ""},                        {3, "0x10", "bad radius: 0x10."},
        {3, "''", "bad radius: ."},             {3, "1,5", "bad radius: 1,5."},
    };
    for (const Case &c : cases) {
        std::string args[] = {"4", "0", "0", "1"};
        args[c.position] = c.value;
        Scratch scratch;
        RunResult r = scratch.Run("\"$BIN/disk_image\" " + args[0] + " " + args[1] + " " + args[2] + " " + args[3] +
                                  " out.img");
        std::string shown = std::to_string(c.position) + " " + c.value.substr(0, 20);
        if (c.err[0] == '\0') {
            EXPECT_EQ(r.status, 0) << shown;
            EXPECT_EQ(r.err, "") << shown;
            EXPECT_EQ(scratch.Read("out.img").size(), 4u + 8 * 16) << shown;
        } else {
            EXPECT_EQ(r.status, 1) << shown;
            EXPECT_EQ(r.err, std::string(c.err) + "\n") << shown;
            EXPECT_FALSE(scratch.Exists("out.img")) << shown;
        }
    }
}

}  // namespace
