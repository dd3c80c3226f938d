#include "run.h"

#include "args.h"
#include "disks.h"
#include "error.h"
#include "memory.h"
#include "real.h"
#include "sinogram.h"
#include "streams.h"

int RunDiskSino(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc < 7) Error("usage : disk_sino N xC yC R1 {R2 R3 ...} M SG");
    int detectors = IntArgument(argv[1]);
    if (detectors <= 0) Error("bad detector number.");
    double xc = RealArgument(argv[2]);
    double yc = RealArgument(argv[3]);
    int views = IntArgument(argv[argc - 2]);
    if (views <= 0) Error("bad projection number.");

    int count = argc - 6;
    double *radius = static_cast<double *>(AllocateArray(count, sizeof(double)));
    Real *squared = static_cast<Real *>(AllocateArray(count, sizeof(Real)));
    double *t2 = static_cast<double *>(AllocateArray(detectors, sizeof(double)));
    if (radius == nullptr || squared == nullptr || t2 == nullptr) Error("memory allocation error.");
    ParseRadii(argv + 4, count, radius, squared);
    SampleSink sink = AllocateSink(detectors, "memory allocation error.");

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    AttachSink(&sink, out, "data write error.");
    WriteCheckedHeader(out, detectors, views, "data write error.");
    WriteDiskViews(&sink, t2, Disks{count, radius, squared}, detectors, views, xc, yc);
    FinishOutput(out, "data write error.");
    ReleaseSink(&sink);
    ReleaseArray(t2);
    ReleaseArray(squared);
    ReleaseArray(radius);
    return 0;
}
