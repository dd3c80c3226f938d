#include "run.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "error.h"
#include "checks.h"
#include "help.h"
#include "rings.h"
#include "output.h"
#include "sinogram.h"
#include "streams.h"
#include "threads.h"

namespace {

constexpr const char *kUsage = "usage : sino_rings SG {method {size}} SG2";

}  // namespace

int RunSinoRings(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    if (argc < 3 || argc > 5) Error(kUsage);
    StripeMethod method = StripeMethod::kAuto;
    if (argc >= 4) Check(MethodArgument(argv[2], &method));
    int size = DefaultSize(method);
    if (argc == 5) Check(SizeArgument(argv[3], &size));

    std::string input = NamePrefix(argv[1], "");
    Sinogram sinogram;
    Check(ReadSinogram(argv[1], input, &sinogram));
    std::size_t count = static_cast<std::size_t>(sinogram.columns) * static_cast<std::size_t>(sinogram.rows);
    if (!AllFinite(sinogram.samples, count)) ErrorAbout(input.c_str(), "sample not finite.");
    const char *name = argv[argc - 1];
    std::string output = NamePrefix(name, "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(OpenOutput(name, (output + "file not open.").c_str(), &out));
    int threads = ThreadsFor(std::min(sinogram.columns, sinogram.rows));
    Check(RemoveRings(sinogram.samples, sinogram.columns, sinogram.rows, method, size, threads));
    Check(WriteCheckedHeader(out.stream, sinogram.columns, sinogram.rows, write_failure.c_str()));
    Check(WriteBlock(out.stream, sinogram.samples, count * sizeof(double), write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseSinogram(&sinogram);
    return 0;
}
