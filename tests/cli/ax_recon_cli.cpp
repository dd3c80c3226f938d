// ax_recon run as users run it: arguments, standard streams, files left
// behind, messages and exit status.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "oracle/recon_oracle.h"
#include "profile.h"
#include "ax_recon/recon.h"

namespace {

TEST(AxReconCli, EveryFailureHasItsMessageAndExitStatus) {
    const FailureCase cases[] = {
        {"", "", "usage : ax_recon projection {views} interval CT-value"},
        {{"in.txt out.txt", "in.txt 3 1 out.txt extra"},
         "1 1", "usage : ax_recon projection {views} interval CT-value"},
        {"missing.txt 1 out.txt", "", "file not found."},
        {"in.txt 1 out.txt", "", "data read error."},
        {"in.txt 1 out.txt", "0\n", "data read error."},
        {"in.txt 1 out.txt", "-3 1 2 3", "data read error."},
        {"in.txt 1 out.txt", "many 1 2", "data read error."},
        {"in.txt 1 out.txt", "3\n1\n2\n", "data read error."},
        {"in.txt 1 out.txt", "2 1 abc", "data read error."},
        {"in.txt 1 out.txt", "9999999999 1", "data read error."},
        // A word longer than any number, as a value and as the count.
        {"in.txt 1 out.txt", "3\n1\n2\n0." + std::string(1200, '1') + "\n", "data read error."},
        {"in.txt 1 out.txt", std::string(1200, '0') + "3\n1\n2\n3\n", "data read error."},
        // The count is checked before the interval, the views before both.
        {{"in.txt 0 1 out.txt", "in.txt -4 1 out.txt", "in.txt word 1 out.txt"}, "1 1", "bad number of views."},
        {"in.txt 0 0 out.txt", "0", "data read error."},
        {{"in.txt 0 out.txt", "in.txt -1.5 out.txt", "in.txt abc out.txt"}, "1 1", "bad detector interval."},
        // So small that no value could be finite; values beyond the range.
        {"in.txt 1e-320 out.txt", "1 1", "bad detector interval."},
        {"in.txt 1e-100 out.txt", "3 1e300 1e300 1e300", "result out of range."},
        {{"in.txt nan out.txt", "in.txt inf out.txt", "in.txt 3 -inf out.txt"}, "1 1", "bad detector interval."},
    };
    ExpectFailures("ax_recon", cases);
}

// The text ax_recon must write for a profile, from the straightforward
// evaluation.
std::string ExpectedOutput(const std::vector<double> &p, int views, double interval) {
    int n = static_cast<int>(p.size());
    std::vector<double> q(n), ct(n);
    FilterProfileOracle(p.data(), n, q.data());
    BackProjectOracle(q.data(), n, views, ViewStep(views), interval, ct.data());
    std::string text = std::to_string(n) + "\n";
    char line[512];
    for (double v : ct) {
        std::snprintf(line, sizeof line, "%lf\n", v);
        text += line;
    }
    return text;
}

std::string ProfileText(const std::vector<double> &p) {
    std::string text = std::to_string(p.size()) + "\n";
    char line[64];
    for (double v : p) {
        std::snprintf(line, sizeof line, "%.17g\n", v);
        text += line;
    }
    return text;
}

TEST(AxReconCli, SingleSampleGivesPiTimesCh0) {
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/ax_recon\" - 1 -", "1\n1.0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "1\n0.233544\n");  // pi (1/8 - 1/(2 pi^2))
}

TEST(AxReconCli, WritesTheReconstructionToFilesAndStreams) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-1.0, 3.0);
    std::vector<double> p(37);
    for (double &x : p) x = value(random);
    std::string input = ProfileText(p);
    std::string defaults = ExpectedOutput(p, static_cast<int>(DefaultViewCount(37)), 0.5);

    Scratch scratch;
    scratch.Write("in.txt", input);
    RunResult r = scratch.Run("\"$BIN/ax_recon\" in.txt 0.5 out.txt");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(scratch.Read("out.txt"), defaults);

    // Any name starting with '-' is a standard stream: a filter in a pipe.
    r = scratch.Run("\"$BIN/ax_recon\" -x 0.5 -out", input);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, defaults);

    // Explicit views, parsed as by atoi (blanks and a plus sign accepted).
    r = scratch.Run("\"$BIN/ax_recon\" in.txt ' +7views' 2 -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ExpectedOutput(p, 7, 2.0));
}

TEST(AxReconCli, AFullDiskIsNeverSuccess) {
    // Small output stays in the buffer until the final flush; large output
    // fails while still being written.
    // (The large profile's filter costs seconds: it runs once, to a named
    // full disk; standard output to one takes the small profile's path.)
    for (int n : {1, 20000}) {
        std::vector<double> p(n, 1.0);
        for (const char *target : {"/dev/full", "- >/dev/full"}) {
            if (n > 1 && target[0] == '-') continue;
            Scratch scratch;
            scratch.Write("in.txt", ProfileText(p));
            RunResult r = scratch.Run(std::string("\"$BIN/ax_recon\" in.txt 3 1 ") + target);
            EXPECT_EQ(r.status, 1) << n << target;
            EXPECT_EQ(r.err, "data write error.\n") << n << target;
        }
    }
}

}  // namespace
