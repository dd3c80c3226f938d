// sino_center run as users run it: every failure, the printed line, and the
// centre found for sinograms written by the other programs.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "oracle/center_oracle.h"

namespace {

const char kUsage[] = "usage : sino_center [-a ANGLES | -t] SG";

std::string Zeros(int columns, int rows) {
    std::vector<double> zeros(static_cast<std::size_t>(columns) * rows, 0.0);
    return SinogramBytes(columns, rows, zeros.data());
}

// Views that are straight lines: level + slope s + step k at column s of
// view k. They hold nothing of the axis.
std::string Plane(int columns, int rows, double level, double slope, double step) {
    std::vector<double> samples(static_cast<std::size_t>(columns) * rows);
    for (int k = 0; k < rows; ++k)
        for (int s = 0; s < columns; ++s) samples[static_cast<std::size_t>(k) * columns + s] = level + slope * s + step * k;
    return SinogramBytes(columns, rows, samples.data());
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
        {{"", "in.txt extra"}, "", kUsage},
        {"missing.sg", "", "missing.sg: file not found."},
        {"in.txt", "", "in.txt: bad number of pixels."},
        {"in.txt", "0 8\n", "in.txt: bad number of pixels."},
        {"in.txt", "8 -1\n", "in.txt: bad number of pixels."},
        {"in.txt", "8\n", "in.txt: bad number of pixels."},
        {"in.txt", eight, "in.txt: data read error."},
        // A header promising 800 MB with nothing behind it.
        {"in.txt", "10000 10000\n12345678", "in.txt: data read error."},
        {"- < in.txt", eight, "data read error."},
        {"in.txt", Zeros(2, 64), "sinogram too small to find the center."},
        {"in.txt", Zeros(64, 15), "sinogram too small to find the center."},
        {"in.txt", Zeros(3, 15), "sinogram too small to find the center."},
        {"in.txt", Zeros(64, 16), "no clear center: the halves of the turn do not match."},
        {"in.txt", OneBadSample(64, 16, std::nan("")), "in.txt: sample not finite (view 1, column 5)."},
        {"- < in.txt", OneBadSample(64, 16, -HUGE_VAL), "sample not finite (view 1, column 5)."},
        // The options: a flag, a file of angles, never both.
        {"-t", "", kUsage},
        {"-a", "", "option -a needs a value (ANGLES)."},
        {{"-a in.txt -t in.txt", "-t -a in.txt in.txt", "-t in.txt extra"}, Zeros(64, 16), kUsage},
        {"-a missing.txt in.txt", Zeros(64, 16), "missing.txt: file not found."},
        {"-a missing.txt in.txt", Zeros(64, 15), "sinogram too small to find the center."},
        // The sinogram read as angles: its header's two numbers, then bytes
        // that are no number.
        {"-a in.txt in.txt", Zeros(64, 16), "in.txt: data read error."},
        // Straight views, constant ones among them: no axis to find.
        {"-t in.txt", Plane(64, 16, 1, 0, 0), "no clear center: the views do not match their opposite ones."},
        {"-t in.txt", Plane(128, 90, 3.5, 0, 0), "no clear center: the views do not match their opposite ones."},
        {"-t in.txt", Plane(100, 40, -2, 0, 0), "no clear center: the views do not match their opposite ones."},
        {"in.txt", Plane(100, 40, -2, 0, 0), "no clear center: the halves of the turn do not match."},
        {"in.txt", Plane(64, 16, 3, 0, 0.5), "no clear center: the halves of the turn do not match."},
        {"in.txt", Plane(128, 90, 0, 1, 0), "no clear center: the halves of the turn do not match."},
        {"in.txt", Plane(128, 90, 1, 0.25, 0.1), "no clear center: the halves of the turn do not match."},
        {"-a /dev/zero in.txt", Zeros(64, 16), "/dev/zero: data read error."},
        {"-t in.txt", Zeros(64, 16), "no clear center: the views do not match their opposite ones."},
        {"-t in.txt", OneBadSample(64, 16, HUGE_VAL), "in.txt: sample not finite (view 1, column 5)."},
    };
    ExpectFailures("sino_center", cases);
}

