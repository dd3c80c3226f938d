// The region-of-interest tools: disk_image's rows (pixels wholly inside or
// outside settled at once, edges in closed form) against the second closed
// form evaluated for every pixel and disk, and sino_scale against cat
// copying as many bytes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "bench.h"
#include "disk_image/image.h"
#include "oracle/disk_image_oracle.h"

void BenchDiskImage() {
    const int size = 1024;
    std::vector<double> radii{100, -300, 400};  // summation order of 400 -300 100
    std::vector<double> image(static_cast<std::size_t>(size) * size);
    double oracle = BestSeconds(1, [&] { DiskImageOracle(size, 3.25, -7.5, radii); });
    double fast = BestSeconds(5, [&] {
        DiskPhantom phantom{3.25, -7.5, 3, radii.data()};
        for (int row = 0; row < size; ++row) DiskImageRow(phantom, size, row, image.data() + std::size_t(row) * size);
    });
    std::printf("disk_image K=1024 radii 400 -300 100: every pixel in closed form %.3f s, rows %.4f s, ratio %.0fx\n",
                oracle, fast, oracle / fast);
}

void BenchSinoScale(const std::string &scratch) {
    // 2800 x 4400 samples, about 98 MB.
    std::string input = scratch + "/scale_in.sg";
    std::string output = scratch + "/scale_out.sg";
    std::string copy = scratch + "/scale_copy.sg";
    RunOrDie("\"" CT_BIN_DIR "/disk_sino\" 2800 0 0 1000 4400 " + input);
    struct stat info;
    stat(input.c_str(), &info);
    std::string scale = "\"" CT_BIN_DIR "/sino_scale\" " + input + " 2 0.5 " + output;
    double ours = BestSeconds(5, [&] { RunOrDie("rm -f " + output + " && " + scale); });
    double cat = BestSeconds(5, [&] { RunOrDie("rm -f " + copy + " && cat " + input + " > " + copy); });
    std::printf("sino_scale %.0f MB: sino_scale %.3f s, cat %.3f s, ratio to cat %.2f\n", info.st_size / 1e6, ours,
                cat, ours / cat);
    RunOrDie("rm -f " + input + " " + output + " " + copy);
}
