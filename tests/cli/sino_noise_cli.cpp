// sino_noise run as users run it: every failure, a sinogram cut anywhere,
// the same bytes for a seed whatever the threads, and the dose's effect on
// a reconstruction.
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char *const kUsage = "usage : sino_noise SG I0 seed SG2";

TEST(SinoNoiseCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::vector<double> ramp = Ramp(20, 0.25, 7, 0);
    const std::string small = SinogramBytes(5, 4, ramp.data());
    std::vector<double> with_nan = ramp;
    with_nan[7] = NAN;
    std::vector<double> too_negative = ramp;
    too_negative[13] = -30;  // I0 e^30 = 1e7 e^30 counts, beyond 2^52
    const FailureCase cases[] = {
        {"", "", kUsage},
        {{"in.txt 1000 1", "in.txt 1000 1 out.txt more"}, small, kUsage},
        {{"in.txt 0 1 out.txt", "in.txt 0.5 1 out.txt", "in.txt -1000 1 out.txt", "in.txt nan 1 out.txt",
          "in.txt inf 1 out.txt", "in.txt 1.1e15 1 out.txt"}, small, "bad open beam count."},
        {"in.txt many 1 out.txt", small, "bad open beam count: many."},
        {"in.txt 0 x out.txt", "", "bad open beam count."},  // I0 before the seed
        {{"in.txt 1000 '' out.txt", "in.txt 1000 -1 out.txt", "in.txt 1000 +1 out.txt", "in.txt 1000 1.5 out.txt",
          "in.txt 1000 0x10 out.txt", "in.txt 1000 ' 1' out.txt", "in.txt 1000 12a out.txt"}, small, "bad seed."},
        {"in.txt 1000 18446744073709551616 out.txt", small, "bad seed."},  // 2^64
        {"missing.sg 1000 1 out.txt", "", "missing.sg: file not found."},
        {"in.txt 1000 x out.txt", "", "bad seed."},  // the seed before the file
        {"in.txt 1000 1 out.txt", "", "in.txt: bad number of pixels."},
        {"in.txt 1000 1 out.txt", "0 4\n", "in.txt: bad number of pixels."},
        {"in.txt 1000 1 out.txt", "5 4\n1234567", "in.txt: data read error."},
        {"- 1000 1 out.txt < in.txt", "5 4\n", "data read error."},
        {"in.txt 1000 1 out.txt",
            SinogramBytes(5, 4, with_nan.data()), "in.txt: view 1, detector 2: sample out of range."},
        {"in.txt 1e7 1 out.txt",
            SinogramBytes(5, 4, too_negative.data()), "in.txt: view 2, detector 3: sample out of range."},
        {"in.txt 1000 1 - 1<>in.txt", small, "file not open."},
        // A file of another kind is never replaced: a mistyped name.
        {"in.txt 1000 1 " HDF5_FILE("s.h5"), small, "s.h5: exists and is not a sinogram; give the sinogram a new name."},
    };
    ExpectFailures("sino_noise", cases);
}

TEST(SinoNoiseCli, ASinogramCutAnywhereLeavesNoOutputFile) {
    const std::vector<double> ramp = Ramp(20, 0.25, 7, 0);
    const std::string sinogram = SinogramBytes(5, 4, ramp.data());
    for (std::size_t cut = 0; cut <= sinogram.size(); cut += 3) {
        Scratch scratch;
        scratch.Write("cut.sg", sinogram.substr(0, cut));
        bool header = cut >= 3;  // "5\t4" parses without its line feed
        bool complete = cut == sinogram.size();
        RunResult r = scratch.Run("\"$BIN/sino_noise\" cut.sg 1000 7 out.sg");
        EXPECT_EQ(r.status, complete ? 0 : 1) << cut;
        EXPECT_EQ(r.err, complete ? "" : header ? "cut.sg: data read error.\n" : "cut.sg: bad number of pixels.\n")
            << cut;
        EXPECT_EQ(scratch.Exists("out.sg"), complete) << cut;
    }
}

