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
        {"", "", usage, false},
        {"4 0 0 out.txt", "", usage, false},
        {"0 0 0 1 out.txt", "", "bad image size.", false},
        {"-4 0 0 1 out.txt", "", "bad image size.", false},
        {"four 0 0 1 out.txt", "", "bad image size.", false},
        {"2147483647 0 0 1 out.txt", "", "bad image size.", false},
        {"99999999999 0 0 1 out.txt", "", "bad image size.", false},
        {"0 nan 0 1 out.txt", "", "bad image size.", false},  // K before the center
        {"4 nan 0 1 out.txt", "", "bad center.", false},
        {"4 0 -inf 1 out.txt", "", "bad center.", false},
        {"4 1e999 0 1 out.txt", "", "bad center.", false},
        {"4 0 0 1 no/such/dir/out.txt", "", "no/such/dir/out.txt: cannot create (No such file or directory).", false},
        {"4 0 0 1 /dev/full", "", "/dev/full: data write error.", false},
        {"4 0 0 1 - >/dev/full", "", "data write error.", false},
        {"1000 0 0 300 -200 /dev/full", "", "/dev/full: data write error.", false},
        {"1000 0 0 300 -200 - >/dev/full", "", "data write error.", false},
        {"4 0 0 1 - >&-", "", "data write error.", false},
    };
    ExpectFailures("disk_image", cases);
}

TEST(DiskImageCli, TooLittleMemoryLeavesNoOutput) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
    Scratch scratch;
    RunResult r = scratch.Run("ulimit -v 400000; \"$BIN/disk_image\" 200000000 0 0 1 out");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "memory allocation error.\n");
    EXPECT_FALSE(scratch.Exists("out"));
}

TEST(DiskImageCli, WritesHeaderAndPixels) {
    Scratch scratch;
    // One pixel wholly inside a disk of radius 10: exactly 1.
    RunResult r = scratch.Run("\"$BIN/disk_image\" 1 0 0 10 out.img");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    const double one[] = {1.0};
    EXPECT_EQ(scratch.Read("out.img"), SinogramBytes(1, 1, one));

    // A unit disk on the corner of four pixels: a quarter disk in each, row
    // by row, on standard output.
    r = scratch.Run("\"$BIN/disk_image\" 2 0 0 1 -");
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
    // Every numeric argument in turn; the others are 4 0 0 1.
    const std::string longer(5000, '9');
    const std::string values[] = {"nan", "inf", "-inf", "1e999", "0x10", "''", longer};
    for (int position = 0; position < 4; ++position) {
        for (const std::string &value : values) {
            std::string args[] = {"4", "0", "0", "1"};
            args[position] = value;
            Scratch scratch;
            RunResult r = scratch.Run("\"$BIN/disk_image\" " + args[0] + " " + args[1] + " " + args[2] + " " +
                                      args[3] + " out.img");
            std::string shown = std::to_string(position) + " " + value.substr(0, 20);
            // K = 1e999 reads as 1, as atoi reads it.
            std::size_t pixels = position == 0 ? 1 : 16;
            if (r.status == 0) {
                EXPECT_EQ(r.err, "") << shown;
                EXPECT_EQ(scratch.Read("out.img").size(), 4u + 8 * pixels) << shown;
            } else {
                EXPECT_EQ(r.status, 1) << shown;
                EXPECT_TRUE(r.err == "bad image size.\n" || r.err == "bad center.\n") << shown << r.err;
                EXPECT_FALSE(scratch.Exists("out.img")) << shown;
            }
            // The size must be a plain positive count; the center finite.
            bool plain = value == "0x10" || value == "''";  // read as 16 and 0
            int expected = position == 0 ? (value == "1e999" ? 0 : 1) : (position < 3 && !plain ? 1 : 0);
            EXPECT_EQ(r.status, expected) << shown;
        }
    }
}

}  // namespace
