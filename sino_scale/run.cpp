#include "run.h"

#include <cmath>

#include "args.h"
#include "error.h"
#include "scale.h"
#include "sink.h"
#include "sinogram.h"
#include "streams.h"

int RunSinoScale(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 4 && argc != 5) Error("usage : sino_scale SG factor {offset} SG2");
    double factor = RealArgument(argv[2]);
    if (!std::isfinite(factor)) Error("bad scale factor.");
    double offset = argc == 5 ? RealArgument(argv[3]) : 0.0;
    if (!std::isfinite(offset)) Error("bad offset.");

    FILE *in = OpenInput(argv[1], "rb", "file not found.");
    int columns = 0, rows = 0;
    ReadCheckedHeader(in, "", &columns, &rows);
    SampleSink sink = AllocateSink(0, "memory allocation error.");

    // SG is still being read while SG2 is written: never the same file.
    const char *output = argv[argc - 1];
    if (IsSameFile(in, output)) Error("file not open.");
    FILE *out = OpenOutput(output, "file not open.");
    AttachSink(&sink, out, "data write error.");
    WriteSinogramHeader(out, columns, rows);  // a failure shows at the final flush
    std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    if (!ScaleStream(in, &sink, count, factor, offset)) Error("data read error.");
    FinishOutput(out, "data write error.");
    CloseInput(in);
    return 0;
}
