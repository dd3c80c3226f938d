#include "run.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "angles_file.h"
#include "args.h"
#include "checks.h"
#include "error.h"
#include "image_file.h"
#include "fbp.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "output_name.h"
#include "sinogram.h"
#include "solvers.h"
#include "streams.h"
#include "vectors.h"
#include "whole_turn.h"

namespace {

constexpr const char *kUsage =
    "usage : sino_iter [-a ANGLES] [-i N] [-n] [-s SUBSETS] [-l LAMBDA] [-e TOL] [-v] SG c interval {size {method}} "
    "IMG";
constexpr int kDefaultIterations = 100;
const Operand kOperands[] = {
    {"SG", "the sinogram: views of line integrals ('-': standard input)"},
    {"c", "the rotation axis, in detector intervals from detector 0"},
    {"interval", "the detector interval, in the unit of the image's densities"},
    {"size", "the image side, pixels (default: the detector count)"},
    {"method", "sirt (default), cgls or tv"},
    {"IMG", "the image written ('-': standard output)"},
};

struct Options {
    const char *angles = nullptr;
    const char *iterations = nullptr;
    const char *subsets = nullptr;
    const char *lambda = nullptr;
    const char *tolerance = nullptr;
    bool nonnegative = false;
    bool verbose = false;
};

// A real option at least zero and finite, else `failure`.
double NonNegativeReal(const char *text, const char *failure) {
    double value = 0;
    Check(StrictReal(text, failure, &value));
    if (!(value >= 0) || !std::isfinite(value)) Error(failure);
    return value;
}

// -v: one line per iteration on standard error.
void PrintResidual(int iteration, double residual, void *) {
    std::fprintf(stderr, "iteration %d residual %.9g\n", iteration, residual);
}

void PrintObjective(int iteration, double objective, double change, void *) {
    std::fprintf(stderr, "iteration %d objective %.9g change %.3g\n", iteration, objective, change);
}

}  // namespace

