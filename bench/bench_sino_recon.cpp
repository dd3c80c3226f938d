// sino_recon's speed on a disk_sino phantom of 1024 detectors x 1800 views
// into a 1024 x 1024 image: filtering and back-projection with one thread
// and with all, nanoseconds per pixel-view update per thread, and the ratio
// to the pixel-by-pixel evaluation (timed on a smaller case of the same
// shape and compared per update, as the full one would take minutes).
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <omp.h>

#include "backproject.h"
#include "bench.h"
#include "disk_sino/disks.h"
#include "filter.h"
#include "oracle/recon2d_oracle.h"

namespace {

// A ring around a disk, off the axis, as disk_sino writes it.
std::vector<double> Phantom(int detectors, int views) {
    const double radius[] = {60.0 * detectors / 256, 300.0 * detectors / 1024, -200.0 * detectors / 1024};
    Real squared[3];
    for (int r = 0; r < 3; ++r) squared[r] = static_cast<Real>(radius[r]) * radius[r];
    Disks disks{3, radius, squared};
    std::vector<double> samples(static_cast<std::size_t>(detectors) * views), t2(detectors);
    double dtheta = static_cast<Real>(kPi) / views;
    for (int k = 0; k < views; ++k) {
        double offset = ViewOffset(detectors, dtheta, k, 0.1 * detectors, -0.05 * detectors);
        DiskView(disks, detectors, offset, t2.data(), samples.data() + static_cast<std::size_t>(detectors) * k);
    }
    return samples;
}

// Processor time of the whole process, all threads, in seconds.
double ProcessorSeconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + 1e-9 * now.tv_nsec;
}

struct Timing {
    double filter, project;  // best wall times
    double project_cpu;      // the processor time of that best run
};

Timing TimeRecon(const std::vector<double> &sinogram, int n, int m, int size, int threads, int runs,
                 RowPath path = BestRowPath()) {
    omp_set_num_threads(threads);
    ViewSet views;
    if (!EvenHalfTurn(m, &views).ok()) std::exit(1);
    std::vector<double> image(static_cast<std::size_t>(size) * size);
    std::vector<double> filtered;
    ViewFilter filter;
    if (!MakeViewFilter(n, Kernel::kChesler, threads, &filter)) std::exit(1);
    Timing t;
    t.filter = BestSeconds(runs, [&] {
        filtered = sinogram;
        FilterViews(filter, filtered.data(), m);
    });
    t.project = 1e300;
    for (int run = 0; run < runs; ++run) {
        double cpu = ProcessorSeconds();
        double wall = BestSeconds(1, [&] {
            for (double &p : image) p = 0;
            BackProjectViews(filtered.data(), views, Detector{n, 0.5 * (n - 1)}, AxisGrid(size), image.data(), path);
            ScaleImage(image.data(), image.size(), BackProjectionScale(views), 1.0);
        });
        cpu = ProcessorSeconds() - cpu;
        if (wall < t.project) {
            t.project = wall;
            t.project_cpu = cpu;
        }
    }
    ReleaseViews(&views);
    return t;
}

}  // namespace

void BenchSinoRecon(const std::string &scratch) {
    const int n = 1024, m = 1800, size = 1024;
    std::vector<double> sinogram = Phantom(n, m);
    double updates = static_cast<double>(size) * size * m;
    int cores = omp_get_num_procs();
    Timing one = TimeRecon(sinogram, n, m, size, 1, 3);
    Timing all = TimeRecon(sinogram, n, m, size, cores, 3);
    double total_one = one.filter + one.project;
    double total_all = all.filter + all.project;
    std::printf("sino_recon %d x %d into %d x %d, 1 thread: %.3f s (filter %.3f s, back-projection %.3f s), "
                "%.3f ns per update (processor time %.3f ns)\n",
                n, m, size, size, total_one, one.filter, one.project, one.project * 1e9 / updates,
                one.project_cpu * 1e9 / updates);
    std::printf("sino_recon %d threads: %.3f s (filter %.3f s = %.1f %%), %.3f ns per update per thread "
                "(processor time %.3f ns), speed-up %.2fx\n",
                cores, total_all, all.filter, 100 * all.filter / total_all, all.project * 1e9 * cores / updates,
                all.project_cpu * 1e9 / updates, total_one / total_all);

    // The plain scalar inner loop, one thread.
    Timing scalar = TimeRecon(sinogram, n, m, size, 1, 1, RowPath::kScalar);
    std::printf("sino_recon scalar inner loop, 1 thread: %.3f ns per update (processor time %.3f ns), "
                "%.1fx the time of the vector one\n",
                scalar.project * 1e9 / updates, scalar.project_cpu * 1e9 / updates,
                scalar.project_cpu / one.project_cpu);

    // The pixel-by-pixel evaluation, one thread, on a smaller case.
    const int small_n = 256, small_m = 450, small_size = 256;
    std::vector<double> small = Phantom(small_n, small_m);
    Timing fast = TimeRecon(small, small_n, small_m, small_size, 1, 3);
    std::vector<double> image(static_cast<std::size_t>(small_size) * small_size);
    double oracle = ProcessorSeconds();
    BackProjectImageOracle(small.data(), small_n, small_m, 0.5 * (small_n - 1), small_size, static_cast<Real>(kPi) / small_m,
                           1.0, image.data());
    oracle = ProcessorSeconds() - oracle;
    double small_updates = static_cast<double>(small_size) * small_size * small_m;
    std::printf("sino_recon back-projection %d x %d into %d x %d, 1 thread, processor time: straightforward "
                "%.2f ns per update, fast %.3f ns, ratio %.1fx\n",
                small_n, small_m, small_size, small_size, oracle * 1e9 / small_updates,
                fast.project_cpu * 1e9 / small_updates, oracle / fast.project_cpu);

    // The whole program on a file, all threads.
    std::string sg = scratch + "/recon.sg", img = scratch + "/recon.img";
    std::FILE *out = std::fopen(sg.c_str(), "wb");
    if (out == nullptr) std::exit(1);
    std::fprintf(out, "%d\t%d\n", n, m);
    std::fwrite(sinogram.data(), sizeof(double), sinogram.size(), out);
    std::fclose(out);
    std::string command = std::string("\"") + CT_BIN_DIR + "/sino_recon\" " + sg + " 511.5 1 " + img;
    double program = BestSeconds(3, [&] {
        if (std::system(command.c_str()) != 0) std::exit(1);
    });
    std::printf("sino_recon program, file to file, all threads: %.3f s\n", program);
    std::remove(sg.c_str());
    std::remove(img.c_str());
}
