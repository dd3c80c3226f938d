// sino_graft: SG0 resampled into SG1's geometry and grafted around SG1's own
// samples; the rotation centre of the result goes to standard error.
#include <cmath>
#include <cstdio>

#include "args.h"
#include "error.h"
#include "geometry.h"
#include "graft.h"
#include "sinogram.h"
#include "source_table.h"
#include "streams.h"

int main(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 10 && argc != 11) Error("usage : sino_graft SG0 c0 SG1|(N1 M1) c1 dr0/dr1 ot dx dy SG2");
    SourceTable table = LoadSourceTable(argv[1]);
    GraftGeometry g{};
    g.n0 = table.columns;
    g.m0 = table.rows;
    g.c0 = RealArgument(argv[2]);
    if (!(g.c0 > 0 && g.c0 < g.n0 - 1)) Error("SG0 bad position of rotation center.");
    MirrorClosingRow(table, g.c0);

    FILE *sg1 = nullptr;
    if (argc == 10) {
        sg1 = OpenInput(argv[3], "rb", "SG1 file not found.");
        if (!ReadSinogramHeader(sg1, &g.n1, &g.m1) || g.n1 <= 0 || g.m1 <= 0) Error("SG1 bad number of pixels.");
    } else {
        g.n1 = IntArgument(argv[3]);
        if (g.n1 <= 0) Error("SG1 bad number of pixels.");
        g.m1 = IntArgument(argv[4]);
        if (g.m1 <= 0) Error("SG1 bad number of pixels.");
    }
    g.c1 = RealArgument(argv[argc - 6]);
    if (!(g.c1 > 0 && g.c1 < g.n1 - 1)) Error("SG1 bad position of rotation center.");
    g.ratio = RealArgument(argv[argc - 5]);
    if (!(g.ratio > 0) || std::isinf(g.ratio)) Error("bad ratio of pixel size.");

    const char *problem = ComputeGeometry(&g, RealArgument(argv[argc - 4]), RealArgument(argv[argc - 3]),
                                          RealArgument(argv[argc - 2]));
    if (problem != nullptr) Error(problem);
    std::fprintf(stderr, "%lf\n", g.c2);

    SampleSink sink = AllocateSink(GraftChunk(g), "SG2 memory allocation error.");

    const char *output = argv[argc - 1];
    if (sg1 != nullptr && IsSameFile(sg1, output)) Error("SG2 file not stored.");
    FILE *out = OpenOutput(output, "SG2 file not stored.");
    AttachSink(&sink, out, "SG2 data write error.");
    WriteSinogramHeader(out, g.width, g.m1);  // a failure shows at the final flush
    WriteGraftViews(&sink, table, g, sg1);
    FinishOutput(out, "SG2 data write error.");
    if (sg1 != nullptr) CloseInput(sg1);
    ReleaseSourceTable(table);
    return 0;
}
