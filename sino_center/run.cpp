#include "run.h"

#include <cstdio>
#include <string>

#include "center.h"
#include "error.h"
#include "help.h"
#include "output.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_center SG";

}  // namespace

int RunSinoCenter(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc != 2) Error(kUsage);
    Sinogram sinogram;
    Check(ReadSinogram(argv[1], NamePrefix(argv[1], ""), &sinogram));
    if (sinogram.columns < kMinDetectors || sinogram.rows < kMinViews) {
        Error("sinogram too small to find the center.");
    }
    CenterWork work;
    if (!AllocateCenterWork(&work, sinogram.columns, sinogram.rows)) Error("memory allocation error.");

    CenterEstimate estimate = FindCenter(sinogram.samples, &work);
    ReleaseCenterWork(&work);
    ReleaseSinogram(&sinogram);
    if (!estimate.found) Error("no clear center: the halves of the turn do not match.");

    std::printf("%lf\n", estimate.center);
    Check(FlushStandardOutput("data write error."));
    return 0;
}
