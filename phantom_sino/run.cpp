#include "run.h"

#include <string>
#include <vector>

#include "args.h"
#include "checks.h"
#include "error.h"
#include "help.h"
#include "options.h"
#include "output.h"
#include "phantom.h"
#include "phantom_views.h"
#include "sinogram.h"
#include "sink.h"
#include "streams.h"
#include "views.h"

namespace {

constexpr const char *kUsage = "usage : phantom_sino [-a ANGLES] PHANTOM N c M SG";

}  // namespace

int RunPhantomSino(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    std::vector<OptionWord> words;
    int first = 0;
    Check(ReadOptions(argc, argv, "a:", kUsage, &words, &first));
    const char *angles = words.empty() ? nullptr : words.back().value;
    if (argc - first != 5) Error(kUsage);
    char **arg = argv + first;

    int detectors = IntArgument(arg[1]);
    if (detectors <= 0) Error("bad detector number.");
    double axis = RealArgument(arg[2]);
    if (!CenterInside(axis, detectors)) Error("bad position of rotation center.");
    int count = IntArgument(arg[3]);
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
