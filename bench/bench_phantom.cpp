// The scan simulators: phantom_sino and phantom_image (whole runs, in this
// process) against the straightforward evaluations they equal byte for
// byte, with one thread and with all; sino_noise against cat copying as
// many bytes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <omp.h>

#include "bench.h"
#include "grid.h"
#include "oracle/phantom_oracle.h"
#include "phantom.h"
#include "phantom_file.h"
#include "phantom_image/run.h"
#include "phantom_sino/run.h"
#include "views.h"

namespace {

// A program's entry with these arguments, the last one the output.
double TimeEntry(int (*entry)(int, char **), std::vector<std::string> args, int threads, int runs) {
    omp_set_num_threads(threads);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return BestSeconds(runs, [&] { entry(static_cast<int>(args.size()), argv.data()); });
}

}  // namespace

void BenchPhantomSino(const std::string &scratch) {
    // The Shepp-Logan head across 1024 detectors, 1800 views.
    std::string path = scratch + "/phantom.sg";
    Phantom phantom;
    ViewSet views;
    if (!ReadPhantom("shepp-logan:480", &phantom).ok() || !EvenHalfTurn(1800, &views).ok()) std::exit(1);
    double oracle = BestSeconds(1, [&] {
        FILE *out = std::fopen(path.c_str(), "wb");
        PhantomSinogramOracle(phantom, views, 1024, 511.5, out);
        std::fclose(out);
    });
    ReleaseViews(&views);
    ReleasePhantom(&phantom);
    std::vector<std::string> args{"phantom_sino", "shepp-logan:480", "1024", "511.5", "1800", path};
    double one = TimeEntry(RunPhantomSino, args, 1, 5);
    double all = TimeEntry(RunPhantomSino, args, omp_get_num_procs(), 5);
    std::printf("phantom_sino shepp-logan:480 1024 x 1800: straightforward %.3f s, fast %.4f s (1 thread, "
                "ratio %.0fx), %.4f s (%d threads)\n",
                oracle, one, oracle / one, all, omp_get_num_procs());
}

void BenchPhantomImage(const std::string &scratch) {
    // The Shepp-Logan head on 1024 x 1024 unit pixels.
    std::string path = scratch + "/phantom.img";
    Phantom phantom;
    if (!ReadPhantom("shepp-logan:480", &phantom).ok()) std::exit(1);
    double oracle = BestSeconds(1, [&] {
        FILE *out = std::fopen(path.c_str(), "wb");
        PhantomImageOracle(phantom, AxisGrid(1024), out);
        std::fclose(out);
    });
    ReleasePhantom(&phantom);
    std::vector<std::string> args{"phantom_image", "shepp-logan:480", "1024", path};
    double one = TimeEntry(RunPhantomImage, args, 1, 5);
    double all = TimeEntry(RunPhantomImage, args, omp_get_num_procs(), 5);
    std::printf("phantom_image shepp-logan:480 1024 x 1024: pixel by pixel %.3f s, fast %.4f s (1 thread, "
                "ratio %.0fx), %.4f s (%d threads)\n",
                oracle, one, oracle / one, all, omp_get_num_procs());
}

void BenchSinoNoise(const std::string &scratch) {
    // The head's 1024 x 1800 line integrals scaled to 0.01 per detector
    // interval (at most about 4), at 1e4 counts: 14.7 MB through the
    // program and through cat.
    std::string clean = scratch + "/phantom_p.sg", noisy = scratch + "/noisy.sg", copy = scratch + "/copy.sg";
    RunOrDie(std::string("\"" CT_BIN_DIR "/phantom_sino\" shepp-logan:480 1024 511.5 1800 - | \"" CT_BIN_DIR
                         "/sino_scale\" - 0.01 ") + clean);
    std::string noise = std::string("\"" CT_BIN_DIR "/sino_noise\" ") + clean + " 1e4 7 " + noisy;
    double one = BestSeconds(5, [&] { RunOrDie("OMP_NUM_THREADS=1 " + noise); });
    double all = BestSeconds(5, [&] { RunOrDie(noise); });
    double cat = BestSeconds(5, [&] { RunOrDie("cat " + clean + " > " + copy); });
    std::printf("sino_noise 1024 x 1800 at 1e4 counts: %.3f s (1 thread), %.3f s (all), cat %.4f s\n", one, all,
                cat);
    std::system(("rm -f " + clean + " " + noisy + " " + copy + " " + scratch + "/phantom.sg " + scratch +
                 "/phantom.img").c_str());
}
