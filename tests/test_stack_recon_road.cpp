// stack_recon's own pieces of its cleaning and iterative steps: the
// memory the plan counts for a solver against what the solver takes, the
// option words, and the progress line's steps.
#include <string>

#include <gtest/gtest.h>

#include "stack_recon/methods.h"
#include "stack_recon/progress.h"
#include "stack_recon/rings_band.h"

namespace {

// The plan must hold what AllocateSolverWork takes: its block and the
// projector's scratch (the filter and the subsets' tables are small
// vectors beside them).
TEST(StackReconRoad, SolverBytesHoldWhatTheSolverTakes) {
    const struct {
        SliceMethod method;
        int subsets, size, views, columns;
    } cases[] = {
        {SliceMethod::kSirt, 1, 64, 90, 64},  {SliceMethod::kSirt, 12, 48, 90, 64},
        {SliceMethod::kSirt, 500, 32, 40, 50},  // more subsets than views: one a view
        {SliceMethod::kCgls, 1, 100, 30, 80}, {SliceMethod::kTv, 1, 64, 90, 64},
    };
    for (const auto &c : cases) {
        ViewSet views;
        ASSERT_TRUE(EvenHalfTurn(c.views, &views).ok());
        IterativeSettings settings;
        settings.subsets = c.subsets;
        SolverWork work;
        ASSERT_TRUE(MakeSolverWork(c.method, settings, views, AxisGrid(c.size), c.columns, &work).ok());
        double taken = static_cast<double>(work.block.size() + work.projection.rows.size() +
                                           work.projection.columns.size()) *
                       sizeof(double);
        double counted = SolverBytes(c.method, c.subsets, c.size, c.views, c.columns, 1);
        EXPECT_GE(counted, taken) << c.subsets << " " << c.size;
        EXPECT_LT(counted, taken * 1.1) << c.subsets << " " << c.size;
        ReleaseViews(&views);
    }
}

TEST(StackReconRoad, OptionWords) {
    RingsChoice rings;
    ASSERT_TRUE(RingsOption("sort,9", &rings).ok());
    EXPECT_TRUE(rings.on);
    EXPECT_EQ(rings.method, StripeMethod::kSort);
    EXPECT_EQ(rings.size, 9);
    ASSERT_TRUE(RingsOption("auto", &rings).ok());
    EXPECT_EQ(rings.size, DefaultSize(StripeMethod::kAuto));
    EXPECT_FALSE(RingsOption("detect,2", &rings).ok());
    EXPECT_FALSE(rings.on);
    IterativeSettings settings;
    ASSERT_TRUE(IterativeArgument(IterativeWords{}, SliceMethod::kTv, &settings).ok());
    EXPECT_EQ(settings.iterations, kTvIterations);
    EXPECT_EQ(settings.tv.iterations, kTvIterations);
    ASSERT_TRUE(IterativeArgument(IterativeWords{}, SliceMethod::kSirt, &settings).ok());
    EXPECT_EQ(settings.iterations, 100);
    IterativeWords words;
    words.iterations = "7";
    words.nonnegative = true;
    ASSERT_TRUE(IterativeArgument(words, SliceMethod::kTv, &settings).ok());
    EXPECT_EQ(settings.tv.iterations, 7);
    EXPECT_TRUE(settings.tv.nonnegative);
    EXPECT_TRUE(settings.nonnegative);
}

TEST(StackReconRoad, TheProgressLineNamesTheStep) {
    EXPECT_EQ(ProgressText(4, 8, 12, "removing rings from rows 4 to 7"),
              "4 of 8 rows, 0:12 elapsed, 0:12 left; removing rings from rows 4 to 7");
    EXPECT_EQ(ProgressText(0, 8, 0.4, "reading rows 0 to 3"), "0 of 8 rows, 0:00 elapsed, ? left; reading rows 0 to 3");
}

}  // namespace
