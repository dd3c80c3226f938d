// phase_stack's scans through proj_sino -P and stack_recon -P: a ball of
// one material reconstructs to its attenuation once retrieved, with haloes
// without; the sinograms do not depend on the budget nor on the threads;
// every bad value is refused with its line.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "cli/tiff_stack.h"

namespace {

// A ball of radius 20 pixels; delta/beta 1000 at 10 keV, 0.1 m, 5
// micrometre pixels (the pixel's Fresnel number 2, the ball's 6400).
const char kBall[] = "0 0 20 20 0 1\n";
const char kMaterial[] = "5e-8,5e-11,0.1,10,5e-6";
const char kPhase[] = "-P 1000,0.1,10,5e-6";
constexpr int kSide = 64;

// mu per pixel: 4 pi beta / lambda times the pixel.
double Attenuation() { return 4 * 3.14159265358979 * 5e-11 / (12.398419843320026e-10 / 10) * 5e-6; }

TEST(PhaseStackCli, RetrievalTakesTheHaloesAwayAndKeepsTheAttenuation) {
    Scratch scratch;
    scratch.Write("ball.txt", kBall);
    RunResult r = scratch.Run(std::string("\"$BIN/phase_stack\" -f flat.tif ball.txt 64 48 ") + kMaterial +
                              " scan.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    struct Case {
        const char *options;
        double inside_most;  // largest |mu / true - 1| within 16 pixels of the centre
        double edge_least;   // largest |mu / true - 1| anywhere, at least
    } const cases[] = {
        {kPhase, 0.05, 0},
        // The haloes of plain absorption: many times the attenuation.
        {"", 1e300, 3},
    };
    for (const Case &c : cases) {
        r = scratch.Run(std::string("\"$BIN/stack_recon\" -f flat.tif -r 31,1 -c 31.5 ") + c.options +
                        " scan.tif slice_%d.img");
        ASSERT_EQ(r.status, 0) << r.err;
        int columns = 0, rows = 0;
        std::vector<double> image = SinogramSamples(scratch.Read("slice_31.img"), &columns, &rows);
        ASSERT_EQ(image.size(), static_cast<std::size_t>(kSide * kSide));
        double inside = 0, most = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                double error = std::fabs(image[y * kSide + x] / Attenuation() - (std::hypot(x - 31.5, y - 31.5) < 20));
                if (std::hypot(x - 31.5, y - 31.5) < 16) inside = std::fmax(inside, error);
                most = std::fmax(most, error);
            }
        EXPECT_LT(inside, c.inside_most) << c.options;
        EXPECT_GE(most, c.edge_least) << c.options;
    }
}

TEST(PhaseStackCli, SinogramsDoNotDependOnTheBudgetNorOnThreads) {
    Scratch scratch;
    scratch.Write("ball.txt", kBall);
    // delta/beta 10: a margin of 11 rows, tiles of 32.
    RunResult r = scratch.Run(std::string("\"$BIN/phase_stack\" ball.txt 64 6 ") + kMaterial + " scan.tif && "
                              "OMP_NUM_THREADS=1 \"$BIN/proj_sino\" -P 10,0.1,10,5e-6 scan.tif a_%d.sg && "
                              "OMP_NUM_THREADS=2 \"$BIN/proj_sino\" -m 0.6 -P 10,0.1,10,5e-6 scan.tif b_%d.sg && "
                              "OMP_NUM_THREADS=2 \"$BIN/proj_sino\" -r 20,9 -m 0.56 -P 10,0.1,10,5e-6 scan.tif "
                              "c_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int row = 0; row < kSide; ++row) {
        auto name = [row](char run) {
            char text[32];
            std::snprintf(text, sizeof text, "%c_%d.sg", run, row);
            return std::string(text);
        };
        EXPECT_EQ(scratch.Read(name('a')), scratch.Read(name('b'))) << row;
        if (row >= 20 && row < 29) {
            EXPECT_EQ(scratch.Read(name('a')), scratch.Read(name('c'))) << row;
        }
    }
}

