#include "run.h"

#include <cmath>

#include "args.h"
#include "error.h"
#include "image.h"
#include "memory.h"
#include "sinogram.h"
#include "streams.h"

int RunDiskImage(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc < 6) Error("usage : disk_image K xC yC R1 {R2 ...} IMG");
    int size = IntArgument(argv[1]);
    if (!ImageSizeFits(size)) Error("bad image size.");
    double xc = RealArgument(argv[2]);
    double yc = RealArgument(argv[3]);
    if (!std::isfinite(xc) || !std::isfinite(yc)) Error("bad center.");

    int count = argc - 5;
    double *radius = static_cast<double *>(AllocateArray(count, sizeof(double)));
    if (radius == nullptr) Error("memory allocation error.");
    ParseSignedRadii(argv + 4, count, radius);
    SampleSink sink = AllocateSink(static_cast<std::size_t>(size), "memory allocation error.");

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    AttachSink(&sink, out, "data write error.");
    WriteSinogramHeader(out, size, size);  // a failure shows at the final flush
    WriteDiskImage(&sink, DiskPhantom{xc, yc, count, radius}, size);
    FinishOutput(out, "data write error.");
    return 0;
}
