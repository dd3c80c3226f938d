// sino_center: the whole program on a 2048 x 1800 phantom (goal: under
// 0.5 s on the 2-core development machine), beside the search alone and
// beside cat reading the same file, with the centre it finds.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "center.h"
#include "sinogram.h"

namespace {

// Runs a shell command with standard output discarded; ends the benchmark
// when it fails.
void Run(const std::string &command) {
    if (std::system((command + " > /dev/null").c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

}  // namespace

void BenchSinoCenter(const std::string &scratch) {
    std::string bin = CT_BIN_DIR;
    std::string sg = scratch + "/center.sg";
    // Off the axis, so that the trajectories move: the axis is at 1023.5.
    Run("\"" + bin + "/disk_sino\" 2048 30 -20 800 -400 300 1800 " + sg);

    double program = BestSeconds(5, [&] { Run("\"" + bin + "/sino_center\" " + sg); });
    double cat = BestSeconds(5, [&] { Run("cat " + sg); });

    Sinogram s;
    if (!ReadSinogram(sg.c_str(), "", &s).ok()) std::exit(1);
    CenterWork work;
    if (!AllocateCenterWork(&work, s.columns, s.rows)) std::exit(1);
    CenterEstimate estimate{};
    double search = BestSeconds(5, [&] { estimate = FindCenter(s.samples, &work); });
    ReleaseCenterWork(&work);
    ReleaseSinogram(&s);

    std::printf("sino_center 2048x1800: program %.3f s (goal 0.5 s), search alone %.3f s, cat %.3f s; "
                "centre %.4f, error %+.4f\n",
                program, search, cat, estimate.center, estimate.center - 1023.5);
    std::remove(sg.c_str());
}
