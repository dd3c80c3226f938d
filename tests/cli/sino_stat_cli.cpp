// sino_stat run as users run it.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

// a.sg: 3 x 2 holding 1 ... 6; b.sg: the same size, all ones; c.sg: 2 x 3;
// nan.sg: 3 x 2 with no finite sample.
void WriteInputs(const Scratch &scratch) {
    const double a[] = {1, 2, 3, 4, 5, 6};
    const double b[] = {1, 1, 1, 1, 1, 1};
    scratch.Write("a.sg", SinogramBytes(3, 2, a));
    scratch.Write("b.sg", SinogramBytes(3, 2, b));
    scratch.Write("c.sg", SinogramBytes(2, 3, a));
    const double nans[] = {NAN, INFINITY, -INFINITY, NAN, NAN, NAN};
    scratch.Write("nan.sg", SinogramBytes(3, 2, nans));
    const double huge[] = {1.5e308, 1, 1, 1, 1, 1}, minus[] = {-1.5e308, 1, 1, 1, 1, 1};
    scratch.Write("huge.sg", SinogramBytes(3, 2, huge));
    scratch.Write("minus.sg", SinogramBytes(3, 2, minus));
}

TEST(SinoStatCli, EveryFailureHasItsMessageAndExitStatus) {
    const char *usage = "usage : sino_stat A {B {radius}}";
    const double a[] = {1, 2, 3, 4, 5, 6};
    const std::string full = SinogramBytes(3, 2, a);
    const std::string shorter = full.substr(0, full.size() - 1);
    const FailureCase cases[] = {
        {"", "", usage},
        {"in.txt in.txt 1 2", full, usage},
        {{"in.txt in.txt 0", "in.txt in.txt -2", "in.txt in.txt nan"}, full, "bad radius."},
        {"in.txt in.txt word", full, "bad radius: word."},
        {"missing.sg in.txt 0", full, "bad radius."},  // the radius first
        // A named file is named; standard input is A or B.
        {"missing.sg", "", "missing.sg: file not found."},
        {"in.txt", "", "in.txt: bad number of pixels."},
        {"in.txt", "0\t3\n", "in.txt: bad number of pixels."},
        {"in.txt", shorter, "in.txt: data read error."},
        {"in.txt", "20000 20000\n", "in.txt: data read error."},
        {"in.txt missing.sg", full, "missing.sg: file not found."},
        {"in.txt - < /dev/null", full, "B bad number of pixels."},
        {"in.txt - < in.txt", shorter, "in.txt: data read error."},
        {"- in.txt < in.txt", shorter, "A data read error."},
        {"- - < in.txt", full, "B bad number of pixels."},
    };
    ExpectFailures("sino_stat", cases);
}

