#include "run.h"

#include <cstddef>
#include <cstdio>
#include <string>

#include "args.h"
#include "checks.h"
#include "error.h"
#include "fold.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "output_name.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_fold SG c SG2";

const Operand kOperands[] = {
    {"SG", "a sinogram over the whole turn ('-': standard input)"},
    {"c", "its rotation centre"},
    {"SG2", "the half-turn sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 3, 3};
constexpr const char *kMemoryFailure = "memory allocation error.";

}  // namespace

int RunSinoFold(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    Sinogram sinogram;
    Check(ReadSinogram(arg[0], NamePrefix(arg[0], ""), &sinogram));
    const int n = sinogram.columns;
    if (sinogram.rows % 2 != 0) Error("odd number of views for a full turn.");
    const int m = sinogram.rows / 2;
    double center = 0;
    Check(CenterArgument(arg[1], n, &center));
    FoldGeometry geometry;
    if (!MakeFoldGeometry(n, center, &geometry)) Error(kMemoryFailure);
    double *folded = static_cast<double *>(AllocateArray(geometry.width, sizeof(double)));
    if (folded == nullptr) Error(kMemoryFailure);

    const char *name = arg[2];
    std::string output = NamePrefix(name, "");
    std::string write_failure = output + "data write error.";
    Output out;
    // A filter may write in place (the output replaces the input only when
    // complete); a file of another kind is never replaced.
    Check(CheckOutputName(name, OutputRules{OutputKind::kSinogram, "sinogram", {}, nullptr, nullptr}));
    Check(OpenOutput(name, (output + "file not open.").c_str(), &out));
    // The axis goes to standard output: it must not be the sinogram's file.
    if (ReplacesStandardOutput(out)) Error((output + "two outputs name this file.").c_str());
    Check(WriteCheckedHeader(out.stream, geometry.width, m, write_failure.c_str()));
    for (int k = 0; k < m; ++k) {
        const double *view = sinogram.samples + static_cast<std::size_t>(k) * n;
        const double *opposite = sinogram.samples + static_cast<std::size_t>(k + m) * n;
        FoldView(view, opposite, geometry, folded);
        // Finite views whose fold is not: sums beyond the double range.
        if (!AllFinite(folded, static_cast<std::size_t>(geometry.width)) &&
            AllFinite(view, static_cast<std::size_t>(n)) && AllFinite(opposite, static_cast<std::size_t>(n)))
            Error("result out of range.");
        Check(WriteBlock(out.stream, folded, static_cast<std::size_t>(geometry.width) * sizeof(double),
                         write_failure.c_str()));
    }
    Check(CloseOutput(&out, write_failure.c_str()));
    // The axis is the result a reconstruction needs next: printed once the
    // sinogram is complete, and the sinogram put in place only once it is
    // printed. A sinogram on standard output leaves it to standard error.
    if (IsStandardStream(name)) {
        if (std::fprintf(stderr, "%lf\n", FoldedCenter(geometry)) < 0 || std::fflush(stderr) != 0) {
            Error("data write error.");
        }
    } else {
        std::printf("%lf\n", FoldedCenter(geometry));
        Check(FlushStandardOutput("data write error."));
    }
    Check(CommitOutput(&out, write_failure.c_str()));
    ReleaseArray(folded);
    ReleaseSinogram(&sinogram);
    return 0;
}
