// sino_graft run as users run it: every message, what SG2 holds afterwards,
// and both inputs from one standard input.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "oracle/graft_oracle.h"
#include "sino_graft/source_table.h"

namespace {

const char *kUsage = "usage : sino_graft SG0 c0 SG1|(N1 M1) c1 dr0/dr1 ot dx dy SG2";

// SG0 "in.txt" (5 x 4) and SG1 "sg1.sg" (4 x 6) in a scratch folder.
void WriteInputs(const Scratch &scratch) {
    scratch.Write("sg1.sg", SinogramBytes(4, 6, Ramp(24, 0.5, 17, -3).data()));
}

struct GraftFailure {
    const char *args;
    std::string sg0;
    std::string err;  // the whole standard error
    bool output_exists;
};

TEST(SinoGraftCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string sg0 = SinogramBytes(5, 4, Ramp(20, 1, 17, -3).data());
    const std::string c2 = "3.500000\n";  // the center reported for "2 sg1.sg 1.5 1 0 0 0"
    std::vector<double> signs(20);
    for (int k = 0; k < 20; ++k) signs[k] = (k % 5 + k / 5) % 2 == 0 ? 1.6e308 : -1.6e308;
    const std::string checkerboard = SinogramBytes(5, 4, signs.data());
    const GraftFailure cases[] = {
        {"", sg0, std::string(kUsage) + "\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 out.txt", sg0, std::string(kUsage) + "\n", false},
        {"in.txt 2 4 6 1.5 1 0 0 0 out.txt x", sg0, std::string(kUsage) + "\n", false},
        {"missing.sg 2 sg1.sg 1.5 1 0 0 0 out.txt", sg0, "SG0 file not found.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", "", "SG0 bad number of pixels.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", "0\t4\n", "SG0 bad number of pixels.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", "5 -4\n", "SG0 bad number of pixels.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", "5\n4\n", "SG0 bad number of pixels.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", "2147483648 1\n", "SG0 bad number of pixels.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", "5 4" + std::string(1100, ' ') + "\n",
         "SG0 bad number of pixels.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", "2147483647 2147483647\n", "SG0 memory allocation error.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt", sg0.substr(0, sg0.size() - 1), "SG0 data read error.\n", false},
        {"in.txt 0 sg1.sg 1.5 1 0 0 0 out.txt", sg0, "SG0 bad position of rotation center.\n", false},
        {"in.txt 4 sg1.sg 1.5 1 0 0 0 out.txt", sg0, "SG0 bad position of rotation center.\n", false},
        {"in.txt nan sg1.sg 1.5 1 0 0 0 out.txt", sg0, "SG0 bad position of rotation center.\n", false},
        {"in.txt center sg1.sg 1.5 1 0 0 0 out.txt", sg0, "SG0 bad position of rotation center.\n", false},
        {"in.txt 2 missing.sg 1.5 1 0 0 0 out.txt", sg0, "SG1 file not found.\n", false},
        {"in.txt 2 in.txt 1.5 1 0 0 0 out.txt", "5 x\n", "SG0 bad number of pixels.\n", false},
        {"in.txt 2 0 6 1.5 1 0 0 0 out.txt", sg0, "SG1 bad number of pixels.\n", false},
        {"in.txt 2 4 -6 1.5 1 0 0 0 out.txt", sg0, "SG1 bad number of pixels.\n", false},
        {"in.txt 2 sg1.sg 0 1 0 0 0 out.txt", sg0, "SG1 bad position of rotation center.\n", false},
        {"in.txt 2 sg1.sg 3 1 0 0 0 out.txt", sg0, "SG1 bad position of rotation center.\n", false},
        {"in.txt 2 4 6 -nan 1 0 0 0 out.txt", sg0, "SG1 bad position of rotation center.\n", false},
        {"in.txt 2 sg1.sg 1.5 0 0 0 0 out.txt", sg0, "bad ratio of pixel size.\n", false},
        {"in.txt 2 sg1.sg 1.5 -2 0 0 0 out.txt", sg0, "bad ratio of pixel size.\n", false},
        {"in.txt 2 sg1.sg 1.5 nan 0 0 0 out.txt", sg0, "bad ratio of pixel size.\n", false},
        {"in.txt 2 sg1.sg 1.5 inf 0 0 0 out.txt", sg0, "bad ratio of pixel size.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 nan 0 0 out.txt", sg0, "bad rotation angle.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 1e999 0 0 out.txt", sg0, "bad rotation angle.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 -inf 0 out.txt", sg0, "bad shift.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 nan out.txt", sg0, "bad shift.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 1e10 0 out.txt", sg0, "SG2 too large.\n", false},
        {"in.txt 2 sg1.sg 1.5 1e300 0 0 0 out.txt", sg0, "SG2 too large.\n", false},
        // Finite samples of alternate signs near the largest double: a
        // bilinear step between them leaves the range.
        {"in.txt 2 4 6 1.5 1 10 0.3 0.3 out.txt", checkerboard, "3.500000\nresult out of range.\n", false},
        // pad = ceil(2 + 197.5 - 1.5): the corner (197.5, 197.5) is widest at view 0.
        {"in.txt 2 400 5000 1.5 1 0 0 0 /dev/full", sg0, "199.500000\nSG2 data write error.\n", false},
        // Standard output opened on SG1 itself, read and write: writing SG2
        // there would overwrite SG1 while it is read.
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 - 1<>sg1.sg", sg0, c2 + "SG2 file not stored.\n", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 - >>sg1.sg", sg0, c2 + "SG2 file not stored.\n", false},
        // The center is a result: when it cannot be written, the run fails
        // before SG2 exists, with nowhere to say why.
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt 2>/dev/full", sg0, "", false},
        {"in.txt 2 sg1.sg 1.5 1 0 0 0 out.txt 2>&-", sg0, "", false},
        {"in.txt 2 4 6 1.5 1 0 0 0 out.txt 2>&-", sg0, "", false},
    };
    for (const GraftFailure &c : cases) {
        Scratch scratch;
        WriteInputs(scratch);
        scratch.Write("in.txt", c.sg0);
        RunResult r = scratch.Run(std::string("\"$BIN/sino_graft\" ") + c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(scratch.Exists("out.txt"), c.output_exists) << c.args;
    }
}

// What the straightforward driver writes for SG0 bytes and arguments.
std::string Expected(const std::string &sg0, const GraftArguments &a, const std::string *sg1_samples,
                     bool *complete) {
    FILE *in = StreamOf(sg0);
    SourceTable table;
    EXPECT_TRUE(LoadSourceTableFrom(in, &table).ok());
    std::fclose(in);
    MirrorClosingRow(table, a.c0);
    FILE *sg1 = nullptr;
    if (sg1_samples != nullptr) sg1 = StreamOf(*sg1_samples);
    FILE *out = std::tmpfile();
    double c2;
    *complete = GraftOracle(table, a, sg1, out, &c2);
    if (sg1 != nullptr) std::fclose(sg1);
    ReleaseSourceTable(table);
    return ContentsAndClose(out);
}

TEST(SinoGraftCli, WorkedGeometryReportsTheCenterAndKeepsSg1) {
    Scratch scratch;
    std::vector<double> sg0 = Ramp(50 * 30, 0.25, 17, -3);
    std::vector<double> sg1 = Ramp(40 * 180, 2, 17, -3);
    scratch.Write("sg0.sg", SinogramBytes(50, 30, sg0.data()));
    // Text after the two integers of a header is ignored.
    std::string sg1_bytes = SinogramBytes(40, 180, sg1.data());
    scratch.Write("sg1.sg", "40 180 detectors by views" + sg1_bytes.substr(6));
    RunResult r = scratch.Run("\"$BIN/sino_graft\" sg0.sg 24.3 sg1.sg 19.7 2 0 0 0 out.sg");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "91.700000\n");
    EXPECT_EQ(r.out, "");
    std::string out = scratch.Read("out.sg");
    ASSERT_EQ(out.size(), std::string("173\t180\n").size() + 8u * 173 * 180);
    EXPECT_EQ(out.substr(0, 8), "173\t180\n");
    std::string body = AfterHeader(out), ours = AfterHeader(sg1_bytes);
    for (int k = 0; k < 180; ++k) {
        ASSERT_EQ(body.substr(8 * (173 * k + 72), 8 * 40), ours.substr(8 * 40 * k, 8 * 40)) << k;
    }
    bool complete = false;
    std::string sg1_samples = AfterHeader(sg1_bytes);
    EXPECT_TRUE(out == Expected(SinogramBytes(50, 30, sg0.data()), {24.3, 40, 180, 19.7, 2, 0, 0, 0},
                                &sg1_samples, &complete));

