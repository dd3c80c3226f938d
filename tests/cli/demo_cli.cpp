// The README's main-job command: the demo runs the whole toolkit on built-in
// data and leaves every file it announces, pictures included.
#include <cstdlib>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "cli/png_decode.h"
#include "cli/run.h"

#ifndef CT_SOURCE_DIR
#error "CT_SOURCE_DIR must name the source tree"
#endif

namespace {

// The value after `label` in the demo's table line that starts with it.
double TableValue(const std::string &out, const std::string &label, int column) {
    std::size_t at = out.find("\n" + label);
    if (at == std::string::npos) return -1;
    std::istringstream line(out.substr(at + 1 + label.size(), out.find('\n', at + 1) - at - 1 - label.size()));
    double value = -1;
    for (int i = 0; i <= column; ++i) line >> value;
    return value;
}

// One run of the demo (with the programs of the build under test, not
// whatever release build exists): every file it announces, and the study's
// table.
TEST(Demo, WritesEverythingAndGraftingRemovesTheTruncationError) {
    Scratch scratch;
    RunResult r = scratch.Run("CT_BIN=\"$BIN\" sh '" CT_SOURCE_DIR "/examples/demo.sh' out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("ax_recon: uniform disk of radius 48"), std::string::npos);
    EXPECT_NE(r.out.find("rotation center 128.000000"), std::string::npos);

    struct Picture {
        const char *name;
        int width, height;
    };
    for (const Picture &p : {Picture{"ring_coarse", 128, 90}, Picture{"ring_fine", 101, 180},
                             Picture{"ring_grafted", 257, 180}, Picture{"disk_expanded", 127, 180},
                             Picture{"roi_truth", 101, 101}, Picture{"roi_truncated", 101, 101},
                             Picture{"roi_grafted", 101, 101}, Picture{"stack_slice_2", 128, 128},
                             Picture{"head_truth", 128, 128}, Picture{"head_few_sirt", 128, 128},
                             Picture{"head_mended", 128, 128}, Picture{"head_folded", 128, 128},
                             Picture{"head_sg", 128, 180}, Picture{"head_few_sg", 128, 20},
                             Picture{"head_half_sg", 70, 720}, Picture{"head_folded_sg", 127, 360}}) {
        std::string base = std::string("out/") + p.name;
        GreyImage image = DecodePng(scratch.Read(base + ".png"));
        ASSERT_TRUE(image.ok) << p.name;
        EXPECT_EQ(image.width, p.width) << p.name;
        EXPECT_EQ(image.height, p.height) << p.name;
    }
    for (int slice = 0; slice < 4; ++slice) {
        EXPECT_EQ(scratch.Read("out/stack/slice_" + std::to_string(slice) + ".sg").substr(0, 7), "128\t90\n");
    }
    EXPECT_EQ(scratch.Read("out/disk_ct.txt").substr(0, 12), "64\n1.000566\n");
    EXPECT_EQ(scratch.Read("out/stack_volume.tif").substr(0, 4), std::string("II*\0", 4));
    EXPECT_NE(r.out.find("stack_volume.tif   stack_recon: the stack as a volume in one run, 4 slices of 128 x 128."),
              std::string::npos)
        << r.out;

    double truncated = TableValue(r.out, "truncated, alone", 0);
    double grafted = TableValue(r.out, "grafted", 0);
    double coarse = TableValue(r.out, "coarse, alone", 0);
    ASSERT_GT(truncated, 0) << r.out;
    ASSERT_GT(grafted, 0) << r.out;
    ASSERT_GT(coarse, 0) << r.out;
    // The region's rms error: grafted at least ten times below truncated.
    EXPECT_LT(grafted * 10, truncated) << r.out;
    EXPECT_LT(TableValue(r.out, "grafted", 1), TableValue(r.out, "truncated, alone", 1)) << r.out;
    // The head: SIRT from 20 views well below filtered back-projection's
    // error, the stripes' rings gone, the folded half acquisition as good
    // as the half turn of views that saw the head whole.
    double full = TableValue(r.out, "180 views", 0);
    std::size_t at = 0;
    ASSERT_GT(full, 0) << r.out;
    EXPECT_LT(TableValue(r.out, "20 views, sino_iter", 0), 0.6 * TableValue(r.out, "20 views", 0)) << r.out;
    EXPECT_LT(TableValue(r.out, "1000 counts", 0), 2 * full) << r.out;
    EXPECT_GT(TableValue(r.out, "striped", 0), 3 * full) << r.out;
    EXPECT_LT(TableValue(r.out, "striped, sino_rings", 0), 1.02 * full) << r.out;
    EXPECT_LT(TableValue(r.out, "half acquisition", 0), 1.1 * full) << r.out;
    double projected = TableValue(r.out, "head_projected", 0);
    EXPECT_GT(projected, 0) << r.out;
    EXPECT_LT(projected, 1) << r.out;  // of line integrals up to 33
    at = r.out.find("axis found at ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::atof(r.out.c_str() + at + 14), 5.5, 0.05);
    // The axis found from the data, within 0.05 detector of the true 63.5.
    at = r.out.find("found at ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::atof(r.out.c_str() + at + 9), 63.5, 0.05);
}

}  // namespace
