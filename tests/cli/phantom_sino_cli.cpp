// phantom_sino run as users run it: every failure, disks sampled as
// disk_sino samples them, closed-form chords in given views, the same bytes
// for any number of threads, and a phantom where sino_recon puts it.
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char *const kUsage = "usage : phantom_sino [-a ANGLES] PHANTOM N c M SG";

TEST(PhantomSinoCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string disk = "0 0 1 1 0 1\n";
    const FailureCase cases[] = {
        {"", "", kUsage},
        {{"in.txt 4 1.5 3", "in.txt 4 1.5 3 out.txt more"}, disk, kUsage},
        {"-a", disk, "option -a needs a value (ANGLES)."},
        {"-a in.txt", disk, kUsage},
        {"-x in.txt 4 1.5 3 out.txt", disk, "unknown option -x."},
        {"/dev/zero 4 1.5 3 out.txt", disk, "/dev/zero: line 1: data read error."},
        {{"in.txt 0 1 3 out.txt", "in.txt -4 1 3 out.txt"}, disk, "bad detector number."},
        {"in.txt four 1 3 out.txt", disk, "bad detector number: four."},
        {"in.txt 0 0 0 out.txt", "", "bad detector number."},  // N first
        {"in.txt 4 0 3 out.txt", disk, "bad position of rotation center."},
        {"in.txt 4 3 3 out.txt", disk, "bad position of rotation center."},  // N - 1
        {{"in.txt 4 -1 3 out.txt", "in.txt 4 nan 3 out.txt", "in.txt 4 inf 3 out.txt"},
         disk, "bad position of rotation center."},
        {"in.txt 4 axis 3 out.txt", disk, "bad position of rotation center: axis."},
        {"in.txt 1 0.5 3 out.txt", disk, "bad position of rotation center."},  // none inside
        {"in.txt 4 1.5 0 3 out.txt", disk, kUsage},
        {{"in.txt 4 1.5 0 out.txt", "in.txt 4 1.5 -3 out.txt"}, disk, "bad projection number."},
        {"in.txt 4 1.5 x out.txt", disk, "bad projection number: x."},
        {"in.txt 4 1.5 0 out.txt", "", "bad projection number."},  // the numbers before the phantom
        {"missing.txt 4 1.5 3 out.txt", disk, "missing.txt: file not found."},
        {"in.txt 4 1.5 3 out.txt", "", "in.txt: no ellipses."},
        {"in.txt 4 1.5 3 out.txt", "# only a comment\n", "in.txt: no ellipses."},
        {"in.txt 4 1.5 3 out.txt", "0 0 1 1 0\n", "in.txt: line 1: data read error."},
        {"in.txt 4 1.5 3 out.txt", disk + "0 0 1 1 0 1 1\n", "in.txt: line 2: data read error."},
        {"in.txt 4 1.5 3 out.txt", "0 0 1 0 0 1\n", "in.txt: line 1: bad ellipse."},
        {"in.txt 4 1.5 3 out.txt", "0 0 1 1 0 1e200\n", "in.txt: line 1: bad ellipse."},
        {"- 4 1.5 3 out.txt < in.txt", "0 0 1 1 nan 1\n", "phantom: line 1: bad ellipse."},
        {{"shepp-logan:0 4 1.5 3 out.txt", "shepp-logan:-2 4 1.5 3 out.txt"}, "", "bad shepp-logan radius."},
        {"shepp-logan 4 1.5 3 out.txt", "", "shepp-logan: file not found."},
        {"-a missing.txt in.txt 4 1.5 3 out.txt", disk, "missing.txt: file not found."},
        {"-a missing.txt missing2.txt 4 1.5 3 out.txt", "", "missing2.txt: file not found."},  // phantom first
        {"-a in.txt shepp-logan:2 4 1.5 3 out.txt", "0 45\n", "in.txt: 2 angles for 3 views."},
        {"-a in.txt shepp-logan:2 4 1.5 3 out.txt", "0 45 90 135\n", "in.txt: 4 angles for 3 views."},
        {"-a in.txt shepp-logan:2 4 1.5 3 out.txt", "0 x 90\n", "in.txt: data read error."},
        {"-a in.txt shepp-logan:2 4 1.5 3 out.txt", "0 inf 90\n", "in.txt: bad angle."},
        {"-a - shepp-logan:2 4 1.5 3 out.txt < in.txt", "0 90\n", "angles: 2 angles for 3 views."},
        {"shepp-logan:500 2048 1023.5 1000 /dev/full", "", "/dev/full: data write error."},
        {"shepp-logan:500 2048 1023.5 1000 - >/dev/full", "", "data write error."},
        // An output name forgotten or mistyped is refused, not replaced.
        {"in.txt 4 1.5 3 ./in.txt", disk, "./in.txt: output is an input."},
        {"shepp-logan:2 4 1.5 3 " PNG_FILE("s.png"), "", "s.png: exists and is not a sinogram; give the sinogram a new name."},
    };
    ExpectFailures("phantom_sino", cases);
}

