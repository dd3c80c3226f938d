// The source table, the grafting geometry and the streamed views against the
// straightforward driver.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "sino_graft/geometry.h"
#include "sino_graft/graft.h"
#include "memory.h"
#include "oracle/graft_oracle.h"
#include "sino_graft/source_table.h"

namespace {

SourceTable TableOf(int n, int m, const std::vector<double> &samples) {
    FILE *in = StreamOf(SinogramBytes(n, m, samples.data()));
    SourceTable table;
    EXPECT_TRUE(LoadSourceTableFrom(in, &table).ok());
    std::fclose(in);
    return table;
}

TEST(SourceTable, LoadsRowsBetweenZeroGuards) {
    SourceTable table = TableOf(3, 2, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(table.columns, 3);
    ASSERT_EQ(table.rows, 2);
    for (int r = 0; r <= 2; ++r) {
        EXPECT_EQ(table.row[r][-1], 0.0);
        EXPECT_EQ(table.row[r][3], 0.0);
    }
    EXPECT_EQ(table.row[1][0], 4.0);
    EXPECT_EQ(table.row[1] - table.row[0], 5);  // N0 + 2 cells apart
    ReleaseSourceTable(table);
}

TEST(SourceTable, ClosingRowMirrorsViewZero) {
    // N0 = 2, c0 = 0.5: the two samples swap.
    SourceTable two = TableOf(2, 1, {3, 7});
    MirrorClosingRow(two, 0.5);
    EXPECT_EQ(two.row[1][0], 7.0);
    EXPECT_EQ(two.row[1][1], 3.0);
    ReleaseSourceTable(two);
    // c0 = (N0 - 1)/2: row 0 reversed exactly.
    std::vector<double> row{0.1, -2.5, 3.75, 1e-3, 8, 6.5};
    SourceTable six = TableOf(6, 1, row);
    MirrorClosingRow(six, 2.5);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(six.row[1][i], row[5 - i]) << i;
    // c0 = 2: x = 4 - i, so column 5 mirrors to -1 (the guard) and the rest
    // shift by one.
    MirrorClosingRow(six, 2.0);
    EXPECT_EQ(six.row[1][0], row[4]);
    EXPECT_EQ(six.row[1][4], row[0]);
    EXPECT_EQ(six.row[1][5], 0.0);
    // c0 = 1.25: x = 2.5 - i, halfway between neighbours.
    MirrorClosingRow(six, 1.25);
    EXPECT_DOUBLE_EQ(six.row[1][0], 0.5 * (row[2] + row[3]));
    EXPECT_DOUBLE_EQ(six.row[1][3], 0.5 * row[0]);  // x = -0.5: against the guard
    EXPECT_EQ(six.row[1][4], 0.0);                  // x = -1.5
    ReleaseSourceTable(six);
}

TEST(SourceTable, SamplesBilinearlyAgainstTheGuards) {
    SourceTable table = TableOf(3, 2, {1, 2, 4, 10, 20, 40});
    MirrorClosingRow(table, 1.0);
    EXPECT_EQ(SampleSource(table, 0, 0.0, 1.0), 2.0);
    EXPECT_EQ(SampleSource(table, 0, 0.0, 1.5), 3.0);
    EXPECT_EQ(SampleSource(table, 0, 0.5, 0.0), 5.5);
    EXPECT_EQ(SampleSource(table, 0, 0.25, 0.5), 0.75 * 1.5 + 0.25 * 15);
    EXPECT_EQ(SampleSource(table, 0, 0.0, -0.5), 0.5);   // guard at -1
    EXPECT_EQ(SampleSource(table, 0, 0.0, 2.75), 1.0);   // guard at N0
    EXPECT_EQ(SampleSource(table, 1, 0.5, 2.0), 20.5);   // row 1 (40) with mirrored row 2 (1)
    ReleaseSourceTable(table);
}

GraftGeometry Geometry(int n0, double c0, int n1, int m1, double c1, double ratio, double ot, double dx, double dy) {
    GraftGeometry g{};
    EXPECT_TRUE(ComputeGeometry(GraftInputs{n0, 90, c0, n1, m1, c1, ratio, ot, dx, dy}, &g).ok());
    return g;
}

TEST(GraftGeometry, WorkedExample) {
    GraftGeometry g = Geometry(50, 24.3, 40, 180, 19.7, 2, 0, 0, 0);
    EXPECT_NEAR(g.px, -30, 1e-12);
    EXPECT_NEAR(g.py, -30, 1e-12);
    EXPECT_NEAR(g.emin, -30, 1e-12);
    EXPECT_NEAR(g.emax, 30 * std::sqrt(2.0), 1e-12);
    EXPECT_EQ(g.pad, 72);
    char c2[32];
    std::snprintf(c2, sizeof c2, "%lf", g.c2);
    EXPECT_STREQ(c2, "91.700000");
    EXPECT_EQ(g.end1, 112);
    EXPECT_EQ(g.width, 173);
}

TEST(GraftGeometry, RowPositionsSplitIntoARowPairAndAFraction) {
    struct Case {
        Real p;
        int m0, row;
        double fy;
    };
    // P exactly M0 (an angle rounded onto 2 pi) samples rows M0 - 1 and the
    // mirrored row M0 at full weight, never a row beyond.
    const Case cases[] = {{0, 4, 0, 0}, {2.25, 4, 2, 0.25}, {3.5, 4, 3, 0.5}, {4, 4, 3, 1}, {1, 1, 0, 1}};
    for (const Case &c : cases) {
        int row = -1;
        double fy = -1;
        SplitRowPosition(c.p, c.m0, &row, &fy);
        EXPECT_EQ(row, c.row) << static_cast<double>(c.p);
        EXPECT_EQ(fy, c.fy) << static_cast<double>(c.p);
    }
}

TEST(GraftGeometry, MatchingGeometryGainsOneColumnEachSide) {
    // ot = 0 is theta0 = 2 pi, whose sine is not exactly 0.
    for (int n : {41, 64, 101}) {
        double c = (n - 1) / 2.0;
        GraftGeometry g = Geometry(n, c, n, 180, c, 1, 0, 0, 0);
        EXPECT_EQ(g.width, n + 2) << n;
        EXPECT_EQ(g.pad, 1) << n;
        EXPECT_EQ(g.c2, c + 1) << n;
    }
}

TEST(GraftGeometry, RejectsWhatHasNoMeaningfulResult) {
    struct Case {
        double ratio, ot, dx, dy;
        const char *message;
    };
    const Case cases[] = {
        {2, NAN, 0, 0, "bad rotation angle."},     {2, -INFINITY, 0, 0, "bad rotation angle."},
        {2, 0, INFINITY, 0, "bad shift."},         {2, 0, 0, NAN, "bad shift."},
        {2, 0, 3e9, 0, "SG2 too large."},          {2, 0, 0, -1e300, "SG2 too large."},
        {1e12, 0, 0, 0, "SG2 too large."},
    };
    for (const Case &c : cases) {
        GraftGeometry g{};
        EXPECT_EQ(ComputeGeometry(GraftInputs{50, 10, 24.3, 40, 180, 19.7, c.ratio, c.ot, c.dx, c.dy}, &g).message,
                  c.message);
    }
}

std::vector<double> RandomSamples(std::mt19937_64 &random, std::size_t count) {
    std::uniform_real_distribution<double> value(-2, 10);
    std::vector<double> samples(count);
    for (double &x : samples) x = random() % 7 == 0 ? 0.0 : value(random);
    return samples;
}

// SG2 from the fast writer, SG1 (when given) complete.
std::string FastGraft(const SourceTable &table, const GraftArguments &a, const std::string *sg1_bytes) {
    GraftGeometry g{};
    GraftInputs in{table.columns, table.rows, a.c0, a.n1, a.m1, a.c1, a.ratio, a.ot, a.dx, a.dy};
    EXPECT_TRUE(ComputeGeometry(in, &g).ok());
    FILE *sg1 = sg1_bytes != nullptr ? StreamOf(*sg1_bytes) : nullptr;
    FILE *out = std::tmpfile();
    std::fprintf(out, "%d\t%d\n", g.width, a.m1);
    SampleSink sink;
    EXPECT_TRUE(AllocateSink(GraftChunk(g), "SG2 memory allocation error.", &sink).ok());
    AttachSink(&sink, out, "SG2 data write error.");
    EXPECT_TRUE(WriteGraftViews(&sink, table, g, sg1).ok());
    ReleaseSink(&sink);
    if (sg1 != nullptr) std::fclose(sg1);
    return ContentsAndClose(out);
}

std::string OracleGraft(const SourceTable &table, const GraftArguments &a, const std::string *sg1_bytes,
                        bool *complete) {
    FILE *sg1 = sg1_bytes != nullptr ? StreamOf(*sg1_bytes) : nullptr;
    FILE *out = std::tmpfile();
    double c2 = 0;
    *complete = GraftOracle(table, a, sg1, out, &c2);
    if (sg1 != nullptr) std::fclose(sg1);
    return ContentsAndClose(out);
}

TEST(GraftViews, MinusNinetyAndTwoSeventyDegreesSampleTheSameValues) {
    std::mt19937_64 random(90);
    SourceTable table = TableOf(30, 12, RandomSamples(random, 30 * 12));
    MirrorClosingRow(table, 14.2);
    GraftArguments minus{14.2, 24, 36, 11.3, 1.3, -90, 1.5, -2};
    GraftArguments plus = minus;
    plus.ot = 270;
    std::string a = FastGraft(table, minus, nullptr), b = FastGraft(table, plus, nullptr);
    int wa = std::atoi(a.c_str()), wb = std::atoi(b.c_str());
    // pad and W may differ by one; columns are matched relative to c2.
    GraftGeometry ga{}, gb{};
    ASSERT_TRUE(ComputeGeometry(GraftInputs{30, 12, 14.2, 24, 36, 11.3, 1.3, -90, 1.5, -2}, &ga).ok());
    ASSERT_TRUE(ComputeGeometry(GraftInputs{30, 12, 14.2, 24, 36, 11.3, 1.3, 270, 1.5, -2}, &gb).ok());
    ASSERT_LE(std::abs(ga.pad - gb.pad), 1);
    int shift = gb.pad - ga.pad;
    std::vector<double> va = SamplesAfterHeader(a), vb = SamplesAfterHeader(b);
    int compared = 0;
    for (int k = 0; k < 36; ++k) {
        for (int i = 0; i < wa; ++i) {
            int j = i + shift;
            if (j < 0 || j >= wb) continue;
            double x = va[k * wa + i], y = vb[k * wb + j];
            EXPECT_NEAR(x, y, 1e-9 * (1 + std::fabs(x))) << k << " " << i;
            compared += x != 0;
        }
    }
    EXPECT_GT(compared, 36 * 20);
    ReleaseSourceTable(table);
}

TEST(GraftViews, EqualTheStraightforwardDriverBitForBit) {
    std::mt19937_64 random(1207);
    std::uniform_real_distribution<double> unit(0, 1);
    const double angles[] = {0, -90, 270, 180, 360, 45, -720.5, 1e6 + 0.3};
    for (int trial = 0; trial < 250; ++trial) {
        int n0 = 2 + static_cast<int>(random() % 60);
        int m0 = 1 + static_cast<int>(random() % 20);
        SourceTable table = TableOf(n0, m0, RandomSamples(random, static_cast<std::size_t>(n0) * m0));
        GraftArguments a{};
        a.c0 = (n0 - 1) * (0.01 + 0.98 * unit(random));
        MirrorClosingRow(table, a.c0);
        a.n1 = 2 + static_cast<int>(random() % 50);
        a.m1 = 1 + static_cast<int>(random() % 40);
        a.c1 = (a.n1 - 1) * (0.01 + 0.98 * unit(random));
        a.ratio = trial % 5 == 0 ? 1.0 : 0.2 + 3 * unit(random);
        a.ot = trial % 3 == 0 ? angles[random() % 8] : 1440 * unit(random) - 720;
        a.dx = trial % 4 == 0 ? 0 : 20 * unit(random) - 10;
        a.dy = trial % 4 == 0 ? 0 : 20 * unit(random) - 10;

        // Without SG1 and with one.
        std::size_t samples = static_cast<std::size_t>(a.n1) * a.m1;
        std::vector<double> sg1_samples = RandomSamples(random, samples);
        std::string sg1(reinterpret_cast<const char *>(sg1_samples.data()), samples * sizeof(double));
        bool complete = false;
        std::string label = "trial " + std::to_string(trial);
        ASSERT_TRUE(FastGraft(table, a, nullptr) == OracleGraft(table, a, nullptr, &complete)) << label;
        ASSERT_TRUE(FastGraft(table, a, &sg1) == OracleGraft(table, a, &sg1, &complete)) << label;
        ASSERT_TRUE(complete);
        ReleaseSourceTable(table);
    }
}

}  // namespace
