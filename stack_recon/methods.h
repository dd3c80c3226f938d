// The slice methods of -M: filtered back-projection (pixel by pixel or by
// gridding) and sino_iter's iterative methods, with sino_iter's settings
// (its -i, -n and -e; its -s and -l, whose letters stack_recon gives to the
// slice size and to line integrals, are -S and -L here). An iterative
// slice is the image sino_iter writes for that row's sinogram with a
// detector interval of 1, computed by the same solver with OpenMP inside
// the slice, so it does not depend on the number of threads.
#pragma once

#include <cstddef>

#include "grid.h"
#include "progress.h"
#include "solvers.h"
#include "status.h"
#include "views.h"
#include "volume.h"

enum class SliceMethod { kFbp, kFourier, kSirt, kCgls, kTv };

// "fbp", "fourier", "sirt", "cgls" or "tv" (exactly so); fails with
// "unknown method (fbp, fourier, sirt, cgls or tv)." for any other word.
Status SliceMethodArgument(const char *text, SliceMethod *method);

inline bool IsIterative(SliceMethod method) { return method != SliceMethod::kFbp && method != SliceMethod::kFourier; }

// The solver of an iterative method.
Method SolverMethod(SliceMethod method);

// The words of the iterative options as given (null: not given).
struct IterativeWords {
    const char *iterations = nullptr;  // -i
    const char *subsets = nullptr;     // -S
    const char *lambda = nullptr;      // -L
    const char *tolerance = nullptr;   // -e
    bool nonnegative = false;          // -n
};

struct IterativeSettings {
    int iterations = 0;
    int subsets = 1;
    bool nonnegative = false;
    TvSettings tv{kTvIterations, false, kTvLambda, kTvTolerance};
};

// Reads the words in sino_iter's order, with its messages ("bad number of
// iterations.", "bad number of subsets.", "bad lambda.", "bad
// tolerance."). The iteration count left is the method's own default when
// -i is not given (sino_iter's: 100, tv 300).
Status IterativeArgument(const IterativeWords &words, SliceMethod method, IterativeSettings *settings);

// The words against the method: "-n needs the sirt or tv method.", "-S
// needs the sirt method.", "-L and -e need the tv method.", "-i needs the
// sirt, cgls or tv method.".
Status IterativeWordsFit(const IterativeWords &words, SliceMethod method);

// At least the bytes AllocateSolverWork takes for `method` on slices of
// `size` pixels a side from `views` views of `columns` detectors (its
// images and sinograms, the projector's scratch, the subsets' tables and
// tv's filter on `threads` threads).
double SolverBytes(SliceMethod method, int subsets, int size, int views, int columns, int threads);

// The solver's work for slices of `grid` from `views` views of `columns`
// detectors; fails with "memory allocation error.".
Status MakeSolverWork(SliceMethod method, const IterativeSettings &settings, const ViewSet &views, const Grid &grid,
                      int columns, SolverWork *work);

// Reconstructs `rows` sinograms (at band, views.count x columns doubles
// each; detector rows start ... start + rows - 1, slices index ... of the
// volume, axes axes[0 ...]) one after the other with the iterative method,
// each into `image` (grid.size^2 doubles), and writes each slice. The
// progress line names the row being iterated and counts each slice done.
// Fails with "result out of range." when finite samples give an image
// that is not, or with the volume's messages.
Status IterateRows(SliceMethod method, const IterativeSettings &settings, const ViewSet &views, const Grid &grid,
                   int columns, const double *axes, int start, int index, int rows, const double *band,
                   SolverWork *work, double *image, Volume *volume, Progress &progress);
