// Iterative reconstruction: the image x that makes the projections A x
// (geometry/project.h) match the measured samples b, by SIRT or by CGLS.
//
// SIRT (simultaneous iterative reconstruction) takes, from x = 0, the steps
//     x <- x + C A^T R (b - A x),
// R and C the inverses of the projector's row sums (A 1, the length of
// each ray within the image) and column sums (A^T 1), zero where a ray or
// a pixel meets nothing; with `nonnegative`, negative pixels are set to
// zero after each step. CGLS runs conjugate gradients on the normal
// equations A^T A x = A^T b, from x = 0, without forming A^T A: the
// residual |b - A x| never grows from one iteration to the next.
#pragma once

#include <cstddef>

#include "backproject.h"
#include "grid.h"
#include "project.h"
#include "status.h"
#include "views.h"

enum class Method { kSirt, kCgls };

// "sirt" or "cgls"; fails with "unknown method (sirt or cgls).".
Status MethodArgument(const char *text, Method *method);

// What is solved: the grid, the views and the detector of A, and b.
struct Problem {
    Grid grid;
    const ViewSet *views;
    Detector detector;
    const double *b;  // views x detectors samples
};

// Two images, two sinograms and the projector's scratch (two images more).
struct SolverWork {
    std::size_t pixels, samples;
    double *images[2];
    double *sinograms[2];
    double *block;
    std::size_t bytes;
    ProjectionWork projection;
};

// Fails with "memory allocation error.".
Status AllocateSolverWork(const Problem &problem, SolverWork *work);
void ReleaseSolverWork(SolverWork *work);

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
