#include "run.h"

#include <climits>
#include <cmath>
#include <string>

#include "args.h"
#include "checks.h"
#include "error.h"
#include "command.h"
#include "image.h"
#include "memory.h"
#include "output.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : disk_image K xC yC R1 {R2 ...} IMG";

const Operand kOperands[] = {
    {"K", "the image side, pixels"},
    {"xC yC", "the disks' centre, in pixels from the axis"},
    {"R1 {R2 ...}", "radii: a positive one adds a disk of unit density, a negative one takes it away"},
    {"IMG", "the image written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 5, INT_MAX};

}  // namespace

int RunDiskImage(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    int size = 0;
    Check(StrictInt(arg[0], "bad image size.", &size));
    if (!ImageSizeFits(size)) Error("bad image size.");
    double xc = 0, yc = 0;
    Check(StrictReal(arg[1], "bad center.", &xc));
    Check(StrictReal(arg[2], "bad center.", &yc));
    if (!std::isfinite(xc) || !std::isfinite(yc)) Error("bad center.");

    int count = operands - 4;
    double *radius = static_cast<double *>(AllocateArray(count, sizeof(double)));
    if (radius == nullptr) Error("memory allocation error.");
    Check(ParseSignedRadii(argv + 4, count, radius));
    SampleSink sink;
    Check(AllocateSink(static_cast<std::size_t>(size), "memory allocation error.", &sink));

    std::string output = NamePrefix(arg[operands - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(OpenOutput(arg[operands - 1], (output + "file not open.").c_str(), &out));
    AttachSink(&sink, out.stream, write_failure.c_str());
    Check(WriteCheckedHeader(out.stream, size, size, write_failure.c_str()));
    Check(WriteDiskImage(&sink, DiskPhantom{xc, yc, count, radius}, size));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseSink(&sink);
    ReleaseArray(radius);
    return 0;
}
