// disk_sino run as users run it.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

TEST(DiskSinoCli, EveryFailureHasItsMessageAndExitStatus) {
    const FailureCase cases[] = {
        {{"", "4 0 0 1 out.txt"}, "", "usage : disk_sino N xC yC R1 {R2 R3 ...} M SG"},
        {{"0 0 0 1 1 out.txt", "-4 0 0 1 1 out.txt", "four 0 0 1 1 out.txt"}, "", "bad detector number."},
        {"0 0 0 1 0 out.txt", "", "bad detector number."},  // N before M
        {{"4 0 0 1 0 out.txt", "4 0 0 1 -3 out.txt"}, "", "bad projection number."},
        // Chords beyond the double range: a square that leaves it, a sum.
        {{"4 0 0 1e200 3 out.txt", "4 0 0 1e308 1e308 3 out.txt"}, "", "result out of range."},
        {"4 0 0 1 x out.txt", "", "bad projection number."},
        {{"2048 0 0 800 -400 300 100 /dev/full", "2048 0 0 800 -400 300 100 - >/dev/full"}, "", "data write error."},
    };
    ExpectFailures("disk_sino", cases);
}

TEST(DiskSinoCli, WritesHeaderAndSamples) {
    Scratch scratch;
    double chord = 2 * std::sqrt(0.75);
    const double row[] = {0, chord, chord, 0};
    EXPECT_EQ(QuietlyWritten(scratch, "\"$BIN/disk_sino\" 4 0 0 1 1 out.sg", "out.sg"),
              SinogramBytes(4, 1, row));

    // Standard output, several radii and views: header plus 8 N M bytes.
    RunResult r = scratch.Run("\"$BIN/disk_sino\" 64 1.5 -2 20 -10 5 180 -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), std::string("64\t180\n").size() + 8u * 64 * 180);
    EXPECT_EQ(r.out.substr(0, 7), "64\t180\n");
}

}  // namespace
