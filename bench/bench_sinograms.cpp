// Sinogram writers: disk_sino's fast views against the straightforward
// evaluation, and ax_expand's output against cat copying as many bytes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "bench.h"
#include "disk_sino/run.h"
#include "oracle/disk_oracle.h"
#include "sinogram.h"

void BenchDiskSino(const std::string &scratch) {
    std::vector<std::string> args = {"disk_sino", "2048", "0", "0", "800", "-400", "300", "1800", "out"};
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    int argc = static_cast<int>(argv.size());
    std::string path = scratch + "/disk.sg";

    double oracle = BestSeconds(3, [&] {
        FILE *out = std::fopen(path.c_str(), "wb");
        DiskSinogramOracle(argc, argv.data(), out);
        std::fclose(out);
    });
    // The program's whole run, in this process.
    std::vector<std::string> run_args = args;
    run_args.back() = path;
    std::vector<char *> run_argv;
    for (std::string &a : run_args) run_argv.push_back(a.data());
    double fast = BestSeconds(5, [&] { RunDiskSino(argc, run_argv.data()); });
    std::printf("disk_sino N=2048 M=1800 radii 800 -400 300: straightforward %.3f s, fast %.3f s, ratio %.1fx\n",
                oracle, fast, oracle / fast);
}

void BenchAxExpand(const std::string &scratch) {
    // n = 1400 with the default 4398 views: 2799 columns, about 98 MB.
    std::string profile = scratch + "/profile.txt";
    FILE *text = std::fopen(profile.c_str(), "w");
    std::fprintf(text, "1400\n");
    for (int j = 0; j < 1400; ++j) std::fprintf(text, "%d.25\n", j);
    std::fclose(text);
    std::string expanded = scratch + "/expanded.sg";
    std::string copy = scratch + "/copy.sg";
    std::string expand = std::string("\"" CT_BIN_DIR "/ax_expand\" ") + profile + " " + expanded;
    RunOrDie(expand);
    struct stat info;
    stat(expanded.c_str(), &info);

    double ours = BestSeconds(5, [&] { RunOrDie("rm -f " + expanded + " && " + expand); });
    double cat = BestSeconds(5, [&] { RunOrDie("rm -f " + copy + " && cat " + expanded + " > " + copy); });
    std::printf("ax_expand %.0f MB: ax_expand %.3f s, cat %.3f s, ratio to cat %.2f\n",
                info.st_size / 1e6, ours, cat, ours / cat);
}
