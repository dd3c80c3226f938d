#include "run.h"

#include "error.h"
#include "memory.h"
#include "profile.h"
#include "real.h"
#include "recon.h"
#include "streams.h"

int RunAxRecon(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 4 && argc != 5) Error("usage : ax_recon projection {views} interval CT-value");
    Profile profile = ReadProfile(argv[1], 2);
    int n = profile.count;
    int views = argc == 4 ? DefaultViewCountOrFail(n) : ViewsArgument(argv[2]);
    double dtheta = ViewStep(views);
    double interval = IntervalArgument(argv[argc - 2]);
    Real *kernel = static_cast<Real *>(AllocateArray(KernelTableLength(n), sizeof(Real)));
    if (kernel == nullptr) Error("memory allocation error.");

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    WriteCountLine(out, n);
    TabulateKernel(n, kernel);
    FilterProfile(profile.samples, n, kernel, profile.extra);
    // The profile itself is no longer needed: it takes the CT values.
    BackProject(profile.extra, n, views, dtheta, interval, profile.samples);
    WriteValues(out, profile.samples, n);
    FinishOutput(out, "data write error.");
    ReleaseArray(kernel);
    ReleaseProfile(&profile);
    return 0;
}
