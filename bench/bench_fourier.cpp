// The gridding reconstruction (-M fourier) against the direct method: the
// time of one slice with two threads at 1024 x 1024 from 1800 views and
// 2048 x 2048 from 3600 (wall and processor time, and how each grows from
// the one to the other), two slices at once against one, the accuracy of
// both against the exact pixel means of analytic phantoms from 256 to 2048
// detectors, and stack_recon of 512 rows x 512 x 720 views with each.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include <omp.h>
#include <sys/resource.h>

#include "bench.h"
#include "fbp.h"
#include "gridrec.h"
#include "oracle/gridrec_oracle.h"
#include "phantom.h"
#include "phantom_pixels.h"
#include "phantom_rays.h"

namespace {

double ProcessorTime() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + 1e-9 * now.tv_nsec;
}

// The scan of a phantom, axis a quarter detector off the middle.
std::vector<double> Scan(const Phantom &phantom, const ViewSet &views, int n, double axis) {
    std::vector<double> sinogram(static_cast<std::size_t>(n) * views.count);
    for (int k = 0; k < views.count; ++k)
        PhantomView(phantom, views.cosines[k], views.sines[k], axis, n,
                    sinogram.data() + static_cast<std::size_t>(n) * k);
    return sinogram;
}

// Processor time of the finished child processes, all threads, in seconds.
double ChildrenProcessorTime() {
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

struct Times {
    double wall, processor;  // best wall time and the processor time of that run
};

template <typename F>
Times Best(int runs, F &&work) {
    Times best{1e300, 0};
    for (int i = 0; i < runs; ++i) {
        double cpu = ProcessorTime();
        double wall = BestSeconds(1, work);
        cpu = ProcessorTime() - cpu;
        if (wall < best.wall) best = Times{wall, cpu};
    }
    return best;
}

struct Pair {
    Times direct, fourier;
};

Pair TimeSlice(int n, int m, Kernel kernel) {
    Phantom head;
    if (!SheppLoganPhantom(0.45 * n, &head).ok()) std::exit(1);
    ViewSet views;
    if (!EvenHalfTurn(m, &views).ok()) std::exit(1);
    double axis = 0.5 * (n - 1) + 0.25;
    std::vector<double> sinogram = Scan(head, views, n, axis), work;
    std::vector<double> image(static_cast<std::size_t>(n) * n);
    int threads = omp_get_max_threads();
    Pair t;
    ViewFilter filter;
    if (!MakeViewFilter(n, kernel, threads, &filter)) std::exit(1);
    t.direct = Best(2, [&] {
        work = sinogram;
        ReconstructImage(filter, work.data(), views, Detector{n, axis}, AxisGrid(n), 1, image.data());
    });
    GridRec rec;
    if (!MakeGridRec(n, kernel, n, threads, &rec)) std::exit(1);
    t.fourier = Best(3, [&] {
        GridRecImage(rec, sinogram.data(), views, Detector{n, axis}, AxisGrid(n), 1, image.data());
    });
    ReleaseGridRec(&rec);
    ReleaseViews(&views);
    ReleasePhantom(&head);
    return t;
}

// Two slices at once against two alone, per slice.
void TimePairs(int n, int m) {
    Phantom head;
    if (!SheppLoganPhantom(0.45 * n, &head).ok()) std::exit(1);
    ViewSet views;
    if (!EvenHalfTurn(m, &views).ok()) std::exit(1);
    double axis = 0.5 * (n - 1);
    std::vector<double> sinogram = Scan(head, views, n, axis);
    std::vector<double> images(2 * static_cast<std::size_t>(n) * n);
    GridRec rec;
    if (!MakeGridRec(n, Kernel::kChesler, n, omp_get_max_threads(), &rec)) std::exit(1);
    Times one = Best(3, [&] {
        GridRecImage(rec, sinogram.data(), views, Detector{n, axis}, AxisGrid(n), 1, images.data());
    });
    const double axes[2] = {axis, axis};
    Times two = Best(3, [&] {
        GridRecPair(rec, sinogram.data(), sinogram.data(), views, axes, AxisGrid(n), 1, images.data(),
                    images.data() + static_cast<std::size_t>(n) * n);
    });
    std::printf("fourier %d x %d from %d views: one slice %.3f s, two at once %.3f s (%.3f s a slice, %.2fx)\n", n, n,
                m, one.wall, two.wall, two.wall / 2, 2 * one.wall / two.wall);
    ReleaseGridRec(&rec);
    ReleaseViews(&views);
    ReleasePhantom(&head);
}

// RMS against the exact pixel means over the disk every view sees.
void Accuracy(const char *name, const Phantom &phantom, int n, int m) {
    ViewSet views;
    if (!EvenHalfTurn(m, &views).ok()) std::exit(1);
    double axis = 0.5 * (n - 1) + 0.25;
    std::vector<double> sinogram = Scan(phantom, views, n, axis), work;
    Grid grid = AxisGrid(n);
    std::size_t pixels = static_cast<std::size_t>(n) * n;
    std::vector<double> truth(pixels), direct(pixels), fourier(pixels);
    std::vector<EllipseFrame> frames;
    for (int e = 0; e < phantom.count; ++e) frames.push_back(FrameOf(phantom.ellipses[e]));
    std::vector<Real> sums(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
        PhantomImageRow(frames.data(), phantom.count, grid, r, sums.data(),
                        truth.data() + static_cast<std::size_t>(r) * n);
    const char *names[] = {"chesler", "shepp", "ramachandran"};
    for (Kernel kernel : {Kernel::kChesler, Kernel::kShepp, Kernel::kRamachandran}) {
        ViewFilter filter;
        if (!MakeViewFilter(n, kernel, omp_get_max_threads(), &filter)) std::exit(1);
        work = sinogram;
        ReconstructImage(filter, work.data(), views, Detector{n, axis}, grid, 1, direct.data());
        GridRec rec;
        if (!MakeGridRec(n, kernel, n, omp_get_max_threads(), &rec)) std::exit(1);
        GridRecImage(rec, sinogram.data(), views, Detector{n, axis}, grid, 1, fourier.data());
        ReleaseGridRec(&rec);
        MethodErrors e = ErrorsInsideTheCircle(grid, n, truth.data(), direct.data(), fourier.data());
        std::printf("accuracy %-12s %4d detectors %4d views %-12s: RMS direct %.5f fourier %.5f, ratio %.4f "
                    "(goal: at most 1.05); RMS between them %.5f = %.3f of the direct error\n",
                    name, n, m, names[static_cast<int>(kernel)], e.direct, e.fourier, e.fourier / e.direct, e.between,
                    e.between / e.direct);
    }
    ReleaseViews(&views);
}

}  // namespace

// stack_recon with each method, two threads.
void BenchFourierStack(const std::string &scratch) {
    std::string stack = scratch + "/fourier_scan.tif", flat = scratch + "/fourier_flat.tif";
    WriteStack(stack, StackPhantom(scratch), false);
    WriteStack(flat, {}, true);
    std::string bin = "OMP_NUM_THREADS=2 \"" CT_BIN_DIR "/stack_recon\" -c 255.5 -f " + flat + " ";
    double seconds[2], processor[2];
    for (int method = 0; method < 2; ++method) {
        double before = ChildrenProcessorTime();
        seconds[method] = BestSeconds(1, [&] {
            RunOrDie(bin + (method == 0 ? "-M fbp " : "-M fourier ") + stack + " " + scratch +
                     "/fourier_volume.tif 2>/dev/null");
        });
        processor[method] = ChildrenProcessorTime() - before;
    }
    std::printf("stack_recon 512 rows x 512 x 720 views into 512^3, 2 threads: -M fbp %.1f s (processor %.1f s), "
                "-M fourier %.1f s (processor %.1f s), ratio %.2fx (goal: at least 3; processor time %.2fx)\n",
                seconds[0], processor[0], seconds[1], processor[1], seconds[0] / seconds[1],
                processor[0] / processor[1]);
    RunOrDie("rm -f " + stack + " " + flat + " " + scratch + "/fourier_volume.tif");
}

void BenchFourier() {
    omp_set_num_threads(2);
    Pair small = TimeSlice(1024, 1800, Kernel::kChesler);
    Pair large = TimeSlice(2048, 3600, Kernel::kChesler);
    for (const auto &[t, n, m, goal] : {std::tuple{small, 1024, 1800, 3}, std::tuple{large, 2048, 3600, 5}})
        std::printf("fourier %d x %d from %d views, 2 threads: direct %.3f s (processor %.3f s), gridding %.3f s "
                    "(processor %.3f s), ratio %.2fx (goal: at least %d; processor time %.2fx)\n",
                    n, n, m, t.direct.wall, t.direct.processor, t.fourier.wall, t.fourier.processor,
                    t.direct.wall / t.fourier.wall, goal, t.direct.processor / t.fourier.processor);
    std::printf("fourier from 1024 to 2048 (views doubled): direct grows %.2fx, gridding %.2fx (goal: at most 5)\n",
                large.direct.wall / small.direct.wall, large.fourier.wall / small.fourier.wall);
    Pair sharp = TimeSlice(2048, 3600, Kernel::kRamachandran);
    std::printf("fourier 2048 x 2048 from 3600 views, ramachandran (the sinc^2 terms to |m| < L): direct %.3f s, "
                "gridding %.3f s, ratio %.2fx\n",
                sharp.direct.wall, sharp.fourier.wall, sharp.direct.wall / sharp.fourier.wall);
    TimePairs(2048, 3600);
}

void BenchFourierAccuracy() {
    for (int n : {256, 512, 1024, 2048}) {
        // The head and a set of ellipses of every size, scaled to the detector.
        Phantom head;
        if (!SheppLoganPhantom(0.45 * n, &head).ok()) std::exit(1);
        double s = n / 256.0;
        std::vector<Ellipse> shapes{{0, 0, 100 * s, 80 * s, 10, 1},
                                    {30 * s, -20 * s, 40 * s, 15 * s, 60, 0.5},
                                    {-50 * s, 30 * s, 6 * s, 6 * s, 0, 3},
                                    {-20 * s, -60 * s, 25 * s, 2.5 * s, -25, -0.7},
                                    {55 * s, 45 * s, 18 * s, 30 * s, 100, 1.5}};
        Accuracy("shepp-logan", head, n, n * 3 / 2);
        Accuracy("ellipses", Phantom{static_cast<int>(shapes.size()), shapes.data()}, n, n * 3 / 2);
        ReleasePhantom(&head);
    }
}

