#include "run.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "arguments.h"
#include "checks.h"
#include "error.h"
#include "fbp.h"
#include "help.h"
#include "memory.h"
#include "options.h"
#include "output.h"
#include "range_weights.h"
#include "sinogram.h"
#include "streams.h"
#include "threads.h"

namespace {

constexpr const char *kUsage =
    "usage : sino_recon [-a ANGLES] [-w GAP] [-p PIXEL] [-o X,Y] SG c interval {size {kernel}} IMG";
constexpr const char *kMemoryFailure = "memory allocation error.";

// What the options give: the views' angles, the weights beside a limited
// range's gap, the pixel and the image's center.
struct Options {
    const char *angles = nullptr;
    const char *gap = nullptr;
    const char *pixel = nullptr;
    const char *center = nullptr;
};

Options Sort(const std::vector<OptionWord> &words) {
    Options options;
    for (const OptionWord &w : words) {
        if (w.letter == 'a') options.angles = w.value;
        if (w.letter == 'w') options.gap = w.value;
        if (w.letter == 'p') options.pixel = w.value;
        if (w.letter == 'o') options.center = w.value;
    }
    return options;
}

}  // namespace

int RunSinoRecon(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    std::vector<OptionWord> words;
    int first = 0;
    Check(ReadOptions(argc, argv, "a:w:p:o:", kUsage, &words, &first));
    Options options = Sort(words);
    int operands = argc - first;
    if (operands < 4 || operands > 6) Error(kUsage);
    char **arg = argv + first;

    Sinogram sinogram;
    Check(ReadSinogram(arg[0], NamePrefix(arg[0], ""), &sinogram));
    int n = sinogram.columns;
    int m = sinogram.rows;
    ViewSet views;
    Check(options.angles != nullptr ? ReadAngles(options.angles, m, &views) : EvenHalfTurn(m, &views));
    GapWeights gap = GapWeights::kPart;
    if (options.gap != nullptr) Check(GapWeightsArgument(options.gap, &gap));
    Detector detector{n, 0};
    double interval = 0;
    int size = 0;
    Kernel kernel = Kernel::kChesler;
    Check(CenterArgument(arg[1], n, &detector.axis));
    Check(IntervalArgument(arg[2], &interval));
    if (!IntervalKeepsImageFinite(views, interval)) Error("bad detector interval.");
    Check(ImageSizeArgument(operands >= 5 ? IntArgument(arg[3]) : n, &size));
    if (operands == 6) Check(KernelArgument(arg[4], &kernel));
    WeighGap(&views, n, kernel, gap);
    Grid grid = AxisGrid(size);
    if (options.pixel != nullptr) Check(PixelArgument(options.pixel, &grid.pixel));
    if (options.center != nullptr) Check(ImageCenterArgument(options.center, &grid.x0, &grid.y0));
    WarnOfLimitedRange(views);

    std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    double *image = static_cast<double *>(AllocateBlock(pixels * sizeof(double)));
    if (image == nullptr) Error(kMemoryFailure);
    ViewFilter filter;
    // Work arrays of the filter: one per thread, no more than there are views.
    if (!MakeViewFilter(n, kernel, ThreadsFor(m), &filter)) Error(kMemoryFailure);

    std::string output = NamePrefix(arg[operands - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(OpenOutput(arg[operands - 1], (output + "file not open.").c_str(), &out));
    bool finite_input = AllFinite(sinogram.samples, static_cast<std::size_t>(n) * static_cast<std::size_t>(m));
    ReconstructImage(filter, sinogram.samples, views, detector, grid, interval, image, true);
    ReleaseViewFilter(&filter);
    // Finite samples whose image is not finite: sums beyond the double range.
    if (finite_input && !AllFinite(image, pixels)) Error("result out of range.");
    Check(WriteCheckedHeader(out.stream, size, size, write_failure.c_str()));
    Check(WriteBlock(out.stream, image, pixels * sizeof(double), write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseBlock(image, pixels * sizeof(double));
    ReleaseViews(&views);
    ReleaseSinogram(&sinogram);
    return 0;
}
