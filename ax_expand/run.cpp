#include "run.h"

#include "error.h"
#include "expand.h"
#include "memory.h"
#include "profile.h"
#include "sinogram.h"
#include "sink.h"
#include "streams.h"

int RunAxExpand(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 3 && argc != 4) Error("usage : ax_expand projection {views} sinogram");
    Profile profile = ReadProfile(argv[1], 1);
    int n = profile.count;
    int views = argc == 3 ? DefaultViewCountOrFail(n) : ViewsArgument(argv[2]);
    int columns = ExpandedColumns(n);
    double *row = static_cast<double *>(AllocateArray(columns, sizeof(double)));
    if (row == nullptr) Error("memory allocation error.");
    SampleSink sink = AllocateSink(static_cast<std::size_t>(columns), "memory allocation error.");

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    AttachSink(&sink, out, "data write error.");
    WriteCheckedHeader(out, columns, views, "data write error.");
    MirrorProfile(profile.samples, n, row);
    WriteRepeatedRow(&sink, row, columns, views);
    FinishOutput(out, "data write error.");
    ReleaseSink(&sink);
    ReleaseArray(row);
    ReleaseProfile(&profile);
    return 0;
}
