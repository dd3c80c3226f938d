#include "run.h"

#include <cmath>
#include <string>

#include "args.h"
#include "checks.h"
#include "error.h"
#include "help.h"
#include "image.h"
#include "memory.h"
#include "output.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : disk_image K xC yC R1 {R2 ...} IMG";

}  // namespace

int RunDiskImage(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc < 6) Error(kUsage);
    int size = IntArgument(argv[1]);
    if (!ImageSizeFits(size)) Error("bad image size.");
    double xc = RealArgument(argv[2]);
    double yc = RealArgument(argv[3]);
    if (!std::isfinite(xc) || !std::isfinite(yc)) Error("bad center.");

    int count = argc - 5;
    double *radius = static_cast<double *>(AllocateArray(count, sizeof(double)));
    if (radius == nullptr) Error("memory allocation error.");
    ParseSignedRadii(argv + 4, count, radius);
    SampleSink sink;
    Check(AllocateSink(static_cast<std::size_t>(size), "memory allocation error.", &sink));

    std::string output = NamePrefix(argv[argc - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(OpenOutput(argv[argc - 1], (output + "file not open.").c_str(), &out));
    AttachSink(&sink, out.stream, write_failure.c_str());
    Check(WriteCheckedHeader(out.stream, size, size, write_failure.c_str()));
    Check(WriteDiskImage(&sink, DiskPhantom{xc, yc, count, radius}, size));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseSink(&sink);
    ReleaseArray(radius);
    return 0;
}
