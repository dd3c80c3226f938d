#include "run.h"

#include <string>
#include <vector>

#include "args.h"
#include "checks.h"
#include "error.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "output_name.h"
#include "phantom.h"
#include "phantom_file.h"
#include "phantom_pixels.h"
#include "phantom_rows.h"
#include "sinogram.h"
#include "sink.h"
#include "streams.h"

namespace {

constexpr const char *kUsage = "usage : phantom_image [-p PIXEL] PHANTOM K IMG";
constexpr const char *kMemoryFailure = "memory allocation error.";
const Operand kOperands[] = {
    {"PHANTOM", "a file of ellipses, or shepp-logan:R (the head of radius R)"},
    {"K", "the image side, pixels"},
    {"IMG", "the image of exact pixel means written ('-': standard output)"},
};

// Pixel sides from 1e-100 to 1e100 detector intervals keep every edge of
// any addressable image finite and every pixel's area above zero.
bool PixelValid(double pixel) { return pixel >= 1e-100 && pixel <= 1e100; }

}  // namespace

int RunPhantomImage(int argc, char **argv) {
    const char *pixel = nullptr;
    const Option options[] = {Value('p', "PIXEL", "the pixel side in detector intervals (default 1)", &pixel)};
    CommandLine line;
    Check(ReadCommandLine(argc, argv, Command{kUsage, options, kOperands, 3, 3}, &line));
    if (line.helped) return 0;
    char **arg = line.operands;

    int size = 0;
    Check(StrictInt(arg[1], "bad image size.", &size));
    Grid grid = AxisGrid(size);
    if (!ImageSizeFits(grid.size)) Error("bad image size.");
    if (pixel != nullptr) Check(StrictReal(pixel, "bad pixel size.", &grid.pixel));
    if (!PixelValid(grid.pixel)) Error("bad pixel size.");
    Phantom phantom;
    Check(ReadPhantom(arg[0], &phantom));
    for (int e = 0; e < phantom.count; ++e) {
        if (!PixelMeansExact(phantom.ellipses[e], grid.pixel))
            Error((NamePrefix(arg[0], "phantom: ") + "ellipse " + std::to_string(e + 1) +
                   ": a half-axis below 1e-6 or beyond 1e9 pixel sides.").c_str());
    }

    EllipseFrame *frames = static_cast<EllipseFrame *>(AllocateArray(phantom.count, sizeof(EllipseFrame)));
    if (frames == nullptr) Error(kMemoryFailure);
    for (int e = 0; e < phantom.count; ++e) frames[e] = FrameOf(phantom.ellipses[e]);
    SampleSink sink;
    Check(AllocateSink(static_cast<std::size_t>(grid.size), kMemoryFailure, &sink));
    int threads = RowThreads(sink, grid.size);
    Real *sums = static_cast<Real *>(
        AllocateArray(static_cast<std::size_t>(threads) * static_cast<std::size_t>(grid.size), sizeof(Real)));
    if (sums == nullptr) Error(kMemoryFailure);

    std::string output = NamePrefix(arg[2], "");
    std::string write_failure = output + "data write error.";
    Output out;
    Check(CheckOutputName(arg[2], OutputRules{OutputKind::kSinogram, "image", {arg[0]}, nullptr, nullptr}));
    Check(OpenOutput(arg[2], (output + "file not open.").c_str(), &out));
    AttachSink(&sink, out.stream, write_failure.c_str());
    Check(WriteCheckedHeader(out.stream, grid.size, grid.size, write_failure.c_str()));
    Check(WritePhantomImage(&sink, frames, phantom.count, grid, threads, sums));
    Check(FinishOutput(&out, write_failure.c_str()));
    ReleaseArray(sums);
    ReleaseSink(&sink);
    ReleaseArray(frames);
    ReleasePhantom(&phantom);
    return 0;
}
