#include "run.h"

#include <cctype>
#include <cstdint>
#include <string>

#include "args.h"
#include "error.h"
#include "filter_output.h"
#include "command.h"
#include "noise.h"
#include "output.h"
#include "output_name.h"
#include "sink.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_noise SG I0 seed SG2";

const Operand kOperands[] = {
    {"SG", "line integrals ('-': standard input)"},
    {"I0", "counts per detector in the open beam"},
    {"seed", "the random seed: the same seed gives the same bytes"},
    {"SG2", "the noisy sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 4, 4};

// The seed: a whole number from 0 to 2^64 - 1 in decimal digits and
// nothing else, so that a mistyped seed is refused rather than read as
// another.
bool ReadSeed(const char *text, std::uint64_t *seed) {
    if (*text == '\0') return false;
    std::uint64_t value = 0;
    for (const char *p = text; *p != '\0'; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        std::uint64_t digit = static_cast<std::uint64_t>(*p - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    *seed = value;
    return true;
}

}  // namespace

int RunSinoNoise(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    Scan scan{0, 0};
    Check(StrictReal(arg[1], "bad open beam count.", &scan.open));
    if (!(scan.open >= kFewestOpenCounts && scan.open <= kMostOpenCounts)) Error("bad open beam count.");
    if (!ReadSeed(arg[2], &scan.seed)) Error("bad seed.");

    std::string input = NamePrefix(arg[0], "");
    FILE *in = nullptr;
    Check(OpenInput(arg[0], "rb", (input + "file not found.").c_str(), &in));
    int columns = 0, rows = 0;
    Check(ReadCheckedHeader(in, input, &columns, &rows));
    SampleSink sink;
    Check(AllocateSink(0, "memory allocation error.", &sink));

    const char *name = arg[3];
    std::string write_failure = NamePrefix(name, "") + "data write error.";
    Output out;
    // A filter may write in place (the output replaces the input only when
    // complete); a file of another kind is never replaced.
    Check(CheckOutputName(name, OutputRules{OutputKind::kSinogram, "sinogram", {}, nullptr, nullptr}));
    Check(OpenFilterOutput(in, name, columns, rows, write_failure, &sink, &out));
    std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    Check(NoiseStream(in, &sink, scan, columns, count, input, input + "data read error."));
    Check(FinishOutput(&out, write_failure.c_str()));
    CloseInput(in);
    ReleaseSink(&sink);
    return 0;
}
