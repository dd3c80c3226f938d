#include "run.h"

#include <cmath>
#include <string>

#include "args.h"
#include "error.h"
#include "filter_output.h"
#include "command.h"
#include "output.h"
#include "output_name.h"
#include "scale.h"
#include "sink.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_scale SG factor {offset} SG2";

const Operand kOperands[] = {
    {"SG", "the sinogram ('-': standard input)"},
    {"factor", "each sample is multiplied by it"},
    {"offset", "then this is added (default 0)"},
    {"SG2", "the sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 3, 4};

}  // namespace

int RunSinoScale(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    double factor = 0, offset = 0;
    Check(StrictReal(arg[1], "bad scale factor.", &factor));
    if (!std::isfinite(factor)) Error("bad scale factor.");
    if (operands == 4) Check(StrictReal(arg[2], "bad offset.", &offset));
    if (!std::isfinite(offset)) Error("bad offset.");

    std::string input = NamePrefix(arg[0], "");
    FILE *in = nullptr;
    Check(OpenInput(arg[0], "rb", (input + "file not found.").c_str(), &in));
    int columns = 0, rows = 0;
    Check(ReadCheckedHeader(in, input, &columns, &rows));
    SampleSink sink;
    Check(AllocateSink(0, "memory allocation error.", &sink));

    const char *name = arg[operands - 1];
    std::string write_failure = NamePrefix(name, "") + "data write error.";
    Output out;
    // A filter may write in place (the output replaces the input only when
    // complete); a file of another kind is never replaced.
    Check(CheckOutputName(name, OutputRules{OutputKind::kSinogram, "sinogram", {}, nullptr, nullptr}));
    Check(OpenFilterOutput(in, name, columns, rows, write_failure, &sink, &out));
    std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    Check(ScaleStream(in, &sink, count, factor, offset, input + "data read error."));
    Check(FinishOutput(&out, write_failure.c_str()));
    CloseInput(in);
    return 0;
}