// Angles all in one direction are no turn at all, however many views.
TEST(SinoCenterCli, ViewsAllInOneDirectionAreNoTurn) {
    for (const char *angle : {"45", "0"}) {
        Scratch scratch;
        std::string angles;
        for (int k = 0; k < 90; ++k) angles += std::string(angle) + "\n";
        scratch.Write("a.txt", angles);
        scratch.Write("in.sg", OneBadSample(64, 90, 1));
        RunResult r = scratch.Run("\"$BIN/sino_center\" -a a.txt in.sg");
        EXPECT_EQ(r.status, 1) << angle;
        EXPECT_EQ(r.err, "angles neither evenly over a half turn nor over a full turn.\n") << angle;
        EXPECT_EQ(r.out, "") << angle;
    }
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

// A scratch folder holding a sinogram and a file of angles (degrees, one
// a line as numpy.savetxt writes them), for runs with options.
struct Scan {
    int n, m;
    std::vector<double> samples;
    std::vector<double> degrees;
};

const double kPi = 3.141592653589793;


Scan MakeScan(int n, double center, const std::vector<double> &degrees, double scale) {
    std::vector<double> radians;
    for (double d : degrees) radians.push_back(d * kPi / 180);
    return Scan{n, static_cast<int>(degrees.size()), DiskProjections(n, center, radians, AsymmetricDisks(scale), 8), degrees};
}

std::vector<double> EvenDegrees(int m, double turn) {
    std::vector<double> degrees;
    for (int k = 0; k < m; ++k) degrees.push_back(k * turn / m);
    return degrees;
}

std::string AnglesText(const std::vector<double> &degrees) {
    std::string text = "# angles in degrees\n";
    char line[64];
    for (double d : degrees) {
        std::snprintf(line, sizeof line, "%.18e\n", d);
        text += line;
    }
    return text;
}

RunResult RunOn(const Scan &scan, const std::string &options, Scratch *scratch) {
    scratch->Write("s.sg", SinogramBytes(scan.n, scan.m, scan.samples.data()));
    scratch->Write("a.txt", AnglesText(scan.degrees));
    return scratch->Run("\"$BIN/sino_center\" " + options + " s.sg");
}

TEST(SinoCenterCli, FullTurnsWithTheAxisAnywhere) {
    // Full turns of 360 views: the axis near the middle and at a quarter of
    // the field, where the half-acquisition phantom (scale 1.8) reaches
    // beyond the near edge; the views' angles given by -t or in a file, in
    // any order.
    struct Row {
        const char *options;
        int n;
        double center, scale;
        bool golden;
    };
    const Row rows[] = {
        {"-t", 256, 128.3, 1, false},
        {"-a a.txt", 256, 128.3, 1, false},
        {"-t", 256, 64.3, 1.8, false},
        {"-a a.txt", 256, 64.3, 1.8, false},
        {"-a a.txt", 256, 64.3, 1.8, true},
        {"-t", 255, 190.55, 1.8, false},
    };
    for (const Row &row : rows) {
        std::vector<double> degrees = EvenDegrees(360, 360);
        if (row.golden) {
            for (int k = 0; k < 360; ++k) degrees[k] = std::fmod(k * 137.50776405003785, 360.0);
        }
        Scratch scratch;
        RunResult r = RunOn(MakeScan(row.n, row.center, degrees, row.scale), row.options, &scratch);
        EXPECT_NEAR(PrintedCenter(r), row.center, 0.05) << row.options << " " << row.center;
    }
}

TEST(SinoCenterCli, TurnsThatAreNotWhatTheOptionsSay) {
    struct Row {
        const char *options;
        Scan scan;
        const char *message;
    };
    // A ring off the axis seen over the half turn: read as a full turn its
    // "opposite" views, a quarter turn apart, do not match at all.
    std::vector<double> ring =
        DiskProjections(128, 63.5, EvenAngles(180, kPi), {{10, -5, 40, 1}, {10, -5, 30, -1}}, 1);
    std::vector<double> uneven = EvenDegrees(180, 180);
    uneven[40] += 0.3;
    const Row rows[] = {
        {"", MakeScan(256, 128.3, EvenDegrees(360, 360), 1),
         "the views cover a full turn (opposite views match): give -t or -a."},
        {"", MakeScan(256, 64.3, EvenDegrees(360, 360), 1.8),
         "the views cover a full turn (opposite views match): give -t or -a."},
        // The small phantom's views match a quarter turn on, mirrored, well
        // enough; but the half-turn reading finds its own axis, and the last
        // view matches the first one mirrored.
        {"-t", MakeScan(128, 60.4, EvenDegrees(90, 180), 0.4),
         "the views cover a half turn (the last one matches the first one mirrored): leave out -t."},
        {"-t", MakeScan(256, 128.3, EvenDegrees(360, 180), 1),
         "no clear center: the views do not match their opposite ones."},
        {"-t", Scan{128, 180, ring, EvenDegrees(180, 180)},
         "no clear center: the views do not match their opposite ones."},
        {"-a a.txt", MakeScan(256, 128.3, uneven, 1), "angles neither evenly over a half turn nor over a full turn."},
        {"-a a.txt", MakeScan(256, 128.3, EvenDegrees(180, 270), 1),
         "angles neither evenly over a half turn nor over a full turn."},
    };
    for (const Row &row : rows) {
        Scratch scratch;
        RunResult r = RunOn(row.scan, row.options, &scratch);
        EXPECT_EQ(r.status, 1) << row.options << " " << row.message;
        EXPECT_EQ(r.err, std::string(row.message) + "\n") << row.options;
        EXPECT_EQ(r.out, "");
    }
    // A count of angles that is not the sinogram's.
    Scratch scratch;
    Scan scan = MakeScan(128, 63.5, EvenDegrees(180, 180), 0.5);
    scratch.Write("s.sg", SinogramBytes(scan.n, scan.m, scan.samples.data()));
    scratch.Write("a.txt", AnglesText(EvenDegrees(179, 180)));
    RunResult r = scratch.Run("\"$BIN/sino_center\" -a a.txt s.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "a.txt: 179 angles for 180 views.\n");
}

TEST(SinoCenterCli, HalfTurnsGivenByTheirAnglesAnswerAsWithout) {
    // disk_sino's half turn, with the angles as they are, backwards (the
    // rows then in the opposite order), shifted, and 0 to 180 inclusive
    // (a last view that is the first one mirrored): the same line.
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_sino\" 128 12 -9 40 -15 180 s.sg").status, 0);
    RunResult plain = scratch.Run("\"$BIN/sino_center\" s.sg");
    EXPECT_NEAR(PrintedCenter(plain), 63.5, 0.02);
    std::string as_written = AnglesText(EvenDegrees(180, 180));
    std::vector<double> shifted = EvenDegrees(180, 180);
    for (double &d : shifted) d += 25;
    scratch.Write("plain.txt", as_written);
    scratch.Write("shifted.txt", AnglesText(shifted));
    EXPECT_EQ(scratch.Run("\"$BIN/sino_center\" -a plain.txt s.sg").out, plain.out);
    EXPECT_EQ(scratch.Run("\"$BIN/sino_center\" -a shifted.txt s.sg").out, plain.out);
    // Backwards: the rows reversed with angles 179 .. 0.
    std::string bytes = scratch.Read("s.sg");
    std::vector<double> samples = SamplesAfterHeader(bytes), reversed(samples.size());
    for (int k = 0; k < 180; ++k) {
        for (int s = 0; s < 128; ++s) reversed[k * 128 + s] = samples[(179 - k) * 128 + s];
    }
    std::vector<double> degrees = EvenDegrees(180, 180);
    std::vector<double> backwards(degrees.rbegin(), degrees.rend());
    scratch.Write("r.sg", SinogramBytes(128, 180, reversed.data()));
    scratch.Write("r.txt", AnglesText(backwards));
    EXPECT_EQ(scratch.Run("\"$BIN/sino_center\" -a r.txt r.sg").out, plain.out);
    // Inclusive: view 180 is view 0 mirrored about 63.5.
    std::vector<double> closed = samples;
    for (int s = 0; s < 128; ++s) closed.push_back(samples[127 - s]);
    degrees.push_back(180);
    scratch.Write("c.sg", SinogramBytes(128, 181, closed.data()));
    scratch.Write("c.txt", AnglesText(degrees));
    EXPECT_EQ(scratch.Run("\"$BIN/sino_center\" -a c.txt c.sg").out, plain.out);
}

TEST(SinoCenterCli, OutliersLeaveTheCenterWhereItIs) {
    // disk_sino 128 0 0 40 -30 180 (axis 63.5) with one sample set to 1e6
    // printed 90.000006; with 1 % zingers of 1e4, 70.216142.
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_sino\" 128 0 0 40 -30 180 s.sg").status, 0);
    std::vector<double> samples = SamplesAfterHeader(scratch.Read("s.sg"));
    std::vector<double> one = samples;
    one[50 * 128 + 90] = 1e6;
    scratch.Write("one.sg", SinogramBytes(128, 180, one.data()));
    EXPECT_NEAR(PrintedCenter(scratch.Run("\"$BIN/sino_center\" one.sg")), 63.5, 0.1);
    std::vector<double> zingers = samples;
    std::mt19937 generator(19);
    std::uniform_real_distribution<double> uniform(0, 1);
    for (double &v : zingers) {
        if (uniform(generator) < 0.01) v = 1e4;
    }
    scratch.Write("z.sg", SinogramBytes(128, 180, zingers.data()));
    EXPECT_NEAR(PrintedCenter(scratch.Run("\"$BIN/sino_center\" z.sg")), 63.5, 0.1);
}

}  // namespace
