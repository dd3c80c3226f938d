#include "run.h"

#include <climits>
#include "args.h"
#include "disks.h"
#include "error.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "real.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : disk_sino N xC yC R1 {R2 R3 ...} M SG";

const Operand kOperands[] = {
    {"N", "detectors per view"},
    {"xC yC", "the disks' centre, in detector intervals from the axis"},
    {"R1 {R2 R3 ...}", "radii: a positive one adds a disk of unit density, a negative one takes it away"},
    {"M", "views over the half turn"},
    {"SG", "the sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 6, INT_MAX, true};

}  // namespace

int RunDiskSino(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    int detectors = IntArgument(arg[0]);
    if (detectors <= 0) Error("bad detector number.");
    double xc = RealArgument(arg[1]);
    double yc = RealArgument(arg[2]);
    int views = IntArgument(arg[operands - 2]);
    if (views <= 0) Error("bad projection number.");

    int count = operands - 5;
    double *radius = static_cast<double *>(AllocateArray(count, sizeof(double)));
    Real *squared = static_cast<Real *>(AllocateArray(count, sizeof(Real)));
    double *t2 = static_cast<double *>(AllocateArray(detectors, sizeof(double)));
    if (radius == nullptr || squared == nullptr || t2 == nullptr) Error("memory allocation error.");
    ParseRadii(argv + 4, count, radius, squared);
    if (ChordsOverflow(radius, squared, count)) Error("result out of range.");
    SampleSink sink;
    Check(AllocateSink(detectors, "memory allocation error.", &sink));

    Output out;
    Check(OpenOutput(arg[operands - 1], "file not open.", &out));
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
