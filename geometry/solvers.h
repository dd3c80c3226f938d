// Iterative reconstruction: the image x that makes the projections A x
// (project.h) match the measured samples b, by SIRT, by CGLS, or by
// total-variation regularised least squares.
//
// SIRT (simultaneous iterative reconstruction) takes, from x = 0, the steps
//     x <- x + C A^T R (b - A x),
// R and C the inverses of the projector's row sums (A 1, the length of
// each ray within the image) and column sums (A^T 1), zero where a ray or
// a pixel meets nothing; with `nonnegative`, negative pixels are set to
// zero after each step. With ordered subsets (Hudson and Larkin 1994; the
// simultaneous form of Andersen and Kak's SART, 1984) the views are dealt
// into S subsets of directions spread over the half turn, and one
// iteration takes the step of each subset in turn, A, R and C those of
// the subset's views alone: S steps for the price of one.
//
// CGLS runs conjugate gradients on the normal equations A^T A x = A^T b,
// from x = 0, without forming A^T A: the residual |b - A x| never grows
// from one iteration to the next.
//
// TV minimises 1/2 |A x - b|^2 + lambda TV(x), TV the isotropic total
// variation (total_variation.h; Rudin, Osher and Fatemi 1992), optionally
// with x >= 0, by the primal-dual method of Chambolle and Pock (2011) with
// their diagonal preconditioning (Pock and Chambolle 2011): the step of
// each pixel and of each ray from its column and row sums. It starts from
// filtered back-projection's image (fbp.h), clipped at zero with
// `nonnegative`.
#pragma once

#include <cstddef>
#include <vector>

#include "backproject.h"
#include "filter.h"
#include "grid.h"
#include "project.h"
#include "status.h"
#include "views.h"

enum class Method { kSirt, kCgls, kTv };

// "sirt", "cgls" or "tv"; fails with "unknown method (sirt, cgls or tv).".
Status MethodArgument(const char *text, Method *method);

// What is solved: the grid, the views and the detector of A, and b.
struct Problem {
    Grid grid;
    const ViewSet *views;
    Detector detector;
    const double *b;  // views x detectors samples
};

// The views dealt into subsets: the views in subset order (subset 0's
// first), the sinogram rows they come from, and each subset as a view set
// over its part of the arrays.
struct Subsets {
    int count = 0;
    std::vector<int> rows;
    std::vector<double> angles, cosines, sines, weights;
    std::vector<ViewSet> sets;
    std::vector<int> first;  // each subset's first view in subset order
};

// Work arrays of a method: images and sinograms of the problem's sizes in
// one pre-faulted block, the projector's scratch, and for TV the filter of
// its first image. It releases itself.
inline constexpr int kWorkImages = 5;
struct SolverWork {
    std::size_t pixels = 0, samples = 0;
    int image_count = 0, sinogram_count = 0;
    double *images[kWorkImages] = {};
    double *sinograms[4] = {};
    Owned<double> block;
    ProjectionWork projection;
    ViewFilter filter;
    bool have_filter = false;
    Subsets subsets;
};

// Work for `method`; SIRT with `subsets` above one keeps one image per
// subset (at most the views' count). Fails with "memory allocation
// error.".
Status AllocateSolverWork(const Problem &problem, SolverWork *work, Method method = Method::kSirt, int subsets = 1);

// Called after each iteration with its number (1 ...) and the residual's
// norm |b - A x| of the image it left.
struct Report {
    void (*line)(int iteration, double residual, void *context);
    void *context;
};

// Runs `iterations` iterations into `image` (pixels of the grid, written
// from zero). A report, when given, costs SIRT one projection more.
void Sirt(const Problem &problem, int iterations, bool nonnegative, SolverWork *work, double *image,
          const Report *report);
void Cgls(const Problem &problem, int iterations, SolverWork *work, double *image, const Report *report);

// SIRT over the subsets the work was made with (one subset: Sirt itself).
void OrderedSubsetSirt(const Problem &problem, int iterations, bool nonnegative, SolverWork *work, double *image,
                       const Report *report);

// The settings of TV. `lambda` is relative: the weight of the variation
// is lambda times TvScale, so that one value serves any scale of the
// samples, any pixel and any number of views.
struct TvSettings {
    int iterations;     // at most
    bool nonnegative;
    double lambda;
    double tolerance;   // stop once |x_k - x_(k-1)| <= tolerance |x_k|; 0: never
};

// A default that serves sparse and limited-range scans of piecewise
// constant objects, clean or noisy, and the default tolerance.
inline constexpr double kTvLambda = 0.3;
inline constexpr double kTvTolerance = 3e-4;
inline constexpr int kTvIterations = 300;

// The deviation of the noise of the samples, estimated from the median
// magnitude of their second differences along each view (robust against
// the edges of the object, which are few).
double NoiseLevel(const double *b, int views, int detectors);

// The variation's weight per unit of lambda for a first image x0 of the
// problem and the noise's deviation (NoiseLevel): the image's typical
// density sum x0^2 / sum |x0| (a constant object of any size gives its
// density) times the number of views, which the data term grows with,
// plus a part for the noise, whose back-projection grows with the square
// root of the views.
double TvScale(const double *first_image, std::size_t pixels, int views, double noise);

// Called after each iteration with its number (1 ...), the objective
// 1/2 |A x - b|^2 + w TV(x) of its image, w = lambda TvScale (A x taken
// as the mean of the projections of the extrapolated images, which it
// equals but for rounding), and the relative change |x_k - x_(k-1)| / |x_k|.
struct TvReport {
    void (*line)(int iteration, double objective, double change, void *context);
    void *context;
};

// Runs TV into `image`; *ran receives the number of iterations run. A
// report, when given, costs one projection more.
void Tv(const Problem &problem, const TvSettings &settings, SolverWork *work, double *image, const TvReport *report,
        int *ran);
