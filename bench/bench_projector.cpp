// The forward projector against the back-projection it mirrors (1024 x
// 1024 from 1800 views, one thread and all), one SIRT iteration of sino_iter
// against one run of sino_recon (512 x 512 from 360 views), and sino_recon
// with angles given as a file against its own even half turn.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <omp.h>

#include "backproject.h"
#include "bench.h"
#include "project.h"
#include "solvers.h"
#include "views.h"

namespace {

std::string Bin(const std::string &program) { return std::string("\"") + CT_BIN_DIR + "/" + program + "\""; }

void ProjectorAgainstBackProjection() {
    const int k = 1024, n = 1024, m = 1800;
    ViewSet views;
    if (!EvenHalfTurn(m, &views).ok()) std::exit(1);
    Grid grid = AxisGrid(k);
    Detector detector{n, 511.5};
    std::vector<double> image(static_cast<std::size_t>(k) * k, 0.0), sinogram(static_cast<std::size_t>(n) * m, 0.0);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = (i % 7) * 0.1;
    for (std::size_t i = 0; i < sinogram.size(); ++i) sinogram[i] = (i % 5) * 0.2;
    ProjectionWork work;
    if (!AllocateProjection(k, &work).ok()) std::exit(1);
    for (int threads : {1, omp_get_num_procs()}) {
        omp_set_num_threads(threads);
        double project = BestSeconds(3, [&] { Project(grid, views, detector, image.data(), sinogram.data(), &work); });
        double transposed =
            BestSeconds(3, [&] { ProjectTransposed(grid, views, detector, sinogram.data(), image.data(), &work); });
        double back = BestSeconds(3, [&] {
            for (double &p : image) p = 0;
            BackProjectViews(sinogram.data(), views, detector, grid, image.data());
        });
        std::printf("img_sino projector %d x %d to %d x %d, %d thread(s): %.3f s, back-projection %.3f s: "
                    "ratio %.2f (goal at most 2); transpose %.3f s (%.2fx the projector)\n",
                    k, k, n, m, threads, project, back, project / back, transposed, transposed / project);
    }
    omp_set_num_threads(omp_get_num_procs());
    ReleaseProjection(&work);
    ReleaseViews(&views);
}

void SirtIterationAgainstSinoRecon(const std::string &scratch) {
    const int k = 512, n = 512, m = 360;
    std::string sg = scratch + "/iter.sg", img = scratch + "/iter.img";
    RunOrDie(Bin("disk_sino") + " 512 20 -10 200 -150 60 360 " + sg);
    double recon = BestSeconds(5, [&] { RunOrDie(Bin("sino_recon") + " " + sg + " 255.5 1 " + img); });
    ViewSet views;
    if (!EvenHalfTurn(m, &views).ok()) std::exit(1);
    std::vector<double> b(static_cast<std::size_t>(n) * m, 1.0), image(static_cast<std::size_t>(k) * k);
    Problem problem{AxisGrid(k), &views, Detector{n, 255.5}, b.data()};
    SolverWork work;
    if (!AllocateSolverWork(problem, &work).ok()) std::exit(1);
    double one = BestSeconds(3, [&] { Sirt(problem, 1, true, &work, image.data(), nullptr); });
    double eleven = BestSeconds(3, [&] { Sirt(problem, 11, true, &work, image.data(), nullptr); });
    double iteration = (eleven - one) / 10;
    std::printf("sino_iter one SIRT iteration %d x %d from %d views: %.3f s, sino_recon program %.3f s: ratio %.2f "
                "(goal at most 3)\n",
                k, k, m, iteration, recon, iteration / recon);
    ReleaseSolverWork(&work);
    ReleaseViews(&views);
    std::remove(sg.c_str());
    std::remove(img.c_str());
}

void AnglesAgainstTheHalfTurn(const std::string &scratch) {
    std::string sg = scratch + "/angles.sg", img = scratch + "/angles.img", angles = scratch + "/angles.txt";
    RunOrDie(Bin("disk_sino") + " 1024 50 -30 400 -300 200 1800 " + sg);
    RunOrDie("awk 'BEGIN { for (k = 0; k < 1800; k++) printf \"%.17g\\n\", k * 0.1 }' > " + angles);
    double plain = BestSeconds(3, [&] { RunOrDie(Bin("sino_recon") + " " + sg + " 511.5 1 " + img); });
    double given = BestSeconds(3, [&] { RunOrDie(Bin("sino_recon") + " -a " + angles + " " + sg + " 511.5 1 " + img); });
    std::printf("sino_recon 1024 x 1800 into 1024 x 1024 with -a: %.3f s, the half turn %.3f s: ratio %.2f "
                "(goal at most 1.1)\n",
                given, plain, given / plain);
    std::remove(sg.c_str());
    std::remove(img.c_str());
    std::remove(angles.c_str());
}

}  // namespace

void BenchProjector(const std::string &scratch) {
    ProjectorAgainstBackProjection();
    SirtIterationAgainstSinoRecon(scratch);
    AnglesAgainstTheHalfTurn(scratch);
}
