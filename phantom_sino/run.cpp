#include "run.h"

#include <string>
#include <vector>

#include "angles_file.h"
#include "args.h"
#include "checks.h"
#include "error.h"
#include "command.h"
#include "output.h"
#include "output_name.h"
#include "phantom.h"
#include "phantom_file.h"
#include "phantom_views.h"
#include "sinogram.h"
#include "sink.h"
#include "streams.h"
#include "views.h"

namespace {

constexpr const char *kUsage = "usage : phantom_sino [-a ANGLES] PHANTOM N c M SG";
const Operand kOperands[] = {
    {"PHANTOM", "a file of ellipses, or shepp-logan:R (the head of radius R)"},
    {"N", "detectors per view"},
    {"c", "the rotation axis, in detector intervals from detector 0"},
    {"M", "views"},
    {"SG", "the sinogram written ('-': standard output)"},
};

}  // namespace

int RunPhantomSino(int argc, char **argv) {
    const char *angles = nullptr;
    const Option options[] = {Value('a', "ANGLES", "a file of the views' angles in degrees, one per view (default: an even half turn)", &angles)};
    CommandLine line;
    Check(ReadCommandLine(argc, argv, Command{kUsage, options, kOperands, 5, 5}, &line));
    if (line.helped) return 0;
    char **arg = line.operands;

    int detectors = 0;
    Check(StrictInt(arg[1], "bad detector number.", &detectors));
    if (detectors <= 0) Error("bad detector number.");
    double axis = 0;
    Check(CenterArgument(arg[2], detectors, &axis));
    int count = 0;
    Check(StrictInt(arg[3], "bad projection number.", &count));
    if (count <= 0) Error("bad projection number.");
    Phantom phantom;
    Check(ReadPhantom(arg[0], &phantom));
    ViewSet views;
    Check(angles != nullptr ? ReadAngles(angles, count, &views) : EvenHalfTurn(count, &views));
    SampleSink sink;
    Check(AllocateSink(static_cast<std::size_t>(detectors), "memory allocation error.", &sink));

    std::string output = NamePrefix(arg[4], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(CheckOutputName(arg[4], OutputRules{OutputKind::kSinogram, "sinogram", {arg[0], angles}, nullptr, nullptr}));
    Check(OpenOutput(arg[4], (output + "file not open.").c_str(), &out));
    AttachSink(&sink, out.stream, write_failure.c_str());
    Check(WriteCheckedHeader(out.stream, detectors, count, write_failure.c_str()));
    Check(WritePhantomViews(&sink, phantom, views, detectors, axis));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseSink(&sink);
    ReleaseViews(&views);
    ReleasePhantom(&phantom);
    return 0;
}
