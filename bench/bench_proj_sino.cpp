// proj_sino on a synthetic scan: 720 projections of 512 x 512 16-bit
// counts made from disk_sino sinograms, against reading the stack once
// with cat, and its peak memory against the budget; with the zinger
// filter; and an HDF5 stack in chunks of several shapes against the same
// data in one chunk per image.
#include <algorithm>
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
#include <hdf5.h>

#include "bench.h"

extern char **environ;

namespace {

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

// The chunks h5py gives a dataset when none are asked for (its
// guess_chunk): the whole shape halved one axis after another, round
// robin, until a chunk holds about 16 KiB times 2^log10(MiB of the
// dataset), between 8 KiB and 1 MiB.
std::vector<hsize_t> H5pyChunks(const std::vector<hsize_t> &shape, double sample_bytes) {
    std::vector<double> chunk(shape.begin(), shape.end());
    auto product = [&] {
        double p = 1;
        for (double c : chunk) p *= c;
        return p;
    };
    double target = 16384 * std::pow(2.0, std::log10(product() * sample_bytes / 1048576.0));
    target = std::min(std::max(target, 8192.0), 1048576.0);
    for (std::size_t axis = 0;; ++axis) {
        double bytes = product() * sample_bytes;
        if ((bytes < target || std::fabs(bytes - target) / target < 0.5) && bytes < 1048576.0) break;
        if (product() == 1) break;
        chunk[axis % chunk.size()] = std::ceil(chunk[axis % chunk.size()] / 2);
    }
    return std::vector<hsize_t>(chunk.begin(), chunk.end());
}

// views x 64 x 256 floats, deflated in chunks of `chunk`: smooth counts
// with a little noise, so that deflate has real work.
void WriteH5Stack(const std::string &path, int views, const std::vector<hsize_t> &chunk) {
    const int rows = 64, columns = 256;
    std::vector<float> data(static_cast<std::size_t>(views) * rows * columns);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < data.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        double c = static_cast<double>(i % columns) - 128, v = static_cast<double>(i / (rows * columns));
        data[i] = static_cast<float>(10000 * std::exp(-0.0001 * c * c * (1 + 0.5 * std::sin(v / 20))) +
                                     static_cast<double>(noise >> 24));
    }
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    hsize_t dims[3] = {static_cast<hsize_t>(views), rows, columns};
    hid_t space = H5Screate_simple(3, dims, nullptr);
    hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(properties, 3, chunk.data());
    H5Pset_deflate(properties, 4);
    hid_t set = H5Dcreate2(group, "data", H5T_IEEE_F32LE, space, H5P_DEFAULT, properties, H5P_DEFAULT);
    if (set < 0 || H5Dwrite(set, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, data.data()) < 0) std::exit(1);
    H5Dclose(set);
    H5Pclose(properties);
    H5Sclose(space);
    H5Gclose(group);
    H5Fclose(file);
}

// proj_sino on HDF5 stacks of 360 views of 64 x 256 floats in chunks of
// several shapes, each against one chunk per image: a chunk that spans
// many views must be decoded once per band, not once per view.
void BenchProjSinoHdf5(const std::string &scratch) {
    const int views = 360;
    std::string stack = scratch + "/bench_stack.h5", out = scratch + "/bench_h5_slices";
    const struct {
        const char *name;
        std::vector<hsize_t> chunk;
    } chunkings[] = {{"one chunk per image", {1, 64, 256}},
                     {"one chunk for all", {views, 64, 256}},
                     {"h5py's default", H5pyChunks({views, 64, 256}, 4)},
                     {"one sinogram per chunk", {views, 1, 256}},
                     {"16 x 16 x 16", {16, 16, 16}}};
    double baseline = 0;
    for (const auto &c : chunkings) {
        WriteH5Stack(stack, views, c.chunk);
        ChildUsage best{0, 1e300};
        double seconds = BestSeconds(3, [&] {
            Measure("rm -rf " + out + " && mkdir " + out);
            ChildUsage u = Measure(std::string("\"" CT_BIN_DIR "/proj_sino\" -l ") + stack + " " + out + "/s%d.sg");
            if (u.cpu_seconds < best.cpu_seconds) best = u;
        });
        if (baseline == 0) baseline = best.cpu_seconds;
        std::printf("proj_sino HDF5 360 x 64 x 256 floats, deflated, chunks %llu x %llu x %llu (%s): %.2f s wall, "
                    "%.2f s CPU, ratio to one chunk per image %.2f; peak memory %.0f MiB\n",
                    static_cast<unsigned long long>(c.chunk[0]), static_cast<unsigned long long>(c.chunk[1]),
                    static_cast<unsigned long long>(c.chunk[2]), c.name, seconds, best.cpu_seconds,
                    best.cpu_seconds / baseline, best.peak_mib);
    }
    Measure("rm -rf " + out + " " + stack);
}

}  // namespace

void BenchProjSino(const std::string &scratch) {
    std::string stack = scratch + "/bench_stack.tif", flat = scratch + "/bench_flat.tif";
    std::string out = scratch + "/bench_slices";
    WriteStack(stack, StackPhantom(scratch), false);
    WriteStack(flat, {}, true);
    struct stat info;
    stat(stack.c_str(), &info);
    std::string proj = std::string("\"" CT_BIN_DIR "/proj_sino\" ");
    double cat_cpu = 1e300;
    double cat = BestSeconds(3, [&] {
        ChildUsage u = Measure("cat " + stack + " > /dev/null");
        if (u.cpu_seconds < cat_cpu) cat_cpu = u.cpu_seconds;
    });
    const struct {
        const char *budget, *options;
    } runs[] = {{"1024", ""}, {"64", ""}, {"1024", "-z 6 "},
                // Phase retrieval: margins of 32 and of 101 rows (tiles of 64
                // and 202), the second reading the whole detector at once.
                {"1024", "-P 100,0.1,10,5e-6 "}, {"2048", "-P 1000,0.1,10,5e-6 "}};
    for (const auto &r : runs) {
        const char *budget = r.budget;
        // The zinger count on standard error is not the benchmark's.
        std::string run = proj + r.options + "-m " + budget + " -f " + flat + " " + stack + " " + out +
                          "/s%04d.sg 2>/dev/null";
        ChildUsage best{0, 1e300};
        double seconds = BestSeconds(3, [&] {
            Measure("rm -rf " + out + " && mkdir " + out);
            ChildUsage u = Measure(run);
            if (u.cpu_seconds < best.cpu_seconds) best = u;
        });
        std::printf("proj_sino %s720 x 512 x 512 16-bit (%.0f MB, 1.5 GB of sinograms) budget %s MiB: %.2f s wall, "
                    "%.2f s CPU; cat to /dev/null %.2f s wall, %.2f s CPU; CPU ratio to cat %.0f; peak memory %.0f MiB\n",
                    r.options, info.st_size / 1e6, budget, seconds, best.cpu_seconds, cat, cat_cpu,
                    best.cpu_seconds / cat_cpu, best.peak_mib);
    }
    Measure("rm -rf " + out + " " + stack + " " + flat);
    BenchProjSinoHdf5(scratch);
}
