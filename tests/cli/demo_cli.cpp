// The README's main-job command: the demo runs the whole toolkit on built-in
// data and leaves every file it announces, pictures included.
#include <string>

#include <gtest/gtest.h>

#include "cli/png_decode.h"
#include "cli/run.h"

#ifndef CT_SOURCE_DIR
#error "CT_SOURCE_DIR must name the source tree"
#endif

namespace {

TEST(Demo, WritesEverySinogramAndPicture) {
    Scratch scratch;
    // The programs of the build under test, not whatever release build exists.
    RunResult r = scratch.Run("CT_BIN=\"$BIN\" sh '" CT_SOURCE_DIR "/examples/demo.sh' out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ax_recon: uniform disk of radius 48"), std::string::npos);
    EXPECT_NE(r.out.find("rotation centre 128.000000"), std::string::npos);

    struct Picture {
        const char *name;
        int width, height;
    };
    for (const Picture &p : {Picture{"ring_coarse", 128, 90}, Picture{"ring_fine", 101, 180},
                             Picture{"ring_grafted", 257, 180}, Picture{"disk_expanded", 127, 180}}) {
        std::string base = std::string("out/") + p.name;
        EXPECT_TRUE(scratch.Exists(base + ".sg")) << p.name;
        GreyImage image = DecodePng(scratch.Read(base + ".png"));
        ASSERT_TRUE(image.ok) << p.name;
        EXPECT_EQ(image.width, p.width) << p.name;
        EXPECT_EQ(image.height, p.height) << p.name;
    }
    EXPECT_EQ(scratch.Read("out/disk_ct.txt").substr(0, 12), "64\n1.000566\n");
}

}  // namespace
