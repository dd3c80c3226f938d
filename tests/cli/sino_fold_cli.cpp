// sino_fold run as users run it: every failure, the bytes and the line it
// writes, and a half-acquisition scan folded and reconstructed against the
// phantom's true image and a scan that saw the object whole.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "oracle/center_oracle.h"

namespace {

const char kUsage[] = "usage : sino_fold SG c SG2";
const double kPi = 3.141592653589793;

// A full turn of 2 views of 8 detectors: view 0 = 10 .. 17, view 1 =
// 20 .. 27.
std::string TwoViews() {
    std::vector<double> samples;
    for (int i = 0; i < 8; ++i) samples.push_back(10 + i);
    for (int i = 0; i < 8; ++i) samples.push_back(20 + i);
    return SinogramBytes(8, 2, samples.data());
}

TEST(SinoFoldCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string two = TwoViews();
    std::vector<double> three(8 * 3, 1.0);
    std::vector<double> huge(8 * 2, 1.7e308);
    const FailureCase cases[] = {
        {"", "", kUsage},
        {{"in.txt 1.5", "in.txt 1.5 out.txt extra"}, two, kUsage},
        {"missing.sg 1.5 out.txt", "", "missing.sg: file not found."},
        {"in.txt 1.5 out.txt", "", "in.txt: bad number of pixels."},
        {"in.txt 1.5 out.txt", "8 0\n", "in.txt: bad number of pixels."},
        {"in.txt 1.5 out.txt", "8 2\n1234567", "in.txt: data read error."},
        {"- 1.5 out.txt < in.txt", "8 2\n1234567", "data read error."},
        // A header promising 800 MB with nothing behind it.
        {"in.txt 1.5 out.txt", "10000 10000\n12345678", "in.txt: data read error."},
        {"in.txt 1.5 out.txt", SinogramBytes(8, 3, three.data()), "odd number of views for a full turn."},
        {"in.txt 0 out.txt", two, "bad position of rotation center."},
        {"in.txt 7 out.txt", two, "bad position of rotation center."},  // N - 1
        {"in.txt -2 out.txt", two, "bad position of rotation center."},
        {"in.txt 1,5 out.txt", two, "bad position of rotation center: 1,5."},
        {{"in.txt nan out.txt", "in.txt inf out.txt"}, two, "bad position of rotation center."},
        {"in.txt axis out.txt", two, "bad position of rotation center: axis."},
        {"in.txt 3.2 out.txt", SinogramBytes(8, 2, huge.data()), "result out of range."},
        // The axis printed into the file the sinogram replaces.
        {"in.txt 1.5 out.txt > out.txt", two, "out.txt: two outputs name this file.", true},
        {"in.txt 1.5 no/such/dir/out.txt", two, "no/such/dir/out.txt: cannot create (No such file or directory)."},
        {"in.txt 1.5 /dev/full", two, "/dev/full: data write error."},
        {"in.txt 1.5 - >/dev/full", two, "data write error."},
        // The axis cannot be printed: the sinogram is not put in place.
        {{"in.txt 1.5 out.txt >&-", "in.txt 1.5 out.txt >/dev/full"}, two, "data write error."},
        // A file of another kind is never replaced: a mistyped name.
        {"in.txt 1.5 " TEXT_FILE("notes"), two, "notes: exists and is not a sinogram; give the sinogram a new name."},
    };
    ExpectFailures("sino_fold", cases);
}

TEST(SinoFoldCli, WritesTheFoldedViewsAndPrintsTheirAxis) {
    // c = 1.5: the opposite view mirrored lands at 3 - s, four columns
    // beyond the left edge; over 0 .. 3 the view's weight rises as s/3.
    Scratch scratch;
    scratch.Write("two.sg", TwoViews());
    RunResult r = scratch.Run("\"$BIN/sino_fold\" two.sg 1.5 out.sg");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "5.500000\n");
    const double expected[12] = {27, 26, 25, 24, 23, 11.0 / 3 + 2 * 22.0 / 3, 2 * 12.0 / 3 + 21.0 / 3, 13,
                                 14, 15, 16, 17};
    std::string bytes = scratch.Read("out.sg");
    EXPECT_EQ(bytes.substr(0, bytes.find('\n') + 1), "12\t1\n");
    std::vector<double> folded = SamplesAfterHeader(bytes);
    ASSERT_EQ(folded.size(), 12u);
    for (int x = 0; x < 12; ++x) EXPECT_NEAR(folded[x], expected[x], 1e-13) << x;

