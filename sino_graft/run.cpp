#include "run.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "args.h"
#include "checks.h"
#include "error.h"
#include "geometry.h"
#include "graft.h"
#include "command.h"
#include "output.h"
#include "sinogram.h"
#include "sink.h"
#include "source_table.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_graft SG0 c0 SG1|(N1 M1) c1 dr0/dr1 ot dx dy SG2";

const Operand kOperands[] = {
    {"SG0", "the source sinogram ('-': standard input)"},
    {"c0", "its rotation centre"},
    {"SG1|(N1 M1)", "the target sinogram, or only its detector and view counts"},
    {"c1", "the target's rotation centre"},
    {"dr0/dr1", "the source's pixel size over the target's"},
    {"ot", "the source frame's rotation, degrees"},
    {"dx dy", "the source frame's shift, target pixels"},
    {"SG2", "the grafted sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 9, 10, true};

// The new rotation center is a result the user needs: when it cannot be
// written there is nowhere to say so, and the exit status alone tells.
void ReportCenter(double c2) {
    if (std::fprintf(stderr, "%lf\n", c2) < 0 || std::fflush(stderr) != 0) std::exit(1);
}

}  // namespace

int RunSinoGraft(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    SourceTable table;
    Check(LoadSourceTable(arg[0], &table));
    GraftInputs in{};
    in.n0 = table.columns;
    in.m0 = table.rows;
    in.c0 = RealArgument(arg[1]);
    if (!CenterInside(in.c0, in.n0)) Error("SG0 bad position of rotation center.");
    MirrorClosingRow(table, in.c0);

    FILE *sg1 = nullptr;
    if (operands == 9) {
        Check(OpenInput(arg[2], "rb", "SG1 file not found.", &sg1));
        Check(ReadCheckedHeader(sg1, "SG1 ", &in.n1, &in.m1));
    } else {
        in.n1 = IntArgument(arg[2]);
        if (in.n1 <= 0) Error("SG1 bad number of pixels.");
        in.m1 = IntArgument(arg[3]);
        if (in.m1 <= 0) Error("SG1 bad number of pixels.");
    }
    in.c1 = RealArgument(arg[operands - 6]);
    if (!CenterInside(in.c1, in.n1)) Error("SG1 bad position of rotation center.");
    in.ratio = RealArgument(arg[operands - 5]);
    if (!(in.ratio > 0) || std::isinf(in.ratio)) Error("bad ratio of pixel size.");
    in.ot = RealArgument(arg[operands - 4]);
    in.dx = RealArgument(arg[operands - 3]);
    in.dy = RealArgument(arg[operands - 2]);

    GraftGeometry g{};
    Check(ComputeGeometry(in, &g));
    ReportCenter(g.c2);

    SampleSink sink;
    Check(AllocateSink(GraftChunk(g), "SG2 memory allocation error.", &sink));
    const char *output = arg[operands - 1];
    // SG1 is still being read while SG2 is written: standard output must not
    // be SG1's file (a named SG2 goes to a new file and may be SG1).
    if (sg1 != nullptr && WritesInto(sg1, output)) Error("SG2 file not stored.");
    Output out;
    Check(OpenOutput(output, "SG2 file not stored.", &out));
    AttachSink(&sink, out.stream, "SG2 data write error.");
    Check(WriteCheckedHeader(out.stream, g.width, in.m1, "SG2 data write error."));
    Check(WriteGraftViews(&sink, table, g, sg1, SamplesMayOverflow(table)));
    Check(FinishOutput(&out, "SG2 data write error."));
    if (sg1 != nullptr) CloseInput(sg1);
    ReleaseSink(&sink);
    ReleaseSourceTable(table);
    return 0;
}