TEST(PhantomSinoCli, AForgottenFileKeepsTheOldOne) {
    // A failure after the output is named leaves the old file as it was.
    Scratch scratch;
    scratch.Write("out.sg", "old");
    RunResult r = scratch.Run("\"$BIN/phantom_sino\" -a none.txt shepp-logan:3 8 3.5 4 out.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(scratch.Read("out.sg"), "old");
}

TEST(PhantomSinoCli, WritesHeaderAndSamples) {
    Scratch scratch;
    scratch.Write("disk.txt", "0 0 1 1 0 1\n");
    // Detectors at -1.5 ... 1.5 from the axis: the middle two cross the
    // unit disk along 2 sqrt(1 - 1/4).
    double chord = 2 * std::sqrt(0.75);
    const double row[] = {0, chord, chord, 0};
    EXPECT_EQ(QuietlyWritten(scratch, "\"$BIN/phantom_sino\" disk.txt 4 1.5 1 out.sg", "out.sg"),
              SinogramBytes(4, 1, row));
    // Standard output, the phantom from standard input, any axis: the
    // detectors at -1.25, -0.25, 0.75, 1.75, 2.75.
    RunResult r = scratch.Run("\"$BIN/phantom_sino\" - 5 1.25 1 - < disk.txt");
    EXPECT_EQ(r.status, 0);
    const double shifted[] = {0, 2 * std::sqrt(0.9375), 2 * std::sqrt(0.4375), 0, 0};
    EXPECT_EQ(r.out, SinogramBytes(5, 1, shifted));
}

// The disks of disk_sino's arguments "xC yC R1 R2 ..." as a phantom file:
// last radius first, as disk_sino sums them.
std::string DiskLines(double xc, double yc, const std::vector<double> &radii) {
    std::ostringstream lines;
    lines.precision(17);
    for (auto r = radii.rbegin(); r != radii.rend(); ++r) {
        lines << xc << " " << yc << " " << std::fabs(*r) << " " << std::fabs(*r) << " 0 " << (*r > 0 ? 1 : -1)
              << "\n";
    }
    return lines.str();
}

TEST(PhantomSinoCli, DisksAreSampledAsDiskSinoSamplesThem) {
    // An ellipse with a = b is a disk: with the axis at (N - 1)/2, as
    // disk_sino places it, the same bytes.
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> centre(-30, 30), radius(1, 60);
    Scratch scratch;
    for (int trial = 0; trial < 12; ++trial) {
        int n = 16 + static_cast<int>(random() % 300);
        int m = 1 + static_cast<int>(random() % 400);
        if (trial == 0) m = 2048;
        std::ostringstream xy;
        xy.precision(17);
        double xc = trial % 4 == 0 ? 0 : centre(random), yc = trial % 3 == 0 ? 3.5 : centre(random);
        xy << xc << " " << yc;
        std::vector<double> radii;
        std::string args;
        for (int k = 0, count = 1 + static_cast<int>(random() % 4); k < count; ++k) {
            std::ostringstream r;
            r.precision(17);
            radii.push_back(random() % 3 == 0 ? -radius(random) : radius(random));
            r << " " << radii.back();
            args += r.str();
        }
        scratch.Write("disks.txt", DiskLines(xc, yc, radii));
        // (N - 1)/2, written exactly.
        std::string axis = n % 2 == 1 ? std::to_string(n / 2) : std::to_string(n / 2 - 1) + ".5";
        std::string command = "\"$BIN/disk_sino\" " + std::to_string(n) + " " + xy.str() + args + " " +
                              std::to_string(m) + " a.sg && \"$BIN/phantom_sino\" disks.txt " + std::to_string(n) +
                              " " + axis + " " + std::to_string(m) + " b.sg";
        RunResult r = scratch.Run(command);
        ASSERT_EQ(r.status, 0) << command << r.err;
        std::string a = scratch.Read("a.sg");
        EXPECT_EQ(a.size(), std::to_string(n).size() + std::to_string(m).size() + 2 + 8u * n * m);
        EXPECT_TRUE(a == scratch.Read("b.sg")) << command;
    }
}

TEST(PhantomSinoCli, GivenAnglesInDegrees) {
    // a = 5 along x, b = 3, value 2, 21 detectors about detector 10: at 0
    // degrees the rays are x = i - 10 (chords 2b sqrt(1 - x^2/25)), at 90
    // degrees y = i - 10 (2a sqrt(1 - y^2/9)), at 180 degrees x = 10 - i.
    Scratch scratch;
    scratch.Write("e.txt", "0 0 5 3 0 2\n");
    scratch.Write("angles.txt", "# degrees\n0\n90 180\n");
    RunResult r = scratch.Run("\"$BIN/phantom_sino\" -a angles.txt e.txt 21 10 3 out.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = scratch.Read("out.sg");
    EXPECT_EQ(bytes.substr(0, 5), "21\t3\n");
    std::vector<double> samples = SamplesAfterHeader(bytes);
    ASSERT_EQ(samples.size(), 63u);
    for (int i = 0; i < 21; ++i) {
        double s = i - 10;
        double across_x = std::fabs(s) < 5 ? 2 * 2 * 3 * std::sqrt(1 - s * s / 25) : 0;
        double across_y = std::fabs(s) < 3 ? 2 * 2 * 5 * std::sqrt(1 - s * s / 9) : 0;
        EXPECT_NEAR(samples[i], across_x, 1e-13) << i;
        EXPECT_NEAR(samples[21 + i], across_y, 1e-13) << i;
        EXPECT_NEAR(samples[42 + i], across_x, 1e-13) << i;
    }
}

TEST(PhantomSinoCli, SameBytesForAnyNumberOfThreads) {
    // 1024 x 700 samples: several of the output's blocks.
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/phantom_sino\" shepp-logan:400 1024 511.5 700 all.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string all = scratch.Read("all.sg");
    EXPECT_EQ(all.size(), 9u + 8 * 1024 * 700);
    ExpectSameBytesForThreads(scratch, "\"$BIN/phantom_sino\" shepp-logan:400 1024 511.5 700 - > some.sg", "some.sg",
                              all);
}

TEST(PhantomSinoCli, AnEllipseReconstructsWhereItLies) {
    // An ellipse centered at (20.5, -10.5) turned 30 degrees: reconstructed
    // by sino_recon about the same axis, its centroid lies at column
    // 127.5 + 20.5 = 148, row 127.5 + 10.5 = 138 of the 256 x 256 image.
    Scratch scratch;
    scratch.Write("e.txt", "20.5 -10.5 40 25 30 1\n");
    RunResult r = scratch.Run("\"$BIN/phantom_sino\" e.txt 256 127.5 360 e.sg && "
                              "\"$BIN/sino_recon\" e.sg 127.5 1 e.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> image = SamplesAfterHeader(scratch.Read("e.img"));
    ASSERT_EQ(image.size(), 256u * 256);
    double inside = 0, column_moment = 0, row_moment = 0;
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            if (image[256 * row + column] > 0.5) {
                inside += 1;
                column_moment += column;
                row_moment += row;
            }
        }
    }
    // Its area, pi a b, to within the pixels its edge crosses.
    EXPECT_NEAR(inside, 3.141592653589793 * 1000, 60);
    EXPECT_NEAR(column_moment / inside, 148, 0.05);
    EXPECT_NEAR(row_moment / inside, 138, 0.05);
}

TEST(PhantomSinoCli, HostileNumbers) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
    // shepp-logan:R N c M, base "3 8 3.5 4". Each number is the whole word
    // (a word that is not one is named); a 5000-digit count is the largest
    // int, a 5000-digit real infinite.
    const std::string longest(5000, '9');
    const HostileCase cases[] = {
        {0, "nan", "bad shepp-logan radius."},  {0, "inf", "bad shepp-logan radius."},
        {0, "-inf", "bad shepp-logan radius."}, {0, "1e999", "bad shepp-logan radius."},
        {0, "0x10", "bad shepp-logan radius: 0x10."}, {0, "", "bad shepp-logan radius: ."},
        {0, longest, "bad shepp-logan radius."},
        {1, "nan", "bad detector number: nan."},     {1, "inf", "bad detector number: inf."},
        {1, "-inf", "bad detector number: -inf."},    {1, "1e999", "bad detector number: 1e999."},
        {1, "0x10", "bad detector number: 0x10."},    {1, "''", "bad detector number: ."},
        {1, "8.0", "bad detector number: 8.0."},
        {1, longest, "memory allocation error."},
        {2, "nan", "bad position of rotation center."},  {2, "inf", "bad position of rotation center."},
        {2, "-inf", "bad position of rotation center."}, {2, "1e999", "bad position of rotation center."},
        {2, "0x10", "bad position of rotation center: 0x10."}, {2, "''", "bad position of rotation center: ."},
        {2, "3,5", "bad position of rotation center: 3,5."}, {2, "3.5px", "bad position of rotation center: 3.5px."},
        {2, longest, "bad position of rotation center."},
        {3, "nan", "bad projection number: nan."},   {3, "inf", "bad projection number: inf."},
        {3, "-inf", "bad projection number: -inf."},  {3, "1e999", "bad projection number: 1e999."},
        {3, "0x10", "bad projection number: 0x10."},  {3, "''", "bad projection number: ."},
        {3, longest, "memory allocation error."},
    };
    for (const HostileCase &c : cases) {
        std::string words[] = {"shepp-logan:3", "8", "3.5", "4"};
        if (c.position == 0) {
            words[0] = "shepp-logan:" + c.value;
        } else {
            words[c.position] = c.value;
        }
        Scratch scratch;
        RunResult r = scratch.Run("ulimit -v 4000000; \"$BIN/phantom_sino\" " + words[0] + " " + words[1] + " " +
                                  words[2] + " " + words[3] + " out.sg");
        if (ExpectOutcome(scratch, r, c, "out.sg")) {
            int views = c.position == 3 ? 1 : 4;
            EXPECT_EQ(scratch.Read("out.sg").size(), std::string("8\t4\n").size() + 8u * 8 * views) << c.value;
        }
    }
}

}  // namespace
