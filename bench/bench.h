// Shared timing helper of the benchmark.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

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

void BenchRecon();
void BenchDiskSino(const std::string &scratch);
void BenchAxExpand(const std::string &scratch);
void BenchSinoGraft(const std::string &scratch);
void BenchDiskImage();
void BenchSinoScale(const std::string &scratch);
void BenchSinoCenter(const std::string &scratch);
void BenchProjSino(const std::string &scratch);
void BenchSinoRecon(const std::string &scratch);
void BenchSinoRings(const std::string &scratch);
void BenchProjector(const std::string &scratch);
void BenchStackRecon(const std::string &scratch);
void BenchPhantomSino(const std::string &scratch);
void BenchPhantomImage(const std::string &scratch);
void BenchSinoNoise(const std::string &scratch);
