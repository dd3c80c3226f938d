#include "methods.h"

#include <cmath>
#include <cstring>
#include <string>

#include "args.h"
#include "checks.h"
#include "filter.h"
#include "threads.h"

namespace {

// sino_iter's default for sirt and cgls.
constexpr int kDefaultIterations = 100;

// A real at least zero and finite, else `failure`.
Status NonNegativeReal(const char *text, const char *failure, double *value) {
    Status read = StrictReal(text, failure, value);
    if (!read.ok()) return read;
    if (!(*value >= 0) || !std::isfinite(*value)) return Failure(failure);
    return Success();
}

}  // namespace

Status SliceMethodArgument(const char *text, SliceMethod *method) {
    const struct {
        const char *name;
        SliceMethod method;
    } names[] = {{"fbp", SliceMethod::kFbp},
                 {"fourier", SliceMethod::kFourier},
                 {"sirt", SliceMethod::kSirt},
                 {"cgls", SliceMethod::kCgls},
                 {"tv", SliceMethod::kTv}};
    for (const auto &n : names) {
        if (std::strcmp(text, n.name) == 0) {
            *method = n.method;
            return Success();
        }
    }
    return Failure("unknown method (fbp, fourier, sirt, cgls or tv).");
}

Method SolverMethod(SliceMethod method) {
    if (method == SliceMethod::kCgls) return Method::kCgls;
    if (method == SliceMethod::kTv) return Method::kTv;
    return Method::kSirt;
}

Status IterativeArgument(const IterativeWords &words, SliceMethod method, IterativeSettings *s) {
    *s = IterativeSettings{};
    Status status;
    if (words.iterations != nullptr) {
        status = StrictInt(words.iterations, "bad number of iterations.", &s->iterations);
        if (status.ok() && s->iterations <= 0) status = Failure("bad number of iterations.");
    }
    if (status.ok() && words.subsets != nullptr) {
        status = StrictInt(words.subsets, "bad number of subsets.", &s->subsets);
        if (status.ok() && s->subsets <= 0) status = Failure("bad number of subsets.");
    }
    if (status.ok() && words.lambda != nullptr) status = NonNegativeReal(words.lambda, "bad lambda.", &s->tv.lambda);
    if (status.ok() && words.tolerance != nullptr)
        status = NonNegativeReal(words.tolerance, "bad tolerance.", &s->tv.tolerance);
    if (!status.ok()) return status;
    if (s->iterations == 0) s->iterations = method == SliceMethod::kTv ? kTvIterations : kDefaultIterations;
    s->nonnegative = words.nonnegative;
    s->tv.iterations = s->iterations;
    s->tv.nonnegative = words.nonnegative;
    return Success();
}

Status IterativeWordsFit(const IterativeWords &words, SliceMethod method) {
    if (words.nonnegative && method != SliceMethod::kSirt && method != SliceMethod::kTv)
        return Failure("-n needs the sirt or tv method.");
    if (words.subsets != nullptr && method != SliceMethod::kSirt) return Failure("-S needs the sirt method.");
    if ((words.lambda != nullptr || words.tolerance != nullptr) && method != SliceMethod::kTv)
        return Failure("-L and -e need the tv method.");
    if (words.iterations != nullptr && !IsIterative(method)) return Failure("-i needs the sirt, cgls or tv method.");
    return Success();
}

double SolverBytes(SliceMethod method, int subsets, int size, int views, int columns, int threads) {
    double pixels = static_cast<double>(size) * size;
    double samples = static_cast<double>(views) * columns;
    if (subsets > views) subsets = views;
    bool ordered = method == SliceMethod::kSirt && subsets > 1;
    // As AllocateSolverWork counts them.
    double images = method == SliceMethod::kTv ? 5 : ordered ? 1.0 + subsets : 2;
    double sinograms = method == SliceMethod::kTv ? 4 : ordered ? 3 : 2;
    double bytes = (images * pixels + sinograms * samples) * sizeof(double);
    // The projector's image and its transpose, each row with a zero on
    // either side.
    bytes += 2.0 * size * (size + 2.0) * sizeof(double);
    // The subsets: each view's row, angle, cosine, sine and weight, and a
    // view set and first view per subset.
    if (ordered) bytes += views * (sizeof(int) + 4.0 * sizeof(double)) + subsets * (sizeof(ViewSet) + sizeof(int));
    // tv's first image: the filter's spectrum and each thread's view and
    // bins.
    if (method == SliceMethod::kTv) {
        double length = PaddedLength(columns);
        bytes += (length / 2 + 1) * sizeof(double) + threads * (length + (length / 2 + 1) * 2) * sizeof(double);
    }
    return bytes;
}

Status MakeSolverWork(SliceMethod method, const IterativeSettings &settings, const ViewSet &views, const Grid &grid,
                      int columns, SolverWork *work) {
    Problem problem{grid, &views, Detector{columns, 0}, nullptr};
    return AllocateSolverWork(problem, work, SolverMethod(method), settings.subsets);
}

Status IterateRows(SliceMethod method, const IterativeSettings &settings, const ViewSet &views, const Grid &grid,
                   int columns, const double *axes, int start, int index, int rows, const double *band,
                   SolverWork *work, double *image, Volume *volume, Progress &progress) {
    std::size_t sinogram = static_cast<std::size_t>(views.count) * static_cast<std::size_t>(columns);
    std::size_t pixels = static_cast<std::size_t>(grid.size) * static_cast<std::size_t>(grid.size);
    Status status;
    for (int j = 0; status.ok() && j < rows; ++j) {
        ShowStep(progress, index + j, "iterating on row " + std::to_string(start + j));
        const double *samples = band + static_cast<std::size_t>(j) * sinogram;
        // sino_iter divides the samples by the interval, here 1: they stay.
        Problem problem{grid, &views, Detector{columns, axes[j]}, samples};
        if (method == SliceMethod::kSirt) {
            OrderedSubsetSirt(problem, settings.iterations, settings.nonnegative, work, image, nullptr);
        } else if (method == SliceMethod::kCgls) {
            Cgls(problem, settings.iterations, work, image, nullptr);
        } else {
            int ran = 0;
            Tv(problem, settings.tv, work, image, nullptr, &ran);
        }
        if (AllFinite(samples, sinogram) && !AllFinite(image, pixels)) status = Failure("result out of range.");
        if (status.ok()) status = WriteSlice(volume, index + j, image);
        ShowProgress(progress, index + j + 1);
    }
    return status;
}