const FailureCase kFailures[] = {
    {"in.txt 64 4 5e-8,5e-11,0.1,10 out.txt", kBall, "bad material (DELTA,BETA,DISTANCE,ENERGY,PIXEL)."},
    {"in.txt 64 4 0,5e-11,0.1,10,5e-6 out.txt", kBall, "bad delta."},
    {"in.txt 64 4 5e-8,-1,0.1,10,5e-6 out.txt", kBall, "bad beta."},
    {"in.txt 64 4 5e-8,5e-11,-0.1,10,5e-6 out.txt", kBall, "bad distance."},
    {"in.txt 64 4 5e-8,5e-11,0.1,0,5e-6 out.txt", kBall, "bad energy."},
    {"in.txt 64 4 5e-8,5e-11,0.1,20keV,5e-6 out.txt", kBall, "bad energy: 20keV."},
    {"in.txt 0x40 4 5e-8,5e-11,0.1,10,5e-6 out.txt", kBall, "bad detector number: 0x40."},
    {"in.txt 64 4.0 5e-8,5e-11,0.1,10,5e-6 out.txt", kBall, "bad projection number: 4.0."},
    {"in.txt 64 4 5e-8,5e-11,0.1,10,inf out.txt", kBall, "bad pixel."},
    {"in.txt 0 4 5e-8,5e-11,0.1,10,5e-6 out.txt", kBall, "bad detector number."},
    {"in.txt 64 0 5e-8,5e-11,0.1,10,5e-6 out.txt", kBall, "bad projection number."},
    {"in.txt 64 4 5e-8,5e-11,0.1,10,5e-6 -", kBall, "a stack is written to a file, not to standard output."},
    {"in.txt 64 4 5e-8,5e-11,0.1,10,5e-6 out.txt", "0 0 20\n", "in.txt: line 1: data read error."},
    {"in.txt 64 4 out.txt",
        kBall, "usage : phase_stack [-a ANGLES] [-f FLAT] PHANTOM N M "
                                   "DELTA,BETA,DISTANCE,ENERGY,PIXEL STACK"},
};

TEST(PhaseStackCli, EveryFailureHasItsLine) { ExpectFailures("phase_stack", kFailures); }

// The flat is renamed into place only after the stack: a stack that cannot
// be written leaves the old flat.
TEST(PhaseStackCli, AFailedStackLeavesTheOldFlat) {
    Scratch scratch;
    scratch.Write("ball.txt", kBall);
    scratch.Write("flat.tif", "old");
    RunResult r = scratch.Run(std::string("\"$BIN/phase_stack\" -f flat.tif ball.txt 16 4 ") + kMaterial +
                              " missing/scan.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing/scan.tif: cannot create (No such file or directory).\n");
    EXPECT_EQ(scratch.Read("flat.tif"), "old");
    EXPECT_EQ(scratch.Run("ls -A | grep '^\\.flat' || true").out, "");
}

// -P in the programs that read stacks: each value named, and what it
// cannot go with.
TEST(PhaseStackCli, TheStackReadersRefuseBadPhaseValues) {
    Scratch scratch;
    scratch.Write("ball.txt", kBall);
    ASSERT_EQ(scratch.Run(std::string("\"$BIN/phase_stack\" ball.txt 64 4 ") + kMaterial + " scan.tif").status, 0);
    struct Case {
        const char *options, *message;
    } const cases[] = {
        {"-P 1000,0.1,10", "bad phase retrieval (-P DELTA_BETA,DISTANCE,ENERGY,PIXEL)."},
        {"-P -5,0.1,10,5e-6", "bad delta/beta (-P)."},
        {"-P 1000,0,10,5e-6", "bad distance (-P)."},
        {"-P 1000,0.1,nan,5e-6", "bad energy (-P)."},
        {"-P 1000,0.1,10,0", "bad pixel (-P)."},
        {"-l -P 1000,0.1,10,5e-6", "line integrals take no phase retrieval (-P)."},
        {"-m 0.01 -P 1000,0.1,10,5e-6", "memory budget too small: -m 1 will do."},
    };
    for (const char *program : {"proj_sino", "stack_recon"})
        for (const Case &c : cases) {
            RunResult r = scratch.Run(std::string("\"$BIN/") + program + "\" " + c.options + " scan.tif out_%d.sg");
            EXPECT_EQ(r.status, 1) << program << " " << c.options;
            EXPECT_EQ(r.err, std::string(c.message) + "\n") << program << " " << c.options;
            EXPECT_FALSE(scratch.Exists("out_0.sg")) << program << " " << c.options;
        }
    // Millimetres and micrometres where metres are meant: the run says so
    // at its end.
    RunResult r = scratch.Run("\"$BIN/proj_sino\" -P 10,100,10,5 scan.tif mm_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "warning: -P: unlikely values (distance 100 m, pixel 5 m): DISTANCE and PIXEL are in metres, "
                     "ENERGY in keV.\n");
    EXPECT_EQ(scratch.Run("\"$BIN/proj_sino\" -P 10,0.1,10,5e-6 scan.tif m_%d.sg").err, "");
}

}  // namespace
