#include "run.h"

#include <string>

#include "error.h"
#include "help.h"
#include "output.h"
#include "sinogram.h"
#include "streams.h"
#include "view.h"

namespace {

constexpr const char *kUsage = "usage : sino_view SG {lo hi} PNG";

}  // namespace

int RunSinoView(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc != 3 && argc != 5) Error(kUsage);
    bool windowed = argc == 5;
    Window window{0, 0};
    if (windowed) Check(WindowArguments(argv[2], argv[3], &window));

    std::string input = NamePrefix(argv[1], "");
    FILE *in = nullptr;
    Check(OpenInput(argv[1], "rb", (input + "file not found.").c_str(), &in));
    Sinogram image{};
    Check(ReadCheckedHeader(in, input, &image.columns, &image.rows));
    if (image.columns > kMaxPngSide || image.rows > kMaxPngSide) ErrorAbout(input.c_str(), "image too large.");
    Check(ReadSinogramBody(in, input, &image));
    CloseInput(in);
    std::size_t count = image.bytes / sizeof(double);
    if (!windowed) window = SampleWindow(image.samples, count);

    std::string output = NamePrefix(argv[argc - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(OpenOutput(argv[argc - 1], (output + "file not open.").c_str(), &out));
    Check(WritePng(out.stream, image.samples, image.columns, image.rows, window, write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseSinogram(&image);
    return 0;
}
