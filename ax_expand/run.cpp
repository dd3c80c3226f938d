#include "run.h"

#include "error.h"
#include "expand.h"
#include "help.h"
#include "memory.h"
#include "output.h"
#include "profile.h"
#include "sinogram.h"
#include "sink.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : ax_expand projection {views} sinogram";

}  // namespace

int RunAxExpand(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc != 3 && argc != 4) Error(kUsage);
    Profile profile;
    Check(ReadProfile(argv[1], 1, &profile));
    int n = profile.count;
    int views = 0, columns = 0;
    Check(argc == 3 ? DefaultViews(n, &views) : ViewsArgument(argv[2], &views));
    Check(ExpandedColumns(n, &columns));
    double *row = static_cast<double *>(AllocateArray(columns, sizeof(double)));
    if (row == nullptr) Error("memory allocation error.");
    SampleSink sink;
    Check(AllocateSink(static_cast<std::size_t>(columns), "memory allocation error.", &sink));

    Output out;
    Check(OpenOutput(argv[argc - 1], "file not open.", &out));
    AttachSink(&sink, out.stream, "data write error.");
    Check(WriteCheckedHeader(out.stream, columns, views, "data write error."));
    MirrorProfile(profile.samples, n, row);
    Check(WriteRepeatedRow(&sink, row, columns, views));
    Check(FinishOutput(&out, "data write error."));
    ReleaseSink(&sink);
    ReleaseArray(row);
    ReleaseProfile(&profile);
    return 0;
}