    // Both inputs from one standard input, SG0 first; the same result.
    r = scratch.Run("cat sg0.sg sg1.sg | \"$BIN/sino_graft\" - 24.3 -sg1 19.7 2 0 0 0 -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "91.700000\n");
    EXPECT_TRUE(r.out == out);

    // With dimensions only, nothing more is read from standard input after
    // SG0, and every column is sampled.
    r = scratch.Run("cat sg0.sg sg1.sg | \"$BIN/sino_graft\" - 24.3 40 180 19.7 2 0 0 0 -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "91.700000\n");
    EXPECT_TRUE(r.out == Expected(SinogramBytes(50, 30, sg0.data()), {24.3, 40, 180, 19.7, 2, 0, 0, 0}, nullptr,
                                  &complete));
}

TEST(SinoGraftCli, ShortSg1LeavesOnlyTheViewsStandardOutputTook) {
    std::vector<double> sg0 = Ramp(20 * 12, 0.5, 17, -3);
    std::vector<double> sg1 = Ramp(16 * 30, 1.5, 17, -3);
    std::string sg0_bytes = SinogramBytes(20, 12, sg0.data());
    std::string full = AfterHeader(SinogramBytes(16, 30, sg1.data()));
    // Cut inside view 0, at a view boundary, mid-view, and inside a sample.
    for (std::size_t cut : {std::size_t{0}, std::size_t{8 * 5}, std::size_t{8 * 16 * 7}, std::size_t{8 * 200 + 3}}) {
        Scratch scratch;
        std::string kept = full.substr(0, cut);
        scratch.Write("sg0.sg", sg0_bytes);
        scratch.Write("sg1.sg", "16\t30\n" + kept);
        // Through standard output: every view before the missing sample.
        RunResult r = scratch.Run("\"$BIN/sino_graft\" sg0.sg 9.5 sg1.sg 7.5 1.25 30 1 -2 - > piped.sg");
        EXPECT_EQ(r.status, 1) << cut;
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "SG1 data read error.\n") << cut;
        bool complete = true;
        std::string expected = Expected(sg0_bytes, {9.5, 16, 30, 7.5, 1.25, 30, 1, -2}, &kept, &complete);
        EXPECT_FALSE(complete);
        EXPECT_TRUE(scratch.Read("piped.sg") == expected) << cut;
        // A named SG2 is not replaced by a partial one: the old file stays.
        scratch.Write("out.sg", "old");
        r = scratch.Run("\"$BIN/sino_graft\" sg0.sg 9.5 sg1.sg 7.5 1.25 30 1 -2 out.sg");
        EXPECT_EQ(r.status, 1) << cut;
        EXPECT_EQ(scratch.Read("out.sg"), "old") << cut;
    }
}

TEST(SinoGraftCli, BadSg1HeadersAreRejectedBeforeSg2Exists) {
    std::vector<double> sg0 = Ramp(5 * 4, 1, 17, -3);
    for (std::string header : {std::string(""), std::string("4\n"), std::string("x 6\n"), std::string("0 6\n"),
                               std::string("4 -6\n"), "4 6" + std::string(1021, ' ') + "\n"}) {
        Scratch scratch;
        scratch.Write("sg0.sg", SinogramBytes(5, 4, sg0.data()));
        scratch.Write("sg1.sg", header + std::string(8 * 24, '\0'));
        RunResult r = scratch.Run("\"$BIN/sino_graft\" sg0.sg 2 sg1.sg 1.5 1 0 0 0 out.sg");
        EXPECT_EQ(r.status, 1) << header;
        EXPECT_EQ(r.err, "SG1 bad number of pixels.\n") << header;
        EXPECT_FALSE(scratch.Exists("out.sg")) << header;
    }
}

TEST(SinoGraftCli, Sg2MayReplaceSg1ByName) {
    // A named SG2 is written to a new file and renamed once complete, so it
    // may be SG1 itself, by its name, a link or standard input (standard
    // output opened on SG1 is refused: see the failure table).
    std::vector<double> sg0 = Ramp(5 * 4, 1, 17, -3);
    for (const char *command : {"\"$BIN/sino_graft\" sg0.sg 2 sg1.sg 1.5 1 0 0 0 sg1.sg",
                                "\"$BIN/sino_graft\" sg0.sg 2 ./sg1.sg 1.5 1 0 0 0 link.sg",
                                "\"$BIN/sino_graft\" sg0.sg 2 - 1.5 1 0 0 0 sg1.sg < sg1.sg"}) {
        Scratch scratch;
        scratch.Write("sg0.sg", SinogramBytes(5, 4, sg0.data()));
        WriteInputs(scratch);
        RunResult expected = scratch.Run("\"$BIN/sino_graft\" sg0.sg 2 sg1.sg 1.5 1 0 0 0 -");
        RunResult r = scratch.Run(std::string("ln -s sg1.sg link.sg && ") + command);
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.err, "3.500000\n") << command;
        EXPECT_TRUE(scratch.Read("sg1.sg") == expected.out) << command;
    }
}

}  // namespace