TEST(SinoStatCli, FilesThatDoNotMatchOrHoldNothing) {
    Scratch scratch;
    WriteInputs(scratch);
    struct Case {
        const char *args;
        const char *err;
    };
    const Case cases[] = {
        {"a.sg c.sg", "size mismatch.\n"},
        {"a.sg short.sg", "short.sg: data read error.\n"},
        {"nan.sg", "no samples.\n"},
        {"a.sg nan.sg", "no samples.\n"},
        {"b.sg b.sg 0.4", "no samples.\n"},  // 3 x 2: center (1, 0.5), nearest centers 0.5 away
        {"huge.sg minus.sg", "result out of range.\n"},  // 1.5e308 - (-1.5e308)
        {"a.sg - >/dev/full < b.sg", "data write error.\n"},
        {"a.sg >&-", "data write error.\n"},
    };
    scratch.Write("short.sg", scratch.Read("b.sg").substr(0, 20));
    for (const Case &c : cases) {
        RunResult r = scratch.Run(std::string("\"$BIN/sino_stat\" ") + c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
    }
}

TEST(SinoStatCli, OneLineOfNameValuePairs) {
    Scratch scratch;
    WriteInputs(scratch);
    RunResult r = scratch.Run("\"$BIN/sino_stat\" a.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "size 3x2 count 6 min 1 max 6 mean 3.5\n");

    // A - B = 0 ... 5: RMS sqrt(55/6) = 3.0276503541 and largest 5.
    r = scratch.Run("\"$BIN/sino_stat\" a.sg b.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "size 3x2 count 6 min 1 max 6 mean 3.5 compared 6 rms 3.02765035 maxabs 5\n");

    // Both on one standard input, A first.
    r = scratch.Run("cat a.sg b.sg | \"$BIN/sino_stat\" - -");
    EXPECT_EQ(r.out, "size 3x2 count 6 min 1 max 6 mean 3.5 compared 6 rms 3.02765035 maxabs 5\n");

    // Center (1, 0.5): radius 0.5 keeps the middle column, samples 2 and 5.
    r = scratch.Run("\"$BIN/sino_stat\" a.sg b.sg 0.5");
    EXPECT_EQ(r.out, "size 3x2 count 2 min 2 max 5 mean 3.5 compared 2 rms 2.91547595 maxabs 4\n");
    r = scratch.Run("\"$BIN/sino_stat\" a.sg a.sg inf");
    EXPECT_EQ(r.out, "size 3x2 count 6 min 1 max 6 mean 3.5 compared 6 rms 0 maxabs 0\n");

    // Not-a-number and infinite samples are left out.
    const double mixed[] = {NAN, 2, INFINITY, 4};
    scratch.Write("mixed.sg", SinogramBytes(2, 2, mixed));
    r = scratch.Run("\"$BIN/sino_stat\" mixed.sg");
    EXPECT_EQ(r.out, "size 2x2 count 2 min 2 max 4 mean 3\n");
}

TEST(SinoStatCli, TheImageOfADiskHasItsArea) {
    // disk_image of radius 5 in 16 x 16: the pixels sum to 25 pi, so the
    // mean is 25 pi / 256.
    Scratch scratch;
    RunResult r = scratch.Run("\"$BIN/disk_image\" 16 0 0 5 - | \"$BIN/sino_stat\" -");
    EXPECT_EQ(r.status, 0);
    char expected[128];
    std::snprintf(expected, sizeof expected, "size 16x16 count 256 min 0 max 1 mean %.9g\n",
                  25 * 3.141592653589793 / 256);
    EXPECT_EQ(r.out, expected);
}

}  // namespace

namespace {

TEST(SinoStatCli, FilesCutAtEveryByte) {
    const double a[] = {1, 2, 3, 4, 5, 6};
    const std::string full = SinogramBytes(3, 2, a);
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        Scratch scratch;
        scratch.Write("full.sg", full);
        scratch.Write("cut.sg", full.substr(0, cut));
        bool header = cut >= 3;  // "3\t2" parses even without its line feed
        bool complete = cut == full.size();
        for (const char *which : {"A", "B"}) {
            std::string args = which[0] == 'A' ? "cut.sg full.sg" : "full.sg cut.sg";
            RunResult r = scratch.Run("\"$BIN/sino_stat\" " + args);
            EXPECT_EQ(r.status, complete ? 0 : 1) << which << " cut " << cut;
            if (complete) continue;
            EXPECT_EQ(r.err, header ? "cut.sg: data read error.\n" : "cut.sg: bad number of pixels.\n")
                << which << " cut " << cut;
            EXPECT_EQ(r.out, "") << which << " cut " << cut;
        }
    }
}

TEST(SinoStatCli, HostileRadii) {
    Scratch scratch;
    const double a[] = {1, 2, 3, 4, 5, 6};
    scratch.Write("a.sg", SinogramBytes(3, 2, a));
    const std::string whole = "size 3x2 count 6 min 1 max 6 mean 3.5 compared 6 rms 0 maxabs 0\n";
    struct Case {
        std::string radius;
        std::string out;
        const char *err;  // with an empty `out`
    };
    const Case cases[] = {
        {"nan", "", "bad radius."},
        {"-inf", "", "bad radius."},
        {"-0", "", "bad radius."},
        {"1e-320", "", "no samples."},  // no pixel center that close
        {"''", "", "bad radius: ."},
        {"0x10", "", "bad radius: 0x10."},
        {"1,5", "", "bad radius: 1,5."},
        {"2px", "", "bad radius: 2px."},
        {"inf", whole, ""},
        {"1e999", whole, ""},
        {std::string(5000, '7'), whole, ""},
    };
    for (const Case &c : cases) {
        RunResult r = scratch.Run("\"$BIN/sino_stat\" a.sg a.sg " + c.radius);
        EXPECT_EQ(r.out, c.out) << c.radius.substr(0, 20);
        if (c.out.empty()) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, std::string(c.err) + "\n") << c.radius;
        }
    }
}

