// sino_rings run as users run it: every failure, the bytes of a corrected
// sinogram, pipes, the same bytes for any number of threads, and the
// guide's figures (doc/guide/rings.md) through the built programs.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char *const kUsage = "usage : sino_rings SG {method {size}} SG2";
const char *const kUnknown = "unknown method (auto, detect, sort or fft).";

// 8 detectors, 6 views: every view constant across the detectors (the
// view's number), but for a stripe of 2 in detector 3.
std::vector<double> Striped() {
    std::vector<double> samples(48);
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < 8; ++j) samples[k * 8 + j] = k + (j == 3 ? 2 : 0);
    return samples;
}

std::vector<double> Clean() {
    std::vector<double> samples(48);
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < 8; ++j) samples[k * 8 + j] = k;
    return samples;
}

TEST(SinoRingsCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string good = SinogramBytes(8, 6, Striped().data());
    std::vector<double> with_nan = Striped();
    with_nan[17] = NAN;
    std::vector<double> with_inf = Striped();
    with_inf[47] = -INFINITY;
    // Alternating extremes: a sample less its neighbours' median is beyond
    // the double range.
    std::vector<double> extreme(48);
    for (int i = 0; i < 48; ++i) extreme[i] = (i % 2 ? -1 : 1) * 1.5e308;
    const FailureCase cases[] = {
        {"", "", kUsage, false},
        {"in.txt", good, kUsage, false},
        {"in.txt sort 5 x out.txt", good, kUsage, false},
        {"in.txt wavelet out.txt", good, kUnknown, false},
        {"in.txt Sort 5 out.txt", good, kUnknown, false},
        {"in.txt '' out.txt", good, kUnknown, false},
        {"in.txt 5 sort out.txt", good, kUnknown, false},
        {"in.txt sort 4 out.txt", good, "bad size.", false},
        {"in.txt sort 1 out.txt", good, "bad size.", false},
        {"in.txt fft 0 out.txt", good, "bad size.", false},
        {"in.txt detect -7 out.txt", good, "bad size.", false},
        {"in.txt detect 1003 out.txt", good, "bad size.", false},
        {"in.txt sort big out.txt", good, "bad size: big.", false},
        // A window wider than the detector's 8 columns (a default is never).
        {"in.txt fft 9 out.txt", good, "bad size: 9 is wider than the detector (8 columns).", false},
        {"in.txt auto 1001 out.txt", good, "bad size: 1001 is wider than the detector (8 columns).", false},
        {"missing.sg bogus 4 out.txt", good, kUnknown, false},  // the arguments first
        {"missing.sg out.txt", good, "missing.sg: file not found.", false},
        {"in.txt out.txt", "", "in.txt: bad number of pixels.", false},
        {"in.txt out.txt", "8 0\n", "in.txt: bad number of pixels.", false},
        {"in.txt out.txt", "8\n", "in.txt: bad number of pixels.", false},
        {"in.txt out.txt", good.substr(0, good.size() - 1), "in.txt: data read error.", false},
        {"in.txt out.txt", "20000 20000\n", "in.txt: data read error.", false},
        {"- out.txt < in.txt", good.substr(0, 20), "data read error.", false},
        {"in.txt out.txt", SinogramBytes(8, 6, with_nan.data()), "in.txt: sample not finite.", false},
        {"in.txt sort out.txt", SinogramBytes(8, 6, with_inf.data()), "in.txt: sample not finite.", false},
        {"in.txt fft out.txt", SinogramBytes(8, 6, extreme.data()), "result out of range.", false},
        {"in.txt no/such/dir/out.txt", good, "no/such/dir/out.txt: cannot create (No such file or directory).", false},
        {"in.txt /dev/full", good, "/dev/full: data write error.", false},
        {"in.txt - >/dev/full", good, "data write error.", false},
        {"in.txt - >&-", good, "data write error.", false},
        // A forgotten output name (a method took its place) or a file of
        // another kind is refused, not replaced.
        {"in.txt auto", good, "auto: is a method; give the sinogram a new name.", false},
        {"in.txt fft 5 sort", good, "sort: is a method; give the sinogram a new name.", false},
        {"in.txt " HDF5_FILE("s.h5"), good, "s.h5: exists and is not a sinogram; give the sinogram a new name.", false},
        {"in.txt " PNG_FILE("s.png"), good, "s.png: exists and is not a sinogram; give the sinogram a new name.", false},
    };
    ExpectFailures("sino_rings", cases);
}

