// sino_scale run as users run it, and the grafts the guide
// (doc/guide/roi.md) and the manual pages show, with the values scaled and the axes aligned.
#include <cmath>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const double kIn[] = {1, 2, 3, 4, -0.5, 8};

TEST(SinoScaleCli, EveryFailureHasItsMessageAndExitStatus) {
    const char *usage = "usage : sino_scale SG factor {offset} SG2";
    const std::string full = SinogramBytes(3, 2, kIn);
    const FailureCase cases[] = {
        {"", "", usage},
        {{"in.txt 2", "in.txt 2 0 1 out.txt"}, full, usage},
        {{"in.txt nan out.txt", "in.txt inf out.txt", "in.txt 1e999 1 out.txt"}, full, "bad scale factor."},
        {{"in.txt 2 -inf out.txt", "in.txt 2 nan out.txt"}, full, "bad offset."},
        {"missing.sg 2 out.txt", full, "missing.sg: file not found."},
        {"in.txt 2 out.txt", "", "in.txt: bad number of pixels."},
        {"in.txt 2 out.txt", "3 0\n", "in.txt: bad number of pixels."},
        {"in.txt 2 out.txt", "3 -2\n", "in.txt: bad number of pixels."},
        {"in.txt 2 out.txt", full.substr(0, full.size() - 1), "in.txt: data read error."},
        {"in.txt 2 out.txt", "20000 20000\n", "in.txt: data read error."},
        // A file of another kind is never replaced: a mistyped name.
        {"in.txt 2 " TIFF_FILE("s.tif"), full, "s.tif: exists and is not a sinogram; give the sinogram a new name."},
    };
    ExpectFailures("sino_scale", cases);
}

TEST(SinoScaleCli, ReplacesItsInputOnlyWhenComplete) {
    // A named output goes to a new file renamed at the end, so it may be
    // the input itself; standard output appended to the input would
    // overwrite it as it is read, and is refused.
    const std::string full = SinogramBytes(3, 2, kIn);
    const double doubled[] = {2, 4, 6, 8, -1, 16};
    for (const char *command : {"in.sg 2 in.sg", "- 2 in.sg < in.sg"}) {
        Scratch scratch;
        scratch.Write("in.sg", full);
        RunResult r = scratch.Run(std::string("\"$BIN/sino_scale\" ") + command);
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(scratch.Read("in.sg"), SinogramBytes(3, 2, doubled)) << command;
    }
    for (const char *command : {"in.sg 2 - >> in.sg", "- 2 - < in.sg >> in.sg"}) {
        Scratch scratch;
        scratch.Write("in.sg", full);
        RunResult r = scratch.Run(std::string("\"$BIN/sino_scale\" ") + command);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err, "file not open.\n") << command;
        EXPECT_EQ(scratch.Read("in.sg"), full) << command;
    }
}

TEST(SinoScaleCli, ScalesEverySample) {
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(3, 2, kIn));
    RunResult r = scratch.Run("\"$BIN/sino_scale\" in.sg 2 out.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    const double doubled[] = {2, 4, 6, 8, -1, 16};
    EXPECT_EQ(scratch.Read("out.sg"), SinogramBytes(3, 2, doubled));

    // With an offset, from standard input to standard output.
    r = scratch.Run("\"$BIN/sino_scale\" - -0.5 0.25 - < in.sg");
    EXPECT_EQ(r.status, 0);
    const double shifted[] = {-0.25, -0.75, -1.25, -1.75, 0.5, -3.75};
    EXPECT_EQ(r.out, SinogramBytes(3, 2, shifted));

    // A header with a blank and words after the counts is written back plain.
    scratch.Write("loose.sg", "3 2 words\n" + AfterHeader(SinogramBytes(3, 2, kIn)));
    r = scratch.Run("\"$BIN/sino_scale\" loose.sg 1 -");
    EXPECT_EQ(r.out, SinogramBytes(3, 2, kIn));
}

TEST(SinoScaleCli, AShortInputLeavesEveryCompleteSample) {
    // Four samples and half of a fifth: standard output holds the header
    // and the four, scaled; a named output is left as it was.
    Scratch scratch;
    std::string full = SinogramBytes(3, 2, kIn);
    scratch.Write("in.sg", full.substr(0, 4 + 8 * 4 + 4));
    RunResult r = scratch.Run("\"$BIN/sino_scale\" in.sg 2 1 - > piped.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "in.sg: data read error.\n");
    const double scaled[] = {3, 5, 7, 9};
    EXPECT_EQ(scratch.Read("piped.sg"), "3\t2\n" + DoublesBytes(scaled, 4));
    scratch.Write("out.sg", "old");
    r = scratch.Run("\"$BIN/sino_scale\" in.sg 2 1 out.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(scratch.Read("out.sg"), "old");
}

TEST(SinoScaleCli, AForgottenOutputNameIsTheOffset) {
    // The documented hazard: "0.5" is taken as the output name.
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(3, 2, kIn));
    RunResult r = scratch.Run("\"$BIN/sino_scale\" in.sg 2 0.5");
    EXPECT_EQ(r.status, 0);
    const double doubled[] = {2, 4, 6, 8, -1, 16};
    EXPECT_EQ(scratch.Read("0.5"), SinogramBytes(3, 2, doubled));
}

}  // namespace

