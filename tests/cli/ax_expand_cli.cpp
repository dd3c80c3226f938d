// ax_expand run as users run it.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

TEST(AxExpandCli, EveryFailureHasItsMessageAndExitStatus) {
    const FailureCase cases[] = {
        {"", "", "usage : ax_expand projection {views} sinogram"},
        {{"in.txt", "in.txt 3 out.txt extra"}, "1 1", "usage : ax_expand projection {views} sinogram"},
        {"missing.txt out.txt", "", "file not found."},
        {"in.txt out.txt", "", "data read error."},
        {"in.txt out.txt", "0 1", "data read error."},
        {"in.txt out.txt", "-1 1", "data read error."},
        {"in.txt out.txt", "two 1 2", "data read error."},
        {"in.txt out.txt", "3 1 2", "data read error."},
        {"in.txt out.txt", "2 1 x", "data read error."},
        {{"in.txt 0 out.txt", "in.txt -2 out.txt", "in.txt many out.txt"}, "1 1", "bad number of views."},
        {"in.txt 0 out.txt", "x", "data read error."},
        {{"in.txt 100000 /dev/full", "in.txt 100000 - >/dev/full"}, "3 1 2 3", "data write error."},
    };
    ExpectFailures("ax_expand", cases);
}

std::string Row(std::vector<double> values, int copies) {
    std::string row = DoublesBytes(values.data(), static_cast<long>(values.size()));
    std::string all;
    for (int k = 0; k < copies; ++k) all += row;
    return all;
}

TEST(AxExpandCli, MirrorsTheProfileIntoEveryView) {
    Scratch scratch;
    // One sample: one column, three views by default.
    RunResult r = scratch.Run("\"$BIN/ax_expand\" - -", "1 5.5");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "1\t3\n" + Row({5.5}, 3));

    // Samples a, b: rows b, a, b, six of them by default.
    scratch.Write("in.txt", "2\n1.25\n-3\n");
    r = scratch.Run("\"$BIN/ax_expand\" in.txt out.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(scratch.Read("out.sg"), "3\t6\n" + Row({-3, 1.25, -3}, 6));

    // An explicit count of one view.
    r = scratch.Run("\"$BIN/ax_expand\" -in ' +1' -out", "3 1 2 3");
    EXPECT_EQ(r.out, "5\t1\n" + Row({3, 2, 1, 2, 3}, 1));
}

TEST(AxExpandCli, LargeOutputHasHeaderPlusEightBytesPerSample) {
    Scratch scratch;
    std::string profile = "300\n";
    for (int j = 0; j < 300; ++j) profile += std::to_string(j) + "\n";
    scratch.Write("in.txt", profile);
    RunResult r = scratch.Run("\"$BIN/ax_expand\" in.txt 2000 out.sg");
    EXPECT_EQ(r.status, 0);
    std::string bytes = scratch.Read("out.sg");
    ASSERT_EQ(bytes.size(), std::string("599\t2000\n").size() + 8u * 599 * 2000);
    std::vector<double> row(599);
    for (int c = 0; c < 599; ++c) row[c] = std::abs(c - 299);
    EXPECT_TRUE(bytes == "599\t2000\n" + Row(row, 2000));
}

TEST(AxExpandCli, AgreesWithTheDiskPhantomOfTheSameDisk) {
    // The chord profile of a disk on the axis, expanded, is the analytic
    // sinogram of that disk with 2n - 1 detectors.
    const int n = 20;
    const double radius = 12.5;
    std::string profile = std::to_string(n) + "\n";
    char line[64];
    for (int j = 0; j < n; ++j) {
        std::snprintf(line, sizeof line, "%.17g\n", j < radius ? 2 * std::sqrt(radius * radius - j * j) : 0.0);
        profile += line;
    }
    Scratch scratch;
    scratch.Write("in.txt", profile);
    RunResult expanded = scratch.Run("\"$BIN/ax_expand\" in.txt 7 -");
    RunResult phantom = scratch.Run("\"$BIN/disk_sino\" 39 0 0 12.5 7 -");
    ASSERT_EQ(expanded.status, 0);
    ASSERT_EQ(phantom.status, 0);
    ASSERT_EQ(expanded.out.size(), phantom.out.size());
    ASSERT_EQ(expanded.out.substr(0, 5), "39\t7\n");
    std::string a = AfterHeader(expanded.out), b = AfterHeader(phantom.out);
    for (std::size_t s = 0; s < a.size() / 8; ++s) {
        double x, y;
        std::memcpy(&x, a.data() + 8 * s, 8);
        std::memcpy(&y, b.data() + 8 * s, 8);
        EXPECT_NEAR(x, y, 1e-13 * (1 + std::fabs(y))) << s;
    }
}

}  // namespace
