// phantom_image run as users run it: every failure, closed-form pixels,
// disks as disk_image draws them, the same bytes for any number of threads,
// and the grid sino_recon reconstructs on.
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char *const kUsage = "usage : phantom_image [-p PIXEL] PHANTOM K IMG";
const double kPi = 3.141592653589793;

TEST(PhantomImageCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string disk = "0 0 1 1 0 1\n";
    const FailureCase cases[] = {
        {"", "", kUsage},
        {{"in.txt 4", "in.txt 4 out.txt more"}, disk, kUsage},
        {"-p", disk, "option -p needs a value (PIXEL)."},
        {"-p 1 in.txt 4", disk, kUsage},
        {"-a x in.txt 4 out.txt", disk, "unknown option -a."},
        {{"in.txt 0 out.txt", "in.txt -4 out.txt"}, disk, "bad image size."},
        {"in.txt four out.txt", disk, "bad image size: four."},
        {{"in.txt 2147483647 out.txt", "in.txt 99999999999 out.txt"}, disk, "bad image size."},
        {"-p 0 in.txt 0 out.txt", disk, "bad image size."},  // K before the pixel
        {{"-p 0 in.txt 4 out.txt", "-p -1 in.txt 4 out.txt", "-p nan in.txt 4 out.txt", "-p inf in.txt 4 out.txt",
          "-p 1.1e100 in.txt 4 out.txt", "-p 0.9e-100 in.txt 4 out.txt"}, disk, "bad pixel size."},
        {"-p half in.txt 4 out.txt", disk, "bad pixel size: half."},
        {"-p 0 missing.txt 4 out.txt", "", "bad pixel size."},  // the pixel before the phantom
        {"missing.txt 4 out.txt", "", "missing.txt: file not found."},
        {"in.txt 4 out.txt", "", "in.txt: no ellipses."},
        {"in.txt 4 out.txt", disk + "1 2 3 4 5 six\n", "in.txt: line 2: data read error."},
        {"in.txt 4 out.txt", "0 0 -1 1 0 1\n", "in.txt: line 1: bad ellipse."},
        {"- 4 out.txt < in.txt", "0 0 1 1 0 inf\n", "phantom: line 1: bad ellipse."},
        {"shepp-logan:nan 4 out.txt", "", "bad shepp-logan radius."},
        // Ellipses too thin for exact pixel means; a word longer than any number.
        {"in.txt 64 out.txt",
            "0.3 0.2 20 1e-12 0 1\n", "in.txt: ellipse 1: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"in.txt 64 out.txt",
            disk + "0.3 0.2 1e15 1e-15 0 1\n", "in.txt: ellipse 2: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"in.txt 64 out.txt",
            "0.3 0.2 20 1e-9 0 1\n", "in.txt: ellipse 1: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"-p 1e3 in.txt 64 out.txt",
            "0.3 0.2 20 9e-4 0 1\n", "in.txt: ellipse 1: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"- 64 out.txt < in.txt",
            "0 0 1e-7 1 0 1\n", "phantom: ellipse 1: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"shepp-logan:1e-5 64 out.txt",
            "", "shepp-logan:1e-5: ellipse 6: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"in.txt 4 out.txt",
            disk + "1000000000000000.5 0 1e15 1e15 0 1\n", "in.txt: ellipse 2: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"-p 1e-3 in.txt 4 out.txt",
            "0 0 1e7 1 0 1\n", "in.txt: ellipse 1: a half-axis below 1e-6 or beyond 1e9 pixel sides."},
        {"/dev/zero 64 out.txt", "", "/dev/zero: line 1: data read error."},
        {"in.txt 64 out.txt", "0 0 1 1 0 " + std::string(2000, '1') + "\n", "in.txt: line 1: data read error."},
        {"shepp-logan:300 1000 /dev/full", "", "/dev/full: data write error."},
        {"shepp-logan:300 1000 - >/dev/full", "", "data write error."},
        // An output name forgotten or mistyped is refused, not replaced.
        {"in.txt 8 in.txt", disk, "in.txt: output is an input."},
        {"shepp-logan:3 8 " HDF5_FILE("s.h5"), "", "s.h5: exists and is not an image; give the image a new name."},
    };
    ExpectFailures("phantom_image", cases);
}

