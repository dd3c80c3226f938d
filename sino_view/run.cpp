#include "run.h"

#include "error.h"
#include "sinogram.h"
#include "streams.h"
#include "view.h"

int RunSinoView(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 3 && argc != 5) Error("usage : sino_view SG {lo hi} PNG");
    bool windowed = argc == 5;
    Window window = windowed ? WindowArguments(argv[2], argv[3]) : Window{0, 0};

    FILE *in = OpenInput(argv[1], "rb", "file not found.");
    Sinogram image{};
    ReadCheckedHeader(in, "", &image.columns, &image.rows);
    if (image.columns > kMaxPngSide || image.rows > kMaxPngSide) Error("image too large.");
    ReadSinogramBody(in, "", &image);
    CloseInput(in);
    std::size_t count = image.bytes / sizeof(double);
    if (!windowed) window = SampleWindow(image.samples, count);

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    WritePng(out, image.samples, image.columns, image.rows, window);
    FinishOutput(out, "data write error.");
    ReleaseSinogram(&image);
    return 0;
}
