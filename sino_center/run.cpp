#include "run.h"

#include <cstdio>

#include "center.h"
#include "error.h"
#include "sinogram.h"
#include "streams.h"

int RunSinoCenter(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 2) Error("usage : sino_center SG");
    Sinogram sinogram = ReadSinogram(argv[1], "");
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
    FinishOutput(stdout, "data write error.");
    return 0;
}