TEST(SinoRingsCli, EveryMethodTakesTheStripeOut) {
    // The stripe is the only detail across the detectors and it is the
    // same in every view: each method gives back the views exactly. (auto,
    // the default, judges a stripe against the spread of many columns; on
    // eight it is checked in the unit tests.)
    const std::string clean = SinogramBytes(8, 6, Clean().data());
    struct Case {
        const char *args;
        double tolerance;  // the cosine transforms round
    };
    const Case cases[] = {{"detect", 0}, {"sort", 0}, {"fft", 1e-14}, {"detect 3", 0}, {"sort 7", 0},
                          {"fft 3", 1e-14}};
    for (const Case &c : cases) {
        Scratch scratch;
        scratch.Write("in.sg", SinogramBytes(8, 6, Striped().data()));
        RunResult r = scratch.Run(std::string("\"$BIN/sino_rings\" in.sg ") + c.args + " out.sg");
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, "") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        std::string bytes = scratch.Read("out.sg");
        EXPECT_EQ(bytes.substr(0, 4), "8\t6\n") << c.args;
        std::vector<double> out = SamplesAfterHeader(bytes);
        ASSERT_EQ(out.size(), 48u) << c.args;
        for (int i = 0; i < 48; ++i) EXPECT_NEAR(out[i], Clean()[i], c.tolerance) << c.args << " " << i;
    }
}

TEST(SinoRingsCli, ACleanSinogramPassesTheDefaultUnchanged) {
    Scratch scratch;
    const std::string clean = SinogramBytes(8, 6, Clean().data());
    RunResult r = scratch.Run("\"$BIN/sino_rings\" - -", clean);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == clean);
    // A header with blanks and words after the counts is written back plain.
    r = scratch.Run("\"$BIN/sino_rings\" - -", "8  6 words\n" + AfterHeader(clean));
    EXPECT_TRUE(r.out == clean);
}

TEST(SinoRingsCli, ReplacesItsInputOnlyWhenComplete) {
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(8, 6, Striped().data()));
    RunResult r = scratch.Run("\"$BIN/sino_rings\" in.sg sort in.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(scratch.Read("in.sg") == SinogramBytes(8, 6, Clean().data()));
    // A failure leaves the old file as it was.
    scratch.Write("out.sg", "old");
    r = scratch.Run("\"$BIN/sino_rings\" in.sg sort 2 out.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(scratch.Read("out.sg"), "old");
}

TEST(SinoRingsCli, HelpPrintsTheUsage) {
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/sino_rings\" --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, std::string(kUsage).size() + 1), std::string(kUsage) + "\n");
}

TEST(SinoRingsCli, SameBytesForAnyNumberOfThreads) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_sino\" 300 20 -10 100 -80 40 400 ring.sg").status, 0);
    for (const char *method : {"auto", "detect", "sort", "fft"}) {
        std::string first;
        for (const char *threads : {"1", "2", "3", "1000000"}) {
            RunResult r = scratch.Run(std::string("OMP_NUM_THREADS=") + threads + " \"$BIN/sino_rings\" ring.sg " +
                                      method + " -");
            ASSERT_EQ(r.status, 0) << r.err;
            if (first.empty()) first = r.out;
            EXPECT_TRUE(r.out == first) << method << ", " << threads << " threads";
        }
    }
}

// The value of `name` in sino_stat's line.
double Field(const std::string &line, const std::string &name) {
    std::size_t at = line.find(" " + name + " ");
    return at == std::string::npos ? NAN : std::atof(line.c_str() + at + name.size() + 2);
}

TEST(SinoRingsCli, TheGuideRingFigures) {
    // The rings guide's pipeline: a phantom, stripes added to four columns
    // (offsets of 6, 5 and -8, a gain of 1.05), each method, sino_recon and
    // sino_stat.
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_sino\" 512 40 -20 180 -140 80 720 clean.sg").status, 0);
    std::vector<double> samples = SamplesAfterHeader(scratch.Read("clean.sg"));
    ASSERT_EQ(samples.size(), 512u * 720);
    for (int k = 0; k < 720; ++k) {
        samples[k * 512 + 140] += 6;
        samples[k * 512 + 200] += 5;
        samples[k * 512 + 280] *= 1.05;
        samples[k * 512 + 362] -= 8;
    }
    scratch.Write("striped.sg", SinogramBytes(512, 720, samples.data()));
    RunResult r = scratch.Run(
        "export PATH=\"$BIN:$PATH\"; sino_recon clean.sg 255.5 1 512 shepp clean.img && "
        "sino_recon striped.sg 255.5 1 512 shepp striped.img && sino_stat striped.img clean.img");
    ASSERT_EQ(r.status, 0) << r.err;
    double ring = Field(r.out, "rms");
    EXPECT_GT(ring, 0.01) << r.out;
    // The clean sinogram has no stripe to find: it passes unchanged.
    r = scratch.Run("\"$BIN/sino_rings\" clean.sg -");
    EXPECT_TRUE(r.out == scratch.Read("clean.sg"));
    for (const char *method : {"auto", "detect", "sort", "fft"}) {
        r = scratch.Run(std::string("export PATH=\"$BIN:$PATH\"; sino_rings striped.sg ") + method +
                        " - | sino_recon - 255.5 1 512 shepp - | sino_stat - clean.img");
        ASSERT_EQ(r.status, 0) << r.err;
        double left = Field(r.out, "rms");
        EXPECT_LE(left, (std::string(method) == "sort" || std::string(method) == "fft" ? 0.5 : 1.0 / 3) * ring)
            << method << ": " << r.out;
    }
}

}  // namespace
