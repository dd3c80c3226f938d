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

// The plan must hold what one sinogram's stripe removal takes, whichever
// method, shape and threads.
TEST(StackReconRoad, RingsBytesHoldWhatTheRemovalTakes) {
    const struct {
        const char *option;
        int views, columns, threads;
    } cases[] = {
        {"auto", 90, 64, 1},     {"auto,31", 360, 256, 2}, {"sort", 90, 64, 2},  {"sort,101", 40, 300, 3},
        {"detect,9", 360, 64, 2}, {"fft", 90, 64, 1},      {"fft,51", 181, 128, 4},
        // Where the samples outweigh the threads' arrays, and the reverse.
        {"sort", 1800, 2048, 1},  {"fft", 1800, 2048, 1},  {"detect", 1800, 2048, 1}, {"auto", 1800, 64, 8},
    };
    for (const auto &c : cases) {
        RingsChoice choice;
        ASSERT_TRUE(RingsOption(c.option, &choice).ok());
        RingsWork work;
        ASSERT_TRUE(AllocateRingsWork(choice.method, c.columns, c.views, choice.size, c.threads, &work));
        double taken =
            8.0 * (work.sort.sorted.size() + work.sort.scratch.size() + work.fourier.detail.size() +
                   work.fourier.blocks.size() + work.fourier.scratch.size() + work.fourier.damping.size() +
                   work.stripes.baseline.size() + work.stripes.offsets.size() + work.stripes.excess.size() +
                   work.stripes.level.size() + work.stripes.scratch.size() + work.automatic.offsets.size() +
                   work.automatic.excess.size() + work.automatic.spread.size() + work.automatic.stand.size() +
                   work.automatic.variation.size() + work.automatic.scratch.size() +
                   work.automatic.block_offsets.size() + work.automatic.block_excess.size() +
                   work.automatic.quartile.size() + work.automatic.kept.size() + work.automatic.twins.size()) +
            4.0 * work.automatic.twin_at.size() +
            4.0 * work.sort.views.size() + sizeof(RankedValue) * work.sort.pairs.size() +
            sizeof(CleanNeighbours) * work.automatic.neighbours.size() + work.automatic.flat.size() +
            work.automatic.dirty.size() + work.automatic.stripes.size() + work.automatic.next.size() +
            work.automatic.partial.size() +
            work.stripes.stripes.size();
        EXPECT_GE(RingsBytes(choice, c.views, c.columns, c.threads), taken) << c.option;
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
