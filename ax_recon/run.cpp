#include "run.h"

#include <cmath>
#include <cstddef>

#include "checks.h"
#include "error.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "profile.h"
#include "real.h"
#include "recon.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : ax_recon projection {views} interval CT-value";

const Operand kOperands[] = {
    {"projection", "the profile: a count, then its samples from the axis out ('-': standard input)"},
    {"views", "views over the half turn (default: the count times pi)"},
    {"interval", "the detector interval"},
    {"CT-value", "the profile of CT values written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 3, 4, true};

}  // namespace

int RunAxRecon(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    Profile profile;
    Check(ReadProfile(arg[0], 2, &profile));
    int n = profile.count;
    int views = 0;
    Check(operands == 3 ? DefaultViews(n, &views) : ViewsArgument(arg[1], &views));
    double dtheta = ViewStep(views);
    double interval = 0;
    Check(IntervalArgument(arg[operands - 2], &interval));
    // An interval so small that the values could not be finite.
    if (!std::isfinite(dtheta / interval)) Error("bad detector interval.");
    Real *kernel = static_cast<Real *>(AllocateArray(KernelTableLength(n), sizeof(Real)));
    if (kernel == nullptr) Error("memory allocation error.");

    Output out;
    Check(OpenOutput(arg[operands - 1], "file not open.", &out));
    Check(WriteCountLine(out.stream, n));
    TabulateKernel(n, kernel);
    FilterProfile(profile.samples, n, kernel, profile.extra);
    // The profile itself is no longer needed: it takes the CT values.
    bool finite_input = AllFinite(profile.samples, static_cast<std::size_t>(n));
    BackProject(profile.extra, n, views, dtheta, interval, profile.samples);
    // Finite samples whose values are not finite: sums beyond the range.
    if (finite_input && !AllFinite(profile.samples, static_cast<std::size_t>(n))) Error("result out of range.");
    Check(WriteValues(out.stream, profile.samples, n));
    Check(FinishOutput(&out, "data write error."));
    ReleaseArray(kernel);
    ReleaseProfile(&profile);
    return 0;
}
