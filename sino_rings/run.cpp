#include "run.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "error.h"
#include "image_file.h"
#include "checks.h"
#include "command.h"
#include "rings.h"
#include "output.h"
#include "output_name.h"
#include "sinogram.h"
#include "streams.h"
#include "threads.h"

namespace {

constexpr const char *kUsage = "usage : sino_rings SG {method {size}} SG2";

const Operand kOperands[] = {
    {"SG", "the sinogram ('-': standard input)"},
    {"method", "auto (default), detect, sort or fft"},
    {"size", "the method's filter size"},
    {"SG2", "the sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 2, 4};

}  // namespace

int RunSinoRings(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    StripeMethod method = StripeMethod::kAuto;
    if (operands >= 3) Check(MethodArgument(arg[1], &method));
    int size = DefaultSize(method);
    if (operands == 4) Check(SizeArgument(arg[2], &size));

    std::string input = NamePrefix(arg[0], "");
    Sinogram sinogram;
    Check(ReadSinogramFile(arg[0], input, &sinogram));
    std::size_t count = static_cast<std::size_t>(sinogram.columns) * static_cast<std::size_t>(sinogram.rows);
    if (!AllFinite(sinogram.samples, count)) ErrorAbout(input.c_str(), "sample not finite.");
    Check(SizeFitsDetector(method, size, sinogram.columns));
    const char *name = arg[operands - 1];
    std::string output = NamePrefix(name, "");
    std::string write_failure = output + "data write error.";
    Output out;
    // A forgotten output name leaves the method or the sinogram in its place.
    // A filter may write in place (the output replaces the input only when
    // complete); a file of another kind is never replaced.
    Check(CheckOutputName(name, OutputRules{OutputKind::kSinogram, "sinogram", {}, "method",
                                            [](const char *word) { StripeMethod m; return MethodArgument(word, &m).ok(); }}));
    Check(OpenOutput(name, (output + "file not open.").c_str(), &out));
    int threads = ThreadsFor(std::min(sinogram.columns, sinogram.rows));
    Check(RemoveRings(sinogram.samples, sinogram.columns, sinogram.rows, method, size, threads));
    Check(WriteCheckedHeader(out.stream, sinogram.columns, sinogram.rows, write_failure.c_str()));
    Check(WriteBlock(out.stream, sinogram.samples, count * sizeof(double), write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseSinogram(&sinogram);
    return 0;
}
