// sino_center run as users run it: every failure, the printed line, and the
// centre found for sinograms written by the other programs.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char kUsage[] = "usage : sino_center SG";

std::string Zeros(int columns, int rows) {
    std::vector<double> zeros(static_cast<std::size_t>(columns) * rows, 0.0);
    return SinogramBytes(columns, rows, zeros.data());
}

// A phantom with one sample that is not finite.
std::string OneBadSample(int columns, int rows, double bad) {
    std::vector<double> samples(static_cast<std::size_t>(columns) * rows, 0.0);
    for (int k = 0; k < rows; ++k) samples[k * columns + columns / 3] = 1;
    samples[columns + 5] = bad;
    return SinogramBytes(columns, rows, samples.data());
}

TEST(SinoCenterCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string eight = std::string("8 8\n") + std::string(8 * 8 * 8 - 1, '\0');  // one byte short
    const FailureCase cases[] = {
        {"", "", kUsage, false},
        {"in.txt extra", "", kUsage, false},
        {"missing.sg", "", "missing.sg: file not found.", false},
        {"in.txt", "", "in.txt: bad number of pixels.", false},
        {"in.txt", "0 8\n", "in.txt: bad number of pixels.", false},
        {"in.txt", "8 -1\n", "in.txt: bad number of pixels.", false},
        {"in.txt", "8\n", "in.txt: bad number of pixels.", false},
        {"in.txt", eight, "in.txt: data read error.", false},
        // A header promising 800 MB with nothing behind it.
        {"in.txt", "10000 10000\n12345678", "in.txt: data read error.", false},
        {"- < in.txt", eight, "data read error.", false},
        {"in.txt", Zeros(2, 64), "sinogram too small to find the center.", false},
        {"in.txt", Zeros(64, 15), "sinogram too small to find the center.", false},
        {"in.txt", Zeros(3, 15), "sinogram too small to find the center.", false},
        {"in.txt", Zeros(64, 16), "no clear center: the halves of the turn do not match.", false},
        {"in.txt", OneBadSample(64, 16, std::nan("")), "no clear center: the halves of the turn do not match.", false},
        {"in.txt", OneBadSample(64, 16, -HUGE_VAL), "no clear center: the halves of the turn do not match.", false},
    };
    ExpectFailures("sino_center", cases);
}

TEST(SinoCenterCli, AFailedWriteIsNeverSuccess) {
    Scratch scratch;
    const char *outputs[] = {">/dev/full", ">&-"};
    for (const char *output : outputs) {
        RunResult r = scratch.Run("\"$BIN/disk_sino\" 64 3 -2 20 90 s.sg && \"$BIN/sino_center\" s.sg " +
                                  std::string(output));
        EXPECT_EQ(r.status, 1) << output;
        EXPECT_EQ(r.err, "data write error.\n") << output;
    }
}

// Whether text is one number as "%lf\n" writes it: an optional minus,
// digits, a point, six digits, a line feed.
bool IsFixedLine(const std::string &text) {
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0, digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (digits == 0 || i == text.size() || text[i++] != '.') return false;
    for (int d = 0; d < 6; ++d, ++i) {
        if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return i + 1 == text.size() && text[i] == '\n';
}

// The one line printed, read back as a number.
double PrintedCenter(const RunResult &r) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(IsFixedLine(r.out)) << r.out;
    return std::atof(r.out.c_str());
}

TEST(SinoCenterCli, FindsTheAxisOfThePhantomProgram) {
    // disk_sino puts the axis at (N - 1)/2.
    Scratch scratch;
    EXPECT_NEAR(PrintedCenter(scratch.Run("\"$BIN/disk_sino\" 128 12 -9 40 -15 180 s.sg && \"$BIN/sino_center\" s.sg")),
                63.5, 0.02);
    EXPECT_NEAR(PrintedCenter(scratch.Run("\"$BIN/disk_sino\" 101 -7 10 30 -12 5 120 - | \"$BIN/sino_center\" -")),
                50, 0.02);
    // The road to a reconstruction: the printed line is a shell word.
    RunResult r = scratch.Run("c=$(\"$BIN/sino_center\" s.sg) && echo \"[$c]\"");
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out.size(), 12u) << r.out;  // "[63.4xxxxx]\n": the line feed is gone
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_TRUE(IsFixedLine(r.out.substr(1, 9) + "\n")) << r.out;
    EXPECT_NEAR(std::atof(r.out.c_str() + 1), 63.5, 0.02);
}

TEST(SinoCenterCli, FindsTheCentreThatSinoGraftReports) {
    // sino_graft's (N1 M1) form resamples a phantom into a field whose axis
    // lies off the middle and prints that axis on standard error.
    Scratch scratch;
    RunResult made = scratch.Run("\"$BIN/disk_sino\" 160 6 -4 45 -20 240 s0.sg && "
                                 "\"$BIN/sino_graft\" s0.sg 79.5 120 240 52.3 1 0 0 0 s2.sg");
    ASSERT_EQ(made.status, 0) << made.err;
    double reported = std::atof(made.err.c_str());
    EXPECT_NEAR(PrintedCenter(scratch.Run("\"$BIN/sino_center\" s2.sg")), reported, 0.02);
}

TEST(SinoCenterCli, FindsBothCentresBeforeAGraft) {
    // The demo's pair: a ring inside a wide coarse field (axis 63.5), and
    // the same ring in a fine field 2.4 times narrower than it (axis 50).
    Scratch scratch;
    RunResult made = scratch.Run("\"$BIN/disk_sino\" 128 10 5 50 50 -40 -40 20 20 90 coarse.sg && "
                                 "\"$BIN/disk_sino\" 101 20 10 100 -80 40 180 fine.sg");
    ASSERT_EQ(made.status, 0);
    // The ring's sharp edges, sampled at points, alias (see the unit test).
    EXPECT_NEAR(PrintedCenter(scratch.Run("\"$BIN/sino_center\" coarse.sg")), 63.5, 0.03);
    EXPECT_NEAR(PrintedCenter(scratch.Run("\"$BIN/sino_center\" fine.sg")), 50, 0.25);
    RunResult r = scratch.Run("c0=$(\"$BIN/sino_center\" coarse.sg) && c1=$(\"$BIN/sino_center\" fine.sg) && "
                              "\"$BIN/sino_graft\" coarse.sg \"$c0\" fine.sg \"$c1\" 2 0 77.5 77.5 grafted.sg");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Exists("grafted.sg"));
}

}  // namespace