// The toolkit's own volumes are images too: a TIFF page or an HDF5 slice,
// named NAME:K, compared with the same slice written as an image file.
TEST(SinoStatCli, SlicesOfVolumesAreImages) {
    Scratch scratch;
    RunResult r = scratch.Run(
        "for v in 0 1 2 3; do \"$BIN/disk_sino\" 16 0 0 5 4 - | \"$BIN/sino_tiff\" - 32 view_$v.tif || exit 1; done; "
        "for v in vol.tif vol.h5 s_%d.img; do \"$BIN/stack_recon\" -l -c 7.5 view_*.tif $v 2>/dev/null || exit 1; done");
    ASSERT_EQ(r.status, 0) << r.err;
    struct Case {
        const char *args;
        const char *out;  // the words after "size 16x16 ": nullptr for a failure
        const char *err;
    };
    const Case cases[] = {
        {"vol.tif:1 vol.h5:1", "compared 256 rms 0 maxabs 0\n", ""},
        {"vol.h5:3 s_3.img", "compared 256 rms ", ""},  // floats against doubles
        {"vol.tif", nullptr, "vol.tif: 4 images: name one as vol.tif:K (0 to 3).\n"},
        {"vol.h5:4", nullptr, "vol.h5: no image 4 (0 to 3).\n"},
        {"vol.h5:x", nullptr, "vol.h5:x: file not found.\n"},
        {"view_2.tif s_1.img", nullptr, "size mismatch.\n"},
    };
    for (const Case &c : cases) {
        r = scratch.Run(std::string("\"$BIN/sino_stat\" ") + c.args);
        EXPECT_EQ(r.err, c.err) << c.args;
        if (c.out == nullptr) {
            EXPECT_EQ(r.status, 1) << c.args;
            continue;
        }
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args << ": " << r.out;
    }
    // Floats against the doubles they came from: within a float's rounding.
    r = scratch.Run("\"$BIN/sino_stat\" vol.h5:3 s_3.img");
    double maxabs = std::stod(r.out.substr(r.out.find("maxabs ") + 7));
    EXPECT_LT(maxabs, 1e-7);
    EXPECT_EQ(scratch.Run("\"$BIN/sino_view\" vol.tif:2 slice.png").status, 0);
    EXPECT_TRUE(scratch.Exists("slice.png"));
    // sino_tiff takes a page as it takes a one-page TIFF: to an image file.
    r = scratch.Run("\"$BIN/sino_tiff\" vol.tif:2 p2.img && \"$BIN/sino_tiff\" vol.h5:2 h2.img && "
                    "\"$BIN/sino_stat\" p2.img vol.tif:2 && \"$BIN/sino_stat\" h2.img p2.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("compared 256 rms 0 maxabs 0\nsize"), std::string::npos) << r.out;
    EXPECT_EQ(scratch.Run("\"$BIN/sino_tiff\" vol.h5:4 x.img").err, "vol.h5: no image 4 (0 to 3).\n");
}

}  // namespace