TEST(PhantomImageCli, ClosedFormPixels) {
    Scratch scratch;
    scratch.Write("big.txt", "0 0 10 10 0 1\n");
    scratch.Write("unit.txt", "0 0 1 1 0 1\n");
    scratch.Write("turned.txt", "0 0 3 2 45 1\n");
    // One pixel wholly inside: exactly the value.
    const double one[] = {1.0};
    EXPECT_EQ(QuietlyWritten(scratch, "\"$BIN/phantom_image\" big.txt 1 out.img", "out.img"),
              SinogramBytes(1, 1, one));

    // The unit disk on the corner of four pixels: a quarter in each.
    RunResult r = scratch.Run("\"$BIN/phantom_image\" unit.txt 2 -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 4), "2\t2\n");
    std::vector<double> quarters = SamplesAfterHeader(r.out);
    ASSERT_EQ(quarters.size(), 4u);
    for (double v : quarters) EXPECT_NEAR(v, kPi / 4, 1e-16);

    // Pixels of 0.5: the four middle ones wholly inside (corners 0.71 from
    // the center), and the sixteen hold the disk's area pi over 0.25.
    r = scratch.Run("\"$BIN/phantom_image\" -p 0.5 unit.txt 4 -");
    EXPECT_EQ(r.status, 0);
    std::vector<double> fine = SamplesAfterHeader(r.out);
    ASSERT_EQ(fine.size(), 16u);
    double sum = 0;
    for (double v : fine) sum += v;
    EXPECT_NEAR(sum * 0.25, kPi, 1e-14);
    for (int k : {5, 6, 9, 10}) EXPECT_EQ(fine[k], 1.0) << k;

    // The ellipse 3 by 2 along the diagonal in 2 x 2 pixels of 10: the
    // top-right quadrant holds a b atan(a / b), the top-left one the rest of
    // the upper half.
    r = scratch.Run("\"$BIN/phantom_image\" -p 10 turned.txt 2 -");
    EXPECT_EQ(r.status, 0);
    std::vector<double> quadrants = SamplesAfterHeader(r.out);
    ASSERT_EQ(quadrants.size(), 4u);
    EXPECT_NEAR(quadrants[1], 6 * std::atan(1.5) / 100, 1e-16);
    EXPECT_NEAR(quadrants[0], (3 * kPi - 6 * std::atan(1.5)) / 100, 1e-16);
    EXPECT_NEAR(quadrants[2], quadrants[1], 1e-16);  // the center's symmetry
    EXPECT_NEAR(quadrants[3], quadrants[0], 1e-16);
}

TEST(PhantomImageCli, DisksAsDiskImageDrawsThem) {
    // Both compute a disk's exact area in a pixel, by different closed
    // forms, on the same grid; disk_image's, in doubles, is off by up to
    // about 1e-14 (1.1e-14 in the first ring here, against the quadrant
    // oracle in long double, which phantom_image meets to 1e-16).
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> centre(-20, 20), radius(0.3, 30);
    Scratch scratch;
    for (int trial = 0; trial < 6; ++trial) {
        int size = 10 + static_cast<int>(random() % 70);
        double xc = centre(random), yc = centre(random);
        std::ostringstream args, lines;
        args.precision(17);
        lines.precision(17);
        args << size << " " << xc << " " << yc;
        std::vector<double> radii;
        for (int k = 0, count = 1 + static_cast<int>(random() % 3); k < count; ++k) {
            double r = random() % 3 == 0 ? -radius(random) : radius(random);
            args << " " << r;
            radii.push_back(r);
        }
        for (auto r = radii.rbegin(); r != radii.rend(); ++r) {
            lines << xc << " " << yc << " " << std::fabs(*r) << " " << std::fabs(*r) << " " << 37 * trial << " "
                  << (*r > 0 ? 1 : -1) << "\n";
        }
        scratch.Write("disks.txt", lines.str());
        RunResult r = scratch.Run("\"$BIN/disk_image\" " + args.str() + " a.img && \"$BIN/phantom_image\" disks.txt " +
                                  std::to_string(size) + " b.img");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<double> a = SamplesAfterHeader(scratch.Read("a.img"));
        std::vector<double> b = SamplesAfterHeader(scratch.Read("b.img"));
        ASSERT_EQ(a.size(), static_cast<std::size_t>(size) * size);
        ASSERT_EQ(b.size(), a.size());
        EXPECT_EQ(scratch.Read("a.img").substr(0, 8), scratch.Read("b.img").substr(0, 8));
        for (std::size_t k = 0; k < a.size(); ++k) ASSERT_NEAR(a[k], b[k], 5e-14) << args.str() << " pixel " << k;
    }
}

TEST(PhantomImageCli, SameBytesForAnyNumberOfThreads) {
    // 700 x 700 pixels: several of the output's blocks.
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/phantom_image\" -p 0.75 shepp-logan:400 700 all.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string all = scratch.Read("all.img");
    EXPECT_EQ(all.size(), 8u + 8 * 700 * 700);
    ExpectSameBytesForThreads(scratch, "\"$BIN/phantom_image\" -p 0.75 shepp-logan:400 700 - > some.img", "some.img", all);
}

TEST(PhantomImageCli, TheTruthOnSinoReconsGrid) {
    // An ellipse projected by phantom_sino and reconstructed by sino_recon
    // lies on phantom_image's pixels: the error against the truth grows
    // when the truth moves by a quarter pixel, in any of four directions.
    Scratch scratch;
    const char *truths[] = {"20.5 -10.5", "20.75 -10.5", "20.25 -10.5", "20.5 -10.25", "20.5 -10.75"};
    std::string command = "\"$BIN/phantom_sino\" e0.txt 256 127.5 720 e.sg && "
                          "\"$BIN/sino_recon\" e.sg 127.5 1 256 shepp e.img";
    for (int t = 0; t < 5; ++t) {
        std::ostringstream name, line;
        name << "e" << t;
        line << truths[t] << " 40 25 30 1\n";
        scratch.Write(name.str() + ".txt", line.str());
        std::ostringstream run;
        run << " && \"$BIN/phantom_image\" " << name.str() << ".txt 256 " << name.str() << ".truth && \"$BIN/sino_stat\" e.img "
            << name.str() << ".truth";
        command += run.str();
    }
    RunResult r = scratch.Run(command);
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<double> rms;
    for (std::string line; std::getline(lines, line);) rms.push_back(StatValue(line, "rms"));
    ASSERT_EQ(rms.size(), 5u);
    for (int t = 1; t < 5; ++t) EXPECT_LT(rms[0], rms[t]) << truths[t];
    // The centroid of the truth: (K - 1)/2 + xC, (K - 1)/2 - yC.
    std::vector<double> truth = SamplesAfterHeader(scratch.Read("e0.truth"));
    ASSERT_EQ(truth.size(), 256u * 256);
    double mass = 0, column_moment = 0, row_moment = 0;
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            double v = truth[256 * row + column];
            mass += v;
            column_moment += v * column;
            row_moment += v * row;
        }
    }
    EXPECT_NEAR(mass, kPi * 1000, 1e-9);
    EXPECT_NEAR(column_moment / mass, 148, 1e-3);
    EXPECT_NEAR(row_moment / mass, 138, 1e-3);
}

