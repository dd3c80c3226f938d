#include "run.h"

#include <cmath>

#include "args.h"
#include "error.h"
#include "help.h"
#include "output.h"
#include "sinogram.h"
#include "stats.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_stat A {B {radius}}";

}  // namespace

int RunSinoStat(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc < 2 || argc > 4) Error(kUsage);
    double radius = INFINITY;
    if (argc == 4) {
        radius = RealArgument(argv[3]);
        if (!(radius > 0)) Error("bad radius.");
    }
    bool compared = argc >= 3;

    // Messages about a named file name it; standard input is "A" or "B".
    Sinogram a, b{};
    Check(ReadSinogram(argv[1], NamePrefix(argv[1], "A "), &a));
    if (compared) {
        Check(ReadSinogram(argv[2], NamePrefix(argv[2], "B "), &b));
        if (b.columns != a.columns || b.rows != a.rows) Error("size mismatch.");
    }

    ImageStats stats = ComputeStats(a.samples, compared ? b.samples : nullptr, a.columns, a.rows, radius);
    if (stats.count == 0 || (compared && stats.compared == 0)) Error("no samples.");
    if (stats.overflow) Error("result out of range.");
    PrintStats(stdout, stats, a.columns, a.rows, compared);
    Check(FlushStandardOutput("data write error."));
    return 0;
}
