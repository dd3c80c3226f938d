// proj_sino on a synthetic scan: 720 projections of 512 x 512 16-bit
// counts made from disk_sino sinograms, against reading the stack once
// with cat, and its peak memory against the budget.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>

#include "bench.h"

extern char **environ;

namespace {

constexpr int kSide = 512, kViews = 720;

struct ChildUsage {
    double peak_mib;     // peak resident memory
    double cpu_seconds;  // user and system time
};

// Runs a command through the shell and returns what that child alone used;
// exits when it fails. CPU time, unlike wall time, hardly depends on what
// else runs on the machine.
ChildUsage Measure(const std::string &command) {
    const char *argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char **>(argv), environ) != 0) std::exit(1);
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                 usage.ru_stime.tv_usec / 1e6;
    return ChildUsage{usage.ru_maxrss / 1024.0, cpu};
}

// One disk_sino sinogram (720 views of 512 columns), scaled per detector
// row so that every row's sinogram differs.
std::vector<double> PhantomSinogram(const std::string &scratch) {
    std::string path = scratch + "/phantom.sg";
    Measure(std::string("\"" CT_BIN_DIR "/disk_sino\" 512 10 -20 200 -150 60 720 ") + path);
    std::vector<double> samples(static_cast<std::size_t>(kSide) * kViews);
    FILE *in = std::fopen(path.c_str(), "rb");
    int columns = 0, rows = 0;
    if (in == nullptr || std::fscanf(in, "%d %d", &columns, &rows) != 2 || std::fgetc(in) != '\n' ||
        std::fread(samples.data(), sizeof(double), samples.size(), in) != samples.size())
        std::exit(1);
    std::fclose(in);
    std::remove(path.c_str());
    return samples;
}

// A multi-page 16-bit TIFF in strips of 16 rows: counts I0 exp(-s p) with
// s growing over the detector rows (a flat page when `flat`).
void WriteStack(const std::string &path, const std::vector<double> &sinogram, bool flat) {
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr) std::exit(1);
    std::vector<std::uint16_t> page(static_cast<std::size_t>(kSide) * kSide);
    int pages = flat ? 1 : kViews;
    for (int v = 0; v < pages; ++v) {
        for (int r = 0; r < kSide; ++r) {
            double scale = 0.002 * (1 + r / double(kSide));
            for (int c = 0; c < kSide; ++c) {
                double p = flat ? 0 : scale * sinogram[static_cast<std::size_t>(v) * kSide + c];
                page[static_cast<std::size_t>(r) * kSide + c] = static_cast<std::uint16_t>(std::lround(60000 * std::exp(-p)));
            }
        }
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kSide);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kSide);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        for (int s = 0; s < kSide / 16; ++s)
            TIFFWriteEncodedStrip(tif, s, &page[static_cast<std::size_t>(s) * 16 * kSide], 16 * kSide * 2);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

}  // namespace

void BenchProjSino(const std::string &scratch) {
    std::string stack = scratch + "/bench_stack.tif", flat = scratch + "/bench_flat.tif";
    std::string out = scratch + "/bench_slices";
    WriteStack(stack, PhantomSinogram(scratch), false);
    WriteStack(flat, {}, true);
    struct stat info;
    stat(stack.c_str(), &info);
    std::string proj = std::string("\"" CT_BIN_DIR "/proj_sino\" ");
    double cat_cpu = 1e300;
    double cat = BestSeconds(3, [&] {
        ChildUsage u = Measure("cat " + stack + " > /dev/null");
        if (u.cpu_seconds < cat_cpu) cat_cpu = u.cpu_seconds;
    });
    for (const char *budget : {"1024", "64"}) {
        std::string run = proj + "-m " + budget + " -f " + flat + " " + stack + " " + out + "/s%04d.sg";
        ChildUsage best{0, 1e300};
        double seconds = BestSeconds(3, [&] {
            Measure("rm -rf " + out + " && mkdir " + out);
            ChildUsage u = Measure(run);
            if (u.cpu_seconds < best.cpu_seconds) best = u;
        });
        std::printf("proj_sino 720 x 512 x 512 16-bit (%.0f MB, 1.5 GB of sinograms) budget %s MiB: %.2f s wall, "
                    "%.2f s CPU; cat to /dev/null %.2f s wall, %.2f s CPU; CPU ratio to cat %.0f; peak memory %.0f MiB\n",
                    info.st_size / 1e6, budget, seconds, best.cpu_seconds, cat, cat_cpu, best.cpu_seconds / cat_cpu,
                    best.peak_mib);
    }
    Measure("rm -rf " + out + " " + stack + " " + flat);
}
