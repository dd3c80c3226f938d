#include "run.h"

#include <cstddef>
#include <string>
#include <vector>

#include "angles_file.h"
#include "args.h"
#include "error.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "phantom.h"
#include "phantom_file.h"
#include "propagate.h"
#include "streams.h"
#include "threads.h"
#include "tiff_write.h"
#include "views.h"
#include "volume_tiff.h"

namespace {

constexpr const char *kUsage =
    "usage : phase_stack [-a ANGLES] [-f FLAT] PHANTOM N M DELTA,BETA,DISTANCE,ENERGY,PIXEL STACK";

// Every view, a batch of one per thread at a time, written in order: the
// pages do not depend on the number of threads.
Status WriteViews(const Phantom &phantom, const ViewSet &views, const Propagator &propagator, VolumeTiff *tiff) {
    int n = propagator.n, threads = propagator.threads;
    std::size_t page = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    std::size_t bytes = 2 * static_cast<std::size_t>(threads) * page * sizeof(double);
    auto *block = static_cast<double *>(AllocateBlock(bytes));
    if (block == nullptr) return Failure("memory allocation error.");
    Status status;
    for (int first = 0; status.ok() && first < views.count; first += threads) {
        int batch = views.count - first < threads ? views.count - first : threads;
#pragma omp parallel for num_threads(batch) schedule(static, 1)
        for (int t = 0; t < batch; ++t) {
            double *thickness = block + 2 * static_cast<std::size_t>(t) * page;
            ProjectedThickness(phantom, views.cosines[first + t], views.sines[first + t], n, thickness);
            Propagate(propagator, t, thickness, thickness + page);
        }
        for (int t = 0; status.ok() && t < batch; ++t)
            status = WriteVolumeTiffSlice(tiff, block + (2 * static_cast<std::size_t>(t) + 1) * page);
    }
    ReleaseBlock(block, bytes);
    return status;
}

// One page of ones, the open beam of the intensities written, closed but
// renamed into place only once the stack is.
Status WriteFlat(const char *name, int n, Output *flat) {
    std::vector<double> ones(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 1.0);
    std::string failure = About(name, "data write error.");
    Status status = OpenOutput(name, About(name, "file not open.").c_str(), flat);
    if (status.ok()) status = WriteFloatTiff(flat->stream, ones.data(), n, n, 32, failure.c_str());
    if (status.ok()) status = CloseOutput(flat, failure.c_str());
    return status;
}

}  // namespace

int RunPhaseStack(int argc, char **argv) {
    const char *angles = nullptr, *flat = nullptr;
    const Option options[] = {
        Value('a', "ANGLES", "a file of the views' angles in degrees, one per view (default: an even half turn)",
              &angles),
        Value('f', "FLAT", "also write a flat field of ones here", &flat),
    };
    const Operand operands[] = {
        {"PHANTOM", "a file of ellipses (each an ellipsoid), or shepp-logan:R"},
        {"N", "the detector's side, pixels"},
        {"M", "views"},
        {"DELTA,BETA,DISTANCE,ENERGY,PIXEL", "the object's delta and beta, the distance (m), energy (keV), pixel (m)"},
        {"STACK", "the multi-page TIFF of intensities written"},
    };
    CommandLine line;
    Check(ReadCommandLine(argc, argv, Command{kUsage, options, operands, 5, 5}, &line));
    if (line.helped) return 0;
    char **arg = line.operands;

    int n = 0;
    Check(StrictInt(arg[1], "bad detector number.", &n));
    // The 2n x 2n transform's samples must stay addressable.
    if (n <= 0 || n > 0x7fff) Error("bad detector number.");
    int count = 0;
    Check(StrictInt(arg[2], "bad projection number.", &count));
    if (count <= 0) Error("bad projection number.");
    Material material;
    Check(MaterialArgument(arg[3], &material));
    if (IsStandardStream(arg[4]) || (flat != nullptr && IsStandardStream(flat)))
        Error("a stack is written to a file, not to standard output.");
    Phantom phantom;
    Check(ReadPhantom(arg[0], &phantom));
    ViewSet views;
    Check(angles != nullptr ? ReadAngles(angles, count, &views) : EvenHalfTurn(count, &views));
    Propagator propagator;
    Check(MakePropagator(material, n, ThreadsFor(count), &propagator));

    Output flat_output;
    if (flat != nullptr) Check(WriteFlat(flat, n, &flat_output));
    VolumeTiff tiff;
    Check(BeginVolumeTiff(arg[4], count, n, material.pixel * 1e6, &tiff));
    Check(WriteViews(phantom, views, propagator, &tiff));
    Check(FinishVolumeTiff(&tiff));
    if (flat != nullptr) Check(CommitOutput(&flat_output, About(flat, "file not open.").c_str()));
    ReleasePropagator(&propagator);
    ReleaseViews(&views);
    ReleasePhantom(&phantom);
    return 0;
}
