#include "run.h"

#include "args.h"
#include "disks.h"
#include "error.h"
#include "help.h"
#include "memory.h"
#include "output.h"
#include "real.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : disk_sino N xC yC R1 {R2 R3 ...} M SG";

}  // namespace

int RunDiskSino(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc < 7) Error(kUsage);
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
    if (ChordsOverflow(radius, squared, count)) Error("result out of range.");
    SampleSink sink;
    Check(AllocateSink(detectors, "memory allocation error.", &sink));

    Output out;
    Check(OpenOutput(argv[argc - 1], "file not open.", &out));
    AttachSink(&sink, out.stream, "data write error.");
    Check(WriteCheckedHeader(out.stream, detectors, views, "data write error."));
    Check(WriteDiskViews(&sink, t2, Disks{count, radius, squared}, detectors, views, xc, yc));
    Check(FinishOutput(&out, "data write error."));
    ReleaseSink(&sink);
    ReleaseArray(t2);
    ReleaseArray(squared);
    ReleaseArray(radius);
    return 0;
}