namespace {

TEST(DocumentedGrafts, TheGuidesWorkedExample) {
    // The recipe as the region-of-interest guide gives it.
    std::string recipe = DocRecipe("doc/guide/roi.md", "## Grafting step by step");
    ASSERT_NE(recipe.find("sino_graft"), std::string::npos) << recipe;
    Scratch scratch;
    RunResult r = scratch.Run("export PATH=\"$BIN:$PATH\"; set -e\n" + recipe);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "63.500000\n");
    EXPECT_EQ(scratch.Read("ring.sg").substr(0, 7), "128\t180");
    // Against the whole fine sinogram: close once scaled, far off without.
    r = scratch.Run("export PATH=\"$BIN:$PATH\"; disk_sino 128 8 0 40 -30 180 full.sg && sino_stat ring.sg full.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_LT(StatValue(r.out, "rms"), 1.0) << r.out;
    r = scratch.Run("export PATH=\"$BIN:$PATH\"; sino_graft coarse.sg 31.5 fine.sg 19.5 2 0 44 44 - 2>/dev/null | "
                    "sino_stat - full.sg");
    EXPECT_GT(StatValue(r.out, "rms"), 9.0) << r.out;
}

TEST(DocumentedGrafts, TheManualPagesTurnedScan) {
    // sino_graft(1): a coarse scan of the object turned 30 degrees
    // anticlockwise ((10, 5) turned to (6.16..., 9.33...)), brought back with
    // ot = 30 and its shift, equals the unturned scan grafted with ot = 0.
    Scratch scratch;
    RunResult r = scratch.Run(
        "export PATH=\"$BIN:$PATH\"; "
        "disk_sino 128 10 5 50 -40 20 90 - | sino_scale - 2 coarse2.sg && "
        "disk_sino 128 6.1602540378443873 9.3301270189221928 50 -40 20 90 - | sino_scale - 2 turned2.sg && "
        "sino_graft coarse2.sg 63.5 101 180 50 2 0 77.5 77.5 straight.sg && "
        "sino_graft turned2.sg 63.5 101 180 50 2 30 -3.3317610174840553 124.16823898251593 back.sg && "
        "sino_stat back.sg straight.sg");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_LT(StatValue(r.out, "maxabs"), 1e-9) << r.out;
    EXPECT_GT(StatValue(r.out, "max"), 50.0) << r.out;
}

TEST(DocumentedGrafts, OtTurnsClockwiseWithYUp) {
    // A disk at (10, 0) in SG0, grafted with ot = 90 and the aligning shift
    // dx = -h0 - h1 = -63, dy = h0 - h1 = 0: it lands at (0, -10).
    Scratch scratch;
    RunResult r = scratch.Run(
        "export PATH=\"$BIN:$PATH\"; disk_sino 64 10 0 3 180 sg0.sg && "
        "sino_graft sg0.sg 31.5 64 180 31.5 1 90 -63 0 sg2.sg && "
        "disk_sino 66 0 -10 3 180 down.sg && disk_sino 66 0 10 3 180 up.sg");
    EXPECT_EQ(r.err, "32.500000\n");  // the axis of 66 detectors
    r = scratch.Run("\"$BIN/sino_stat\" sg2.sg down.sg");
    EXPECT_LT(StatValue(r.out, "maxabs"), 1e-10) << r.out;
    r = scratch.Run("\"$BIN/sino_stat\" sg2.sg up.sg");
    EXPECT_GT(StatValue(r.out, "maxabs"), 1.0) << r.out;
}

}  // namespace

namespace {

TEST(SinoScaleCli, InputsCutAtEveryByte) {
    const std::string full = SinogramBytes(3, 2, kIn);
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        Scratch scratch;
        scratch.Write("cut.sg", full.substr(0, cut));
        RunResult r = scratch.Run("\"$BIN/sino_scale\" cut.sg 2 - > out.sg");
        if (cut == full.size()) {
            EXPECT_EQ(r.status, 0);
            continue;
        }
        EXPECT_EQ(r.status, 1) << cut;
        if (cut < 3) {  // "3\t2" parses even without its line feed
            EXPECT_EQ(r.err, "cut.sg: bad number of pixels.\n") << cut;
            EXPECT_EQ(scratch.Read("out.sg"), "") << cut;
            continue;
        }
        EXPECT_EQ(r.err, "cut.sg: data read error.\n") << cut;
        std::size_t samples = cut < 4 ? 0 : (cut - 4) / 8;
        double doubled[6];
        for (std::size_t i = 0; i < samples; ++i) doubled[i] = 2 * kIn[i];
        EXPECT_EQ(scratch.Read("out.sg"), "3\t2\n" + DoublesBytes(doubled, static_cast<long>(samples))) << cut;
    }
}

TEST(SinoScaleCli, HostileNumbers) {
    struct Case {
        std::string args;
        std::string err;  // empty: success
    };
    const std::string longer(5000, '9');
    const Case cases[] = {
        {"nan", "bad scale factor.\n"},     {"-inf", "bad scale factor.\n"}, {"1e999", "bad scale factor.\n"},
        {longer, "bad scale factor.\n"},    {"2 inf", "bad offset.\n"},      {"2 " + longer, "bad offset.\n"},
        {"0x10", "bad scale factor: 0x10.\n"}, {"''", "bad scale factor: .\n"}, {"2 ''", "bad offset: .\n"},
        {"1,5", "bad scale factor: 1,5.\n"},   {"2 1.5e", "bad offset: 1.5e.\n"},   {"1e-320 -1e308", ""},
    };
    for (const Case &c : cases) {
        Scratch scratch;
        scratch.Write("in.sg", SinogramBytes(3, 2, kIn));
        RunResult r = scratch.Run("\"$BIN/sino_scale\" in.sg " + c.args + " out.sg");
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 1) << c.args.substr(0, 20);
        EXPECT_EQ(r.err, c.err) << c.args.substr(0, 20);
        EXPECT_EQ(scratch.Exists("out.sg"), c.err.empty()) << c.args.substr(0, 20);
        if (c.err.empty()) {
            EXPECT_EQ(scratch.Read("out.sg").size(), 4u + 8 * 6);
        }
    }
}

}  // namespace
