#include "run.h"

#include <string>

#include "error.h"
#include "image_file.h"
#include "command.h"
#include "output.h"
#include "output_name.h"
#include "sinogram.h"
#include "streams.h"
#include "view.h"

namespace {

constexpr const char *kUsage = "usage : sino_view SG {lo hi} PNG";

const Operand kOperands[] = {
    {"SG", "the sinogram or image ('-': standard input)"},
    {"lo hi", "the grey window (default: the smallest and largest finite sample)"},
    {"PNG", "the picture written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 2, 4};

}  // namespace

int RunSinoView(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    if (operands == 3) Error(kUsage);
    bool windowed = operands == 4;
    Window window{0, 0};
    if (windowed) Check(WindowArguments(arg[1], arg[2], &window));

    std::string input = NamePrefix(arg[0], "");
    Sinogram image{};
    if (IsImageFile(arg[0])) {
        Check(ReadImageFile(arg[0], input, &image));
        if (image.columns > kMaxPngSide || image.rows > kMaxPngSide) ErrorAbout(input.c_str(), "image too large.");
    } else {
        // A sinogram's size is judged from its header, before its samples.
        FILE *in = nullptr;
        Check(OpenInput(arg[0], "rb", (input + "file not found.").c_str(), &in));
        Check(ReadCheckedHeader(in, input, &image.columns, &image.rows));
        if (image.columns > kMaxPngSide || image.rows > kMaxPngSide) ErrorAbout(input.c_str(), "image too large.");
        Check(ReadSinogramBody(in, input, &image));
        CloseInput(in);
    }
    std::size_t count = image.bytes / sizeof(double);
    if (!windowed) window = SampleWindow(image.samples, count);

    std::string output = NamePrefix(arg[operands - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(CheckOutputName(arg[operands - 1], OutputRules{OutputKind::kPng, "picture", {arg[0]}, nullptr, nullptr}));
    Check(OpenOutput(arg[operands - 1], (output + "file not open.").c_str(), &out));
    Check(WritePng(out.stream, image.samples, image.columns, image.rows, window, write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseSinogram(&image);
    return 0;
}
