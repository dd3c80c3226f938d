// stack_recon's parts on their own: the rows the axis is found on, the
// median and the line through the centers, the progress line, the
// volume's kind from its name and the rows a join leaves out.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hdf5.h>
#include <tiffio.h>
#include <unistd.h>

#include "cli/run.h"
#include "stack_recon/centers.h"
#include "stack_recon/join.h"
#include "stack_recon/progress.h"
#include "stack_recon/volume.h"

namespace {


TEST(StackReconCenters, RowsAreTheMiddlesOfEqualParts) {
    const struct {
        int first, count;
        std::vector<int> rows;
    } cases[] = {
        {0, 8, {0, 2, 4, 5, 7}},            // 8 rows in five parts of 1.6
        {0, 3, {0, 1, 2}},                  // fewer rows than parts: each one
        {10, 1, {10}},
        {5, 100, {15, 35, 55, 75, 95}},     // parts of 20, middles at 10, 30 ...
        {0, 2147483647, {214748364, 644245094, 1073741823, 1503238552, 1932735282}},  // no overflow
    };
    for (const auto &c : cases) EXPECT_EQ(CenterRows(c.first, c.count), c.rows) << c.first << "," << c.count;
}

TEST(StackReconCenters, MedianAndLine) {
    EXPECT_EQ(Median({3, 1, 2}), 2);
    EXPECT_EQ(Median({4, 1, 3, 2}), 2.5);
    EXPECT_EQ(Median({7}), 7);
    // An outlier moves the median not at all.
    EXPECT_EQ(Median({130.9, 130.8, 250, 131.0, 130.9}), 130.9);
    double a = 0, b = 0;
    // Points on 100 + 0.25 row: the line itself.
    FitLine({0, 4, 8, 12}, {100, 101, 102, 103}, &a, &b);
    EXPECT_DOUBLE_EQ(a, 100);
    EXPECT_DOUBLE_EQ(b, 0.25);
    // Symmetric scatter about 50 + 0.5 row: residuals +1, -1, -1, +1 cancel.
    FitLine({0, 2, 4, 6}, {51, 50, 51, 54}, &a, &b);
    EXPECT_DOUBLE_EQ(b, 0.5);
    EXPECT_DOUBLE_EQ(a, 50.0);
    FitLine({3}, {42}, &a, &b);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(a, 42);
}

// Rows of the stack in no part: before the first part, after the last
// when the stack's rows are known (-1: a part without a record), both.
TEST(StackReconJoin, RowsInNoPartAreNamed) {
    const struct {
        long long first, end, stack;
        const char *line;
    } cases[] = {
        {0, 10, 10, ""},
        {0, 10, -1, ""},
        {0, 8, 10, "warning: rows 8 to 9 of the stack are in no part; the volume holds rows 0 to 7."},
        {0, 9, 10, "warning: row 9 of the stack is in no part; the volume holds rows 0 to 8."},
        {1, 10, 10, "warning: row 0 of the stack is in no part; the volume holds rows 1 to 9."},
        {4, 8, 10, "warning: rows 0 to 3 and 8 to 9 of the stack are in no part; the volume holds rows 4 to 7."},
        {1, 9, 10, "warning: rows 0 and 9 of the stack are in no part; the volume holds rows 1 to 8."},
        {4, 8, -1, "warning: rows 0 to 3 of the stack are in no part; the volume holds rows 4 to 7."},
        {5, 6, 6, "warning: rows 0 to 4 of the stack are in no part; the volume holds row 5."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MissingRowsWarning(c.first, c.end, c.stack), c.line) << c.first << " " << c.end << " " << c.stack;
}

TEST(StackReconProgress, LineAndClock) {
    EXPECT_EQ(ProgressText(3, 8, 12), "3 of 8 rows, 0:12 elapsed, 0:20 left");
    EXPECT_EQ(ProgressText(0, 8, 0.4), "0 of 8 rows, 0:00 elapsed, ? left");
    EXPECT_EQ(ProgressText(512, 512, 3725), "512 of 512 rows, 1:02:05 elapsed, 0:00 left");
    EXPECT_EQ(Clock(59.6), "1:00");
    EXPECT_EQ(Clock(-3), "0:00");
}

TEST(StackReconVolume, KindFromTheName) {
    const struct {
        const char *name;
        VolumeKind kind;
    } cases[] = {
        {"vol.tif", VolumeKind::kTiff},       {"a/b.tiff", VolumeKind::kTiff},
        {"vol.h5", VolumeKind::kHdf5},        {"s_%04d.img", VolumeKind::kPattern},
        {"s_%d.tif", VolumeKind::kPattern},   {"100%%_%d.img", VolumeKind::kPattern},
        {"vol%s.tif", VolumeKind::kBad},      {"s_%d_%d.img", VolumeKind::kBad},
        {"vol.sg", VolumeKind::kBad},         {".tif", VolumeKind::kBad},
        {"-", VolumeKind::kBad},              {"-vol.tif", VolumeKind::kBad},
        {"", VolumeKind::kBad},               {"vol.h5.bak", VolumeKind::kBad},
    };
    for (const auto &c : cases) {
        NamePattern pattern;
        EXPECT_EQ(KindOfVolume(c.name, &pattern), c.kind) << c.name;
    }
}

}  // namespace
