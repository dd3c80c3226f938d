#include "run.h"

#include <cstddef>
#include <string>
#include <vector>

#include "angles_file.h"
#include "args.h"
#include "checks.h"
#include "error.h"
#include "fbp.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "output_name.h"
#include "project.h"
#include "sinogram.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : img_sino [-a ANGLES] [-p PIXEL] IMG N c M SG";
const Operand kOperands[] = {
    {"IMG", "the square image ('-': standard input)"},
    {"N", "detectors per view"},
    {"c", "the rotation axis, in detector intervals from detector 0"},
    {"M", "views"},
    {"SG", "the sinogram written ('-': standard output)"},
};

}  // namespace

int RunImgSino(int argc, char **argv) {
    const char *angles = nullptr, *pixel = nullptr;
    const Option options[] = {
        Value('a', "ANGLES", "a file of the views' angles in degrees, one per view (default: an even half turn)", &angles),
        Value('p', "PIXEL", "the image's pixel side in detector intervals (default 1)", &pixel),
    };
    CommandLine line;
    Check(ReadCommandLine(argc, argv, Command{kUsage, options, kOperands, 5, 5}, &line));
    if (line.helped) return 0;
    char **arg = line.operands;

    Sinogram image;
    std::string input = NamePrefix(arg[0], "");
    Check(ReadSinogram(arg[0], input, &image));
    if (image.columns != image.rows) ErrorAbout(input.c_str(), "image not square.");
    Detector detector{0, 0};
    Check(StrictInt(arg[1], "bad detector number.", &detector.count));
    if (detector.count <= 0) Error("bad detector number.");
    Check(CenterArgument(arg[2], detector.count, &detector.axis));
    int views_count = 0;
    Check(StrictInt(arg[3], "bad projection number.", &views_count));
    if (views_count <= 0) Error("bad projection number.");
    Grid grid = AxisGrid(image.columns);
    if (pixel != nullptr) Check(PixelArgument(pixel, &grid.pixel));
    ViewSet views;
    Check(angles != nullptr ? ReadAngles(angles, views_count, &views) : EvenHalfTurn(views_count, &views));

    std::size_t samples = static_cast<std::size_t>(detector.count) * static_cast<std::size_t>(views_count);
    if (samples > SIZE_MAX / sizeof(double)) Error("memory allocation error.");
    double *sinogram = static_cast<double *>(AllocateBlock(samples * sizeof(double)));
    if (sinogram == nullptr) Error("memory allocation error.");
    ProjectionWork work;
    Check(AllocateProjection(grid.size, &work));

    std::string output = NamePrefix(arg[4], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(CheckOutputName(arg[4], OutputRules{OutputKind::kSinogram, "sinogram", {arg[0], angles}, nullptr, nullptr}));
    Check(OpenOutput(arg[4], (output + "file not open.").c_str(), &out));
    Project(grid, views, detector, image.samples, sinogram, &work);
    std::size_t pixels = static_cast<std::size_t>(grid.size) * static_cast<std::size_t>(grid.size);
    // Finite pixels whose integrals are not finite: sums beyond the range.
    if (AllFinite(image.samples, pixels) && !AllFinite(sinogram, samples)) Error("result out of range.");
    Check(WriteCheckedHeader(out.stream, detector.count, views_count, write_failure.c_str()));
    Check(WriteBlock(out.stream, sinogram, samples * sizeof(double), write_failure.c_str()));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseBlock(sinogram, samples * sizeof(double));
    ReleaseViews(&views);
    ReleaseSinogram(&image);
    return 0;
}
