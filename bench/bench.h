// Shared timing helper of the benchmark.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

// The shortest wall time of `runs` calls, in seconds.
template <typename F>
double BestSeconds(int runs, F &&work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        work();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    return best;
}

// Runs a shell command; the benchmark stops when it fails.
inline void RunOrDie(const std::string &command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// The synthetic scan of the stack benchmarks: one disk_sino sinogram of
// kStackViews views of kStackSide detectors (axis 255.5), and a multi-page
// 16-bit TIFF in strips of 16 rows of counts 60000 exp(-s p), s growing
// over the detector rows so that every row differs (a flat page of 60000
// when `flat`).
inline constexpr int kStackSide = 512, kStackViews = 720;
std::vector<double> StackPhantom(const std::string &scratch);
void WriteStack(const std::string &path, const std::vector<double> &sinogram, bool flat);

void BenchRecon();
void BenchZingers();
void BenchDiskSino(const std::string &scratch);
void BenchAxExpand(const std::string &scratch);
void BenchSinoGraft(const std::string &scratch);
void BenchDiskImage();
void BenchSinoScale(const std::string &scratch);
void BenchSinoCenter(const std::string &scratch);
void BenchProjSino(const std::string &scratch);
void BenchSinoRecon(const std::string &scratch);
void BenchSinoRings(const std::string &scratch);
// The stripe-removal figures on the family of striped cases, sizes as
// (detectors, views), `seeds` cases of each kind and object.
void BenchRingsFamily(const std::vector<std::pair<int, int>> &sizes, int seeds);
void BenchProjector(const std::string &scratch);
// One SIRT and one TV iteration against one sino_recon (a part of the
// projector benchmark, to be run alone by its name "iteration").
void BenchIteration(const std::string &scratch);
void BenchStackRecon(const std::string &scratch);
// stack_recon plain, with -z 6, -R auto and both (stack_road).
void BenchStackRoad(const std::string &scratch);
void BenchPhantomSino(const std::string &scratch);
void BenchPhantomImage(const std::string &scratch);
void BenchSinoNoise(const std::string &scratch);
void BenchFourier();
void BenchFourierStack(const std::string &scratch);
void BenchFourierAccuracy();
// sino_iter and sino_recon with one and two threads beside a busy core.
void BenchThreadsUnderLoad(const std::string &scratch);
