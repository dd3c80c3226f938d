#include "run.h"

#include <cmath>

#include "args.h"
#include "error.h"
#include "sinogram.h"
#include "stats.h"
#include "streams.h"

int RunSinoStat(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc < 2 || argc > 4) Error("usage : sino_stat A {B {radius}}");
    double radius = INFINITY;
    if (argc == 4) {
        radius = RealArgument(argv[3]);
        if (!(radius > 0)) Error("bad radius.");
    }
    bool compared = argc >= 3;

    Sinogram a = ReadSinogram(argv[1], "A ");
    Sinogram b{};
    if (compared) {
        b = ReadSinogram(argv[2], "B ");
        if (b.columns != a.columns || b.rows != a.rows) Error("size mismatch.");
    }

    ImageStats stats = ComputeStats(a.samples, compared ? b.samples : nullptr, a.columns, a.rows, radius);
    if (stats.count == 0 || (compared && stats.compared == 0)) Error("no samples.");
    PrintStats(stdout, stats, a.columns, a.rows, compared);
    FinishOutput(stdout, "data write error.");
    return 0;
}
