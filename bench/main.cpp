// ct_bench: speed ratios of the fast paths against the straightforward
// evaluations they must equal, and of whole programs against cat.
// Run from the build: build/release/bin/ct_bench [scratch folder [name ...]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"

int main(int argc, char **argv) {
    std::string scratch = argc > 1 ? argv[1] : "/tmp";
    // The benchmarks write their files there: a name given for a benchmark
    // in its place would have them write nowhere.
    std::error_code error;
    if (!std::filesystem::is_directory(scratch, error)) {
        std::fprintf(stderr, "ct_bench: %s is no folder (usage: ct_bench [scratch folder [name ...]])\n",
                     scratch.c_str());
        return 2;
    }
    // Benchmarks by name after the scratch folder; every one without.
    std::vector<std::string> only(argv + (argc > 2 ? 2 : argc), argv + argc);
    auto wanted = [&](const char *name) {
        return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
    };
    if (wanted("recon")) BenchRecon();
    if (wanted("disk_sino")) BenchDiskSino(scratch);
    if (wanted("ax_expand")) BenchAxExpand(scratch);
    if (wanted("sino_graft")) BenchSinoGraft(scratch);
    if (wanted("disk_image")) BenchDiskImage();
    if (wanted("sino_scale")) BenchSinoScale(scratch);
    if (wanted("sino_center")) BenchSinoCenter(scratch);
    if (wanted("proj_sino")) BenchProjSino(scratch);
    if (wanted("zingers")) BenchZingers();
    if (wanted("sino_recon")) BenchSinoRecon(scratch);
    if (wanted("sino_rings")) BenchSinoRings(scratch);
    // The stripe family takes minutes: only by name.
    if (!only.empty() && wanted("rings_family")) BenchRingsFamily({{256, 360}, {512, 720}}, 1);
    // Not in the default run: every size up to 2048 detectors, three seeds.
    if (!only.empty() && wanted("rings_family_all")) BenchRingsFamily({{256, 360}, {512, 720}, {1024, 900}, {2048, 1800}}, 3);
    if (wanted("projector")) BenchProjector(scratch);
    if (!only.empty() && wanted("iteration")) BenchIteration(scratch);
    if (wanted("stack_recon")) BenchStackRecon(scratch);
    if (wanted("stack_road")) BenchStackRoad(scratch);
    if (wanted("phantom_sino")) BenchPhantomSino(scratch);
    if (wanted("phantom_image")) BenchPhantomImage(scratch);
    if (wanted("sino_noise")) BenchSinoNoise(scratch);
    if (wanted("fourier")) BenchFourier();
    if (wanted("fourier_accuracy")) BenchFourierAccuracy();
    if (wanted("fourier_stack")) BenchFourierStack(scratch);
    // Spins a core for a minute: only when asked for.
    if (!only.empty() && wanted("busy")) BenchThreadsUnderLoad(scratch);
    std::system(("rm -f " + scratch + "/disk.sg " + scratch + "/profile.txt " + scratch + "/expanded.sg " +
                 scratch + "/copy.sg").c_str());
    return 0;
}
