// disk_sino run as users run it.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

TEST(DiskSinoCli, EveryFailureHasItsMessageAndExitStatus) {
    const FailureCase cases[] = {
        {"", "", "usage : disk_sino N xC yC R1 {R2 R3 ...} M SG", false},
        {"4 0 0 1 out.txt", "", "usage : disk_sino N xC yC R1 {R2 R3 ...} M SG", false},
        {"0 0 0 1 1 out.txt", "", "bad detector number.", false},
        {"-4 0 0 1 1 out.txt", "", "bad detector number.", false},
        {"four 0 0 1 1 out.txt", "", "bad detector number.", false},
        {"0 0 0 1 0 out.txt", "", "bad detector number.", false},  // N before M
        {"4 0 0 1 0 out.txt", "", "bad projection number.", false},
        {"4 0 0 1 -3 out.txt", "", "bad projection number.", false},
        // Chords beyond the double range: a square that leaves it, a sum.
        {"4 0 0 1e200 3 out.txt", "", "result out of range.", false},
        {"4 0 0 1e308 1e308 3 out.txt", "", "result out of range.", false},
        {"4 0 0 1 x out.txt", "", "bad projection number.", false},
        {"4 0 0 1 1 no/such/dir/out.txt", "", "file not open.", false},
        {"4 0 0 1 1 /dev/full", "", "data write error.", false},
        {"4 0 0 1 1 - >/dev/full", "", "data write error.", false},
        {"2048 0 0 800 -400 300 100 /dev/full", "", "data write error.", false},
        {"2048 0 0 800 -400 300 100 - >/dev/full", "", "data write error.", false},
    };
    ExpectFailures("disk_sino", cases);
}

TEST(DiskSinoCli, WritesHeaderAndSamples) {
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/disk_sino\" 4 0 0 1 1 out.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    double chord = 2 * std::sqrt(0.75);
    const double row[] = {0, chord, chord, 0};
    EXPECT_EQ(scratch.Read("out.sg"), SinogramBytes(4, 1, row));

    // Standard output, several radii and views: header plus 8 N M bytes.
    r = scratch.Run("\"$BIN/disk_sino\" 64 1.5 -2 20 -10 5 180 -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), std::string("64\t180\n").size() + 8u * 64 * 180);
    EXPECT_EQ(r.out.substr(0, 7), "64\t180\n");
}

}  // namespace
