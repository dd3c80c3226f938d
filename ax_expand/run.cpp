#include "run.h"

#include "error.h"
#include "expand.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "profile.h"
#include "sinogram.h"
#include "sink.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : ax_expand projection {views} sinogram";

const Operand kOperands[] = {
    {"projection", "the profile: a count, then its samples from the axis out ('-': standard input)"},
    {"views", "views over the half turn (default: the count times pi)"},
    {"sinogram", "the sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 2, 3, true};

}  // namespace

int RunAxExpand(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    Profile profile;
    Check(ReadProfile(arg[0], 1, &profile));
    int n = profile.count;
    int views = 0, columns = 0;
    Check(operands == 2 ? DefaultViews(n, &views) : ViewsArgument(arg[1], &views));
    Check(ExpandedColumns(n, &columns));
    double *row = static_cast<double *>(AllocateArray(columns, sizeof(double)));
    if (row == nullptr) Error("memory allocation error.");
    SampleSink sink;
    Check(AllocateSink(static_cast<std::size_t>(columns), "memory allocation error.", &sink));

    Output out;
    Check(OpenOutput(arg[operands - 1], "file not open.", &out));
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