int RunSinoIter(int argc, char **argv) {
    Options options;
    const Option table[] = {
        Value('a', "ANGLES", "a file of the views' angles in degrees, one per view (default: an even half turn)",
              &options.angles),
        Value('i', "N", "iterations (default 100; tv: 300, fewer when -e stops it)", &options.iterations),
        Flag('n', "keep the image non-negative (sirt, tv)", &options.nonnegative),
        Value('s', "SUBSETS", "sirt over this many ordered subsets of views (default 1)", &options.subsets),
        Value('l', "LAMBDA", "tv: the weight of total variation, relative to the data (default 0.3)",
              &options.lambda),
        Value('e', "TOL", "tv: stop when the image changes by less than this share (default 3e-4)",
              &options.tolerance),
        Flag('v', "print each iteration's residual (tv: objective and change) on standard error",
             &options.verbose),
    };
    CommandLine line;
    Check(ReadCommandLine(argc, argv, Command{kUsage, table, kOperands, 4, 6}, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    int iterations = 0;
    if (options.iterations != nullptr) {
        Check(StrictInt(options.iterations, "bad number of iterations.", &iterations));
        if (iterations <= 0) Error("bad number of iterations.");
    }
    int subsets = 1;
    if (options.subsets != nullptr) {
        Check(StrictInt(options.subsets, "bad number of subsets.", &subsets));
        if (subsets <= 0) Error("bad number of subsets.");
    }
    TvSettings tv{kTvIterations, options.nonnegative, kTvLambda, kTvTolerance};
    if (options.lambda != nullptr) tv.lambda = NonNegativeReal(options.lambda, "bad lambda.");
    if (options.tolerance != nullptr) tv.tolerance = NonNegativeReal(options.tolerance, "bad tolerance.");

    std::string input = NamePrefix(arg[0], "");
    Sinogram sinogram;
    Check(ReadSinogramFile(arg[0], input, &sinogram));
    ViewSet views;
    Check(options.angles != nullptr ? ReadAngles(options.angles, sinogram.rows, &views, stderr)
                                    : EvenHalfTurn(sinogram.rows, &views));
    // The iterations bridge a limited range, but not views that all look
    // one way: that gets the warning filtered back-projection gives.
    if (OneDirection(views)) {
        if (std::string warning = LimitedRangeWarning(views); !warning.empty()) Warn(warning);
    }
    Problem problem{AxisGrid(sinogram.columns), &views, Detector{sinogram.columns, 0}, sinogram.samples};
    double interval = 0;
    Check(CenterArgument(arg[1], sinogram.columns, &problem.detector.axis));
    Check(StrictIntervalArgument(arg[2], &interval));
    if (!std::isfinite(1 / interval)) Error("bad detector interval.");
    int size = sinogram.columns;
    if (operands >= 5) Check(StrictInt(arg[3], "bad image size.", &size));
    if (!ImageSizeFits(size)) Error("bad image size.");
    problem.grid.size = size;
    Method method = Method::kSirt;
    if (operands == 6) Check(MethodArgument(arg[4], &method));
    if (options.nonnegative && method == Method::kCgls) Error("-n needs the sirt or tv method.");
    if (options.subsets != nullptr && method != Method::kSirt) Error("-s needs the sirt method.");
    if ((options.lambda != nullptr || options.tolerance != nullptr) && method != Method::kTv)
        Error("-l and -e need the tv method.");
    Check(CheckSamplesFinite(sinogram, input));
    if (AxisAndIntervalSwapped(sinogram.columns, problem.detector.axis, interval))
        Warn(SwappedAxisWarning(problem.detector.axis, interval));
    if (std::string warning = OneViewWarning(sinogram.rows); !warning.empty()) Warn(warning);
    // Views taken for an even half turn (no -a) that cover the whole one.
    if (options.angles == nullptr &&
        LooksLikeWholeTurn(sinogram.samples, sinogram.columns, sinogram.rows, problem.detector.axis))
        Warn(WholeTurnWarning("give the angles with -a"));
    if (iterations == 0) iterations = method == Method::kTv ? kTvIterations : kDefaultIterations;
    tv.iterations = iterations;

    std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    std::size_t samples = static_cast<std::size_t>(sinogram.columns) * static_cast<std::size_t>(sinogram.rows);
    // The image and the solver's two images and two sinograms, asked for
    // together: none is touched when they cannot all be had.
    if (!MemoryFits((3.0 * static_cast<double>(pixels) + 2.0 * static_cast<double>(samples)) * sizeof(double)))
        Error("memory allocation error.");
    double *image = static_cast<double *>(AllocateBlock(pixels * sizeof(double)));
    if (image == nullptr) Error("memory allocation error.");
    SolverWork work;
    Check(AllocateSolverWork(problem, &work, method, subsets));

    std::string output = NamePrefix(arg[operands - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    // A forgotten output name leaves the method or the sinogram in its place.
    Check(CheckOutputName(arg[operands - 1], OutputRules{OutputKind::kSinogram, "image", {arg[0], options.angles}, "method",
                                                         [](const char *name) { Method m; return MethodArgument(name, &m).ok(); }}));
    Check(OpenOutput(arg[operands - 1], (output + "file not open.").c_str(), &out));
    // The samples are line integrals in the interval's unit; the projector's
    // are in detector intervals.
    for (std::size_t i = 0; i < samples; ++i) sinogram.samples[i] /= interval;
    Report report{PrintResidual, nullptr};
    const Report *lines = options.verbose ? &report : nullptr;
    TvReport tv_report{PrintObjective, nullptr};
    int ran = 0;
    if (method == Method::kSirt) {
        OrderedSubsetSirt(problem, iterations, options.nonnegative, &work, image, lines);
    } else if (method == Method::kCgls) {
        Cgls(problem, iterations, &work, image, lines);
    } else {
        Tv(problem, tv, &work, image, options.verbose ? &tv_report : nullptr, &ran);
    }
    // Finite samples whose image is not finite: sums beyond the double range.
    if (!AllFinite(image, pixels)) Error("result out of range.");
    Check(WriteCheckedHeader(out.stream, size, size, write_failure.c_str()));
    Check(WriteBlock(out.stream, image, pixels * sizeof(double), write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseBlock(image, pixels * sizeof(double));
    ReleaseViews(&views);
    ReleaseSinogram(&sinogram);
    return 0;
}
