#include "run.h"

#include <cmath>
#include <string>

#include "args.h"
#include "error.h"
#include "filter_output.h"
#include "help.h"
#include "output.h"
#include "scale.h"
#include "sink.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : sino_scale SG factor {offset} SG2";

}  // namespace

int RunSinoScale(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc != 4 && argc != 5) Error(kUsage);
    double factor = RealArgument(argv[2]);
    if (!std::isfinite(factor)) Error("bad scale factor.");
    double offset = argc == 5 ? RealArgument(argv[3]) : 0.0;
    if (!std::isfinite(offset)) Error("bad offset.");

    std::string input = NamePrefix(argv[1], "");
    FILE *in = nullptr;
    Check(OpenInput(argv[1], "rb", (input + "file not found.").c_str(), &in));
    int columns = 0, rows = 0;
    Check(ReadCheckedHeader(in, input, &columns, &rows));
    SampleSink sink;
    Check(AllocateSink(0, "memory allocation error.", &sink));

    const char *name = argv[argc - 1];
    std::string write_failure = NamePrefix(name, "") + "data write error.";
    Output out;
    Check(OpenFilterOutput(in, name, columns, rows, write_failure, &sink, &out));
    std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    Check(ScaleStream(in, &sink, count, factor, offset, input + "data read error."));
    Check(FinishOutput(&out, write_failure.c_str()));
    CloseInput(in);
    return 0;
}
