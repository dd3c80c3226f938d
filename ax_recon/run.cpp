#include "run.h"

#include <cmath>
#include <cstddef>

#include "checks.h"
#include "error.h"
#include "help.h"
#include "memory.h"
#include "output.h"
#include "profile.h"
#include "real.h"
#include "recon.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : ax_recon projection {views} interval CT-value";

}  // namespace

int RunAxRecon(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc != 4 && argc != 5) Error(kUsage);
    Profile profile;
    Check(ReadProfile(argv[1], 2, &profile));
    int n = profile.count;
    int views = 0;
    Check(argc == 4 ? DefaultViews(n, &views) : ViewsArgument(argv[2], &views));
    double dtheta = ViewStep(views);
    double interval = 0;
    Check(IntervalArgument(argv[argc - 2], &interval));
    // An interval so small that the values could not be finite.
    if (!std::isfinite(dtheta / interval)) Error("bad detector interval.");
    Real *kernel = static_cast<Real *>(AllocateArray(KernelTableLength(n), sizeof(Real)));
    if (kernel == nullptr) Error("memory allocation error.");

    Output out;
    Check(OpenOutput(argv[argc - 1], "file not open.", &out));
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