TEST(SinoNoiseCli, OneSeedOneSinogramWhateverTheThreads) {
    // 700 x 800 samples: more than one of the output's blocks.
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/phantom_sino\" shepp-logan:300 700 349.5 800 clean.sg && "
                              "\"$BIN/sino_scale\" clean.sg 0.01 p.sg && \"$BIN/sino_noise\" p.sg 1e4 2026 all.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    std::string all = scratch.Read("all.sg");
    EXPECT_EQ(all.size(), 8u + 8 * 700 * 800);
    EXPECT_EQ(all.substr(0, 8), "700\t800\n");
    ExpectSameBytesForThreads(scratch, "\"$BIN/sino_noise\" - 1e4 2026 - < p.sg > some.sg", "some.sg", all);
    // Another seed, other counts; the output may replace its input.
    r = scratch.Run("\"$BIN/sino_noise\" p.sg 1e4 2027 other.sg && cp p.sg q.sg && "
                    "\"$BIN/sino_noise\" q.sg 1e4 2026 q.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(scratch.Read("other.sg") == all);
    EXPECT_TRUE(scratch.Read("q.sg") == all);
}

TEST(SinoNoiseCli, NoCountsAndTheLargestSeed) {
    // Line integrals so large that no count arrives: half a count each,
    // ln(2 I0) = ln 200.
    const double far[] = {1e300, 800, 1e6};
    Scratch scratch;
    scratch.Write("far.sg", SinogramBytes(3, 1, far));
    RunResult r = scratch.Run("\"$BIN/sino_noise\" far.sg 100 18446744073709551615 -");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> noisy = SamplesAfterHeader(r.out);
    ASSERT_EQ(noisy.size(), 3u);
    for (double p : noisy) EXPECT_NEAR(p, std::log(200.0), 1e-15);
}

TEST(SinoNoiseCli, AHundredTimesTheDoseATenthOfTheNoise) {
    // A uniform disk, line integrals in units of 0.02: the noise of a
    // reconstruction falls as one over the square root of the dose, so a
    // hundred times the counts leave about a tenth of the RMS error (the
    // noise dominates both here).
    Scratch scratch;
    scratch.Write("disk.txt", "0 0 100 100 0 1\n");
    std::string command = "\"$BIN/phantom_sino\" disk.txt 256 127.5 400 d.sg && \"$BIN/sino_scale\" d.sg 0.02 p.sg";
    for (const char *dose : {"1e3", "1e5"}) {
        command += std::string(" && \"$BIN/sino_noise\" p.sg ") + dose + " 9 n.sg && \"$BIN/sino_recon\" n.sg 127.5 0.02 r.img" +
                   " && \"$BIN/sino_recon\" p.sg 127.5 0.02 c.img && \"$BIN/sino_stat\" r.img c.img 80";
    }
    RunResult r = scratch.Run(command);
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string low, high;
    std::getline(lines, low);
    std::getline(lines, high);
    double ratio = StatValue(high, "rms") / StatValue(low, "rms");
    EXPECT_NEAR(ratio, 0.1, 0.02);
}

TEST(SinoNoiseCli, HostileNumbers) {
    // I0 the whole word as a number (1e999 infinite); the seed must be
    // plain decimal digits within 64 bits.
    const std::string longest(5000, '9');
    const HostileCase cases[] = {
        {0, "nan", "bad open beam count."}, {0, "inf", "bad open beam count."}, {0, "-inf", "bad open beam count."},
        {0, "1e999", "bad open beam count."}, {0, "0x10", "bad open beam count: 0x10."}, {0, "''", "bad open beam count: ."},
        {0, longest, "bad open beam count."},
        {1, "nan", "bad seed."},  {1, "inf", "bad seed."},  {1, "-inf", "bad seed."}, {1, "1e999", "bad seed."},
        {1, "0x10", "bad seed."}, {1, "''", "bad seed."},   {1, longest, "bad seed."}, {1, "000000000000000000000042", ""},
    };
    const std::vector<double> ramp = Ramp(20, 0.25, 7, 0);
    for (const HostileCase &c : cases) {
        std::string words[] = {"1000", "7"};
        words[c.position] = c.value;
        Scratch scratch;
        scratch.Write("in.sg", SinogramBytes(5, 4, ramp.data()));
        RunResult r = scratch.Run("\"$BIN/sino_noise\" in.sg " + words[0] + " " + words[1] + " out.sg");
        if (ExpectOutcome(scratch, r, c, "out.sg")) {
            EXPECT_EQ(scratch.Read("out.sg").size(), 4u + 8 * 20) << c.value;
        }
    }
}

TEST(SinoNoiseCli, TheGuidesSimulatedScan) {
    // The recipe as the guide gives it (doc/guide/simulation.md): every file made, the errors in
    // the order the doses say, and a hundredth of the dose ten times the
    // noise (counting statistics: the noise goes as one over the square
    // root of the counts).
    std::string recipe = DocRecipe("doc/guide/simulation.md", "# Simulating a scan");
    ASSERT_NE(recipe.find("sino_noise"), std::string::npos) << recipe;
    Scratch scratch;
    RunResult r = scratch.Run("PATH=\"$BIN:$PATH\"; export PATH; set -e\n" + recipe);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *made : {"truth.png", "head_p.png", "high.png", "low.png"}) EXPECT_TRUE(scratch.Exists(made)) << made;
    std::istringstream lines(r.out);
    std::vector<double> rms;
    for (std::string line; std::getline(lines, line);) rms.push_back(StatValue(line, "rms"));
    ASSERT_EQ(rms.size(), 5u) << r.out;
    EXPECT_LT(rms[0], rms[1]);
    EXPECT_LT(rms[1], rms[2]);
    EXPECT_NEAR(rms[4] / rms[3], 10, 1);
}

}  // namespace