    // To standard output: the sinogram there, the axis on standard error.
    RunResult piped = scratch.Run("\"$BIN/sino_fold\" - 1.5 - < two.sg");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, bytes);
    EXPECT_EQ(piped.err, "5.500000\n");

    // The output may be the input: it is replaced only when complete.
    RunResult same = scratch.Run("\"$BIN/sino_fold\" two.sg 1.5 two.sg");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(scratch.Read("two.sg"), bytes);
}

// The phantom: concentric disks at (8, -5), radii 100, -60 and 30 (the
// ring and core disk_sino and disk_image draw), reaching 109.4 detectors
// from the axis.
const char kDisks[] = "8 -5 100 -60 30";

std::vector<double> HalfAcquisition(int n, double center, int views) {
    std::vector<OracleDisk> disks = {{8, -5, 100, 1}, {8, -5, 60, -1}, {8, -5, 30, 1}};
    return DiskProjections(n, center, EvenAngles(views, 2 * kPi), disks, 1);
}

// The RMS error of a reconstruction against the true image within 110 of
// the axis, as sino_stat prints it.
double Rms(const Scratch &scratch, const std::string &image) {
    RunResult r = scratch.Run("\"$BIN/sino_stat\" " + image + " truth.img 110");
    EXPECT_EQ(r.status, 0) << r.err;
    std::size_t at = r.out.find(" rms ");
    return at == std::string::npos ? -1 : std::atof(r.out.c_str() + at + 5);
}

TEST(SinoFoldCli, HalfAcquisitionReconstructsLikeAScanThatSawTheObjectWhole) {
    // 128 detectors with the axis 6.3 from the left edge, 720 views over the
    // full turn: each view sees one side of an object 219 detectors across,
    // 1.7 times the detector. Folded into 360 views of 242 detectors, it
    // reconstructs within 30 % of the RMS error of a half turn of 360 views
    // by 256 detectors that saw the object whole (both sampled at points,
    // as disk_sino writes, and filtered with the shepp kernel).
    Scratch scratch;
    std::vector<double> full = HalfAcquisition(128, 6.3, 720);
    scratch.Write("full.sg", SinogramBytes(128, 720, full.data()));
    RunResult made = scratch.Run(std::string("\"$BIN/disk_sino\" 256 ") + kDisks + " 360 whole.sg && " +
                                 "\"$BIN/disk_image\" 240 " + kDisks + " truth.img && " +
                                 "\"$BIN/sino_recon\" whole.sg 127.5 1 240 shepp whole.img");
    ASSERT_EQ(made.status, 0) << made.err;
    RunResult folded = scratch.Run("c2=$(\"$BIN/sino_fold\" full.sg 6.3 half.sg) && echo \"$c2\" && "
                                   "\"$BIN/sino_recon\" half.sg \"$c2\" 1 240 shepp half.img");
    ASSERT_EQ(folded.status, 0) << folded.err;
    EXPECT_EQ(folded.out, "120.300000\n");
    double whole = Rms(scratch, "whole.img"), half = Rms(scratch, "half.img");
    std::printf("rms error: whole %.5f, folded %.5f (%+.1f %%)\n", whole, half, 100 * (half / whole - 1));
    EXPECT_GT(whole, 0);
    EXPECT_LT(half, 1.3 * whole);
    // The folded half turn's own axis is the one printed.
    RunResult center = scratch.Run("\"$BIN/sino_center\" half.sg");
    EXPECT_EQ(center.status, 0) << center.err;
    EXPECT_NEAR(std::atof(center.out.c_str()), 120.3, 0.05);
}

TEST(SinoFoldCli, TheCenterFoundFeedsTheFold) {
    // The road: sino_center -t finds the axis of the full turn, sino_fold
    // folds about it, sino_recon reconstructs with the axis printed.
    Scratch scratch;
    std::vector<double> full = HalfAcquisition(128, 6.3, 720);
    scratch.Write("full.sg", SinogramBytes(128, 720, full.data()));
    RunResult r = scratch.Run("c=$(\"$BIN/sino_center\" -t full.sg) && echo \"$c\" && "
                              "c2=$(\"$BIN/sino_fold\" full.sg \"$c\" half.sg) && echo \"$c2\" && "
                              "\"$BIN/sino_recon\" half.sg \"$c2\" 1 240 half.img");
    ASSERT_EQ(r.status, 0) << r.err;
    double c = std::atof(r.out.c_str());
    double c2 = std::atof(r.out.c_str() + r.out.find('\n') + 1);
    EXPECT_NEAR(c, 6.3, 0.05);
    // The fold puts the view's detector 0 at column 114 (2c - 127 = -114.4,
    // the first whole column -114).
    EXPECT_NEAR(c2, c + 114, 1e-6);
    EXPECT_TRUE(scratch.Exists("half.img"));
}

}  // namespace
