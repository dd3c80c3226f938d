#include "run.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "angles_file.h"
#include "args.h"
#include "arguments.h"
#include "checks.h"
#include "error.h"
#include "image_file.h"
#include "fbp.h"
#include "field.h"
#include "fold.h"
#include "command.h"
#include "gridrec.h"
#include "memory.h"
#include "options.h"
#include "output.h"
#include "output_name.h"
#include "range_weights.h"
#include "sinogram.h"
#include "streams.h"
#include "threads.h"
#include "whole_turn.h"

namespace {

constexpr const char *kUsage =
    "usage : sino_recon [-a ANGLES] [-w GAP] [-p PIXEL] [-o X,Y] [-M METHOD] SG c interval {size {kernel}} IMG";
constexpr const char *kMemoryFailure = "memory allocation error.";
constexpr const char *kWholeTurnRemedy = "give the angles with -a";
const Operand kOperands[] = {
    {"SG", "the sinogram: views of line integrals ('-': standard input)"},
    {"c", "the rotation axis, in detector intervals from detector 0"},
    {"interval", "the detector interval, in the unit of the image's densities"},
    {"size", "the image side, pixels (default: the detector count)"},
    {"kernel", "chesler (default), shepp or ramachandran"},
    {"IMG", "the image written ('-': standard output)"},
};

// What the options give: the views' angles, the weights beside a limited
// range's gap, the pixel, the image's center and the method.
struct Options {
    const char *angles = nullptr;
    const char *gap = nullptr;
    const char *pixel = nullptr;
    const char *center = nullptr;
    const char *method = nullptr;
};

}  // namespace

int RunSinoRecon(int argc, char **argv) {
    Options options;
    const Option table[] = {
        Value('a', "ANGLES", "a file of the views' angles in degrees, one per view (default: an even half turn)", &options.angles),
        Value('w', "GAP", "weights beside a limited range's gap: part (default), even or ends", &options.gap),
        Value('p', "PIXEL", "the image's pixel side in detector intervals (default 1)", &options.pixel),
        Value('o', "X,Y", "the image's centre in detector intervals from the axis (default 0,0)", &options.center),
        Value('M', "METHOD", "fbp (filtered back-projection, default) or fourier (gridding)", &options.method),
    };
    CommandLine line;
    Check(ReadCommandLine(argc, argv, Command{kUsage, table, kOperands, 4, 6}, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;

    std::string input = NamePrefix(arg[0], "");
    Sinogram sinogram;
    Check(ReadSinogramFile(arg[0], input, &sinogram));
    int n = sinogram.columns;
    int m = sinogram.rows;
    ViewSet views;
    Check(options.angles != nullptr ? ReadAngles(options.angles, m, &views, stderr) : EvenHalfTurn(m, &views));
    GapWeights gap = GapWeights::kPart;
    if (options.gap != nullptr) Check(GapWeightsArgument(options.gap, &gap));
    Detector detector{n, 0};
    double interval = 0;
    int size = 0;
    Kernel kernel = Kernel::kChesler;
    Check(CenterArgument(arg[1], n, &detector.axis));
    Check(StrictIntervalArgument(arg[2], &interval));
    if (!IntervalKeepsImageFinite(views, interval)) Error("bad detector interval.");
    int wanted = n;
    if (operands >= 5) Check(StrictInt(arg[3], "bad image size.", &wanted));
    Check(ImageSizeArgument(wanted, &size));
    if (operands == 6) Check(KernelArgument(arg[4], &kernel));
    ReconMethod method = ReconMethod::kDirect;
    if (options.method != nullptr) Check(ReconMethodArgument(options.method, &method));
    WeighGap(&views, n, kernel, gap);
    Grid grid = AxisGrid(size);
    if (options.pixel != nullptr) Check(PixelArgument(options.pixel, &grid.pixel));
    if (options.center != nullptr) Check(ImageCenterArgument(options.center, &grid.x0, &grid.y0));
    Check(CheckSamplesFinite(sinogram, input));
    if (std::string warning = LimitedRangeWarning(views); !warning.empty()) Warn(warning);
    if (std::string warning = OutsideFieldWarning(grid, n, &detector.axis, 1); !warning.empty()) Warn(warning);
    if (std::string warning = HalfAcquisitionWarning(views, n, detector.axis); !warning.empty()) Warn(warning);
    if (AxisAndIntervalSwapped(n, detector.axis, interval)) Warn(SwappedAxisWarning(detector.axis, interval));
    if (std::string warning = OneViewWarning(m); !warning.empty()) Warn(warning);
    // Views taken for an even half turn (no -a) that cover the whole one.
    if (options.angles == nullptr && LooksLikeWholeTurn(sinogram.samples, n, m, detector.axis))
        Warn(WholeTurnWarning(kWholeTurnRemedy));

    std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    double *image = static_cast<double *>(AllocateBlock(pixels * sizeof(double)));
    if (image == nullptr) Error(kMemoryFailure);
    ViewFilter filter;
    GridRec rec;
    // Work arrays of the filter: one per thread, no more than there are views.
    if (method == ReconMethod::kDirect && !MakeViewFilter(n, kernel, ThreadsFor(m), &filter)) Error(kMemoryFailure);
    if (method == ReconMethod::kFourier && !MakeGridRec(n, kernel, size, ThreadsFor(m), &rec)) Error(kMemoryFailure);

    std::string output = NamePrefix(arg[operands - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    // A forgotten output name leaves the kernel or the sinogram in its place.
    Check(CheckOutputName(arg[operands - 1], OutputRules{OutputKind::kSinogram, "image", {arg[0], options.angles}, "kernel",
                                                         [](const char *name) { Kernel k; return KernelByName(name, &k); }}));
    Check(OpenOutput(arg[operands - 1], (output + "file not open.").c_str(), &out));
    if (method == ReconMethod::kDirect) {
        ReconstructImage(filter, sinogram.samples, views, detector, grid, interval, image, true);
    } else {
        GridRecImage(rec, sinogram.samples, views, detector, grid, interval, image);
        ReleaseGridRec(&rec);
    }
    // Finite samples whose image is not finite: sums beyond the double range.
    if (!AllFinite(image, pixels)) Error("result out of range.");
    Check(WriteCheckedHeader(out.stream, size, size, write_failure.c_str()));
    Check(WriteBlock(out.stream, image, pixels * sizeof(double), write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseBlock(image, pixels * sizeof(double));
    ReleaseViews(&views);
    ReleaseSinogram(&sinogram);
    return 0;
}