// One hostile word in one argument: the message (empty on success, when
// the output must be whole).
TEST(PhantomImageCli, HostileNumbers) {
    // -p PIXEL shepp-logan:R K, base "1 3 8": each number the whole word
    // (a word that is not one is named); a 5000-digit K is the largest int,
    // whose image cannot be addressed.
    const std::string longest(5000, '9');
    const HostileCase cases[] = {
        {0, "nan", "bad pixel size."},       {0, "inf", "bad pixel size."},   {0, "-inf", "bad pixel size."},
        {0, "1e999", "bad pixel size."},     {0, "0x10", "bad pixel size: 0x10."}, {0, "''", "bad pixel size: ."},
        {0, "0,5", "bad pixel size: 0,5."},  {0, longest, "bad pixel size."},
        {1, "nan", "bad shepp-logan radius."}, {1, "inf", "bad shepp-logan radius."},
        {1, "-inf", "bad shepp-logan radius."}, {1, "1e999", "bad shepp-logan radius."},
        {1, "0x10", "bad shepp-logan radius: 0x10."}, {1, "", "bad shepp-logan radius: ."},
        {1, longest, "bad shepp-logan radius."},
        {2, "nan", "bad image size: nan."},  {2, "inf", "bad image size: inf."}, {2, "-inf", "bad image size: -inf."},
        {2, "1e999", "bad image size: 1e999."}, {2, "0x10", "bad image size: 0x10."}, {2, "''", "bad image size: ."},
        {2, "8px", "bad image size: 8px."},  {2, longest, "bad image size."},
    };
    for (const HostileCase &c : cases) {
        std::string words[] = {"1", "shepp-logan:3", "8"};
        if (c.position == 1) {
            words[1] = "shepp-logan:" + c.value;
        } else {
            words[c.position] = c.value;
        }
        Scratch scratch;
        RunResult r = scratch.Run("\"$BIN/phantom_image\" -p " + words[0] + " " + words[1] + " " + words[2] + " out.img");
        if (ExpectOutcome(scratch, r, c, "out.img")) {
            std::size_t size = c.position == 2 ? 1 : 8;
            EXPECT_EQ(scratch.Read("out.img").size(), std::to_string(size).size() * 2 + 2 + 8 * size * size) << c.value;
        }
    }
}

}  // namespace
