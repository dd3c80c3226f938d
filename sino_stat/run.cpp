#include "run.h"

#include <cmath>

#include "args.h"
#include "error.h"
#include "image_file.h"
#include "command.h"
#include "output.h"
#include "sinogram.h"
#include "stats.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_stat A {B {radius}}";

const Operand kOperands[] = {
    {"A", "a sinogram or image ('-': standard input)"},
    {"B", "a second one of the same size, compared with A"},
    {"radius", "only pixels within this radius of the image's middle"},
};
const Command kCommand{kUsage, {}, kOperands, 1, 3};

}  // namespace

int RunSinoStat(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    double radius = INFINITY;
    if (operands == 3) {
        Check(StrictReal(arg[2], "bad radius.", &radius));
        if (!(radius > 0)) Error("bad radius.");
    }
    bool compared = operands >= 2;

    // Messages about a named file name it; standard input is "A" or "B".
    Sinogram a, b{};
    Check(ReadImageFile(arg[0], NamePrefix(arg[0], "A "), &a));
    if (compared) {
        Check(ReadImageFile(arg[1], NamePrefix(arg[1], "B "), &b));
        if (b.columns != a.columns || b.rows != a.rows) Error("size mismatch.");
    }

    ImageStats stats = ComputeStats(a.samples, compared ? b.samples : nullptr, a.columns, a.rows, radius);
    if (stats.count == 0 || (compared && stats.compared == 0)) Error("no samples.");
    if (stats.overflow) Error("result out of range.");
    PrintStats(stdout, stats, a.columns, a.rows, compared);
    Check(FlushStandardOutput("data write error."));
    return 0;
}
