#include "run.h"

#include "error.h"
#include "memory.h"
#include "sinogram.h"
#include "streams.h"
#include "view.h"

int RunSinoView(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 3 && argc != 5) Error("usage : sino_view SG {lo hi} PNG");
    bool windowed = argc == 5;
    Window window = windowed ? WindowArguments(argv[2], argv[3]) : Window{0, 0};

    FILE *in = OpenInput(argv[1], "rb", "file not found.");
    int columns = 0, rows = 0;
    ReadCheckedHeader(in, "", &columns, &rows);
    if (columns > kMaxPngSide || rows > kMaxPngSide) Error("image too large.");
    std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    std::size_t bytes = count * sizeof(double);
    double *samples = static_cast<double *>(ReserveBlock(bytes));
    if (samples == nullptr) Error("memory allocation error.");
    if (!ReadSamples(in, samples, count)) Error("data read error.");
    CloseInput(in);
    if (!windowed) window = SampleWindow(samples, count);

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    WritePng(out, samples, columns, rows, window);
    FinishOutput(out, "data write error.");
    ReleaseBlock(samples, bytes);
    return 0;
}
