#include "run.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "args.h"
#include "arguments.h"
#include "axis.h"
#include "band.h"
#include "centers.h"
#include "checks.h"
#include "error.h"
#include "fbp.h"
#include "hdf5_stack.h"
#include "join.h"
#include "help.h"
#include "kernels.h"
#include "memory.h"
#include "options.h"
#include "progress.h"
#include "range_weights.h"
#include "real.h"
#include "sinograms.h"
#include "stack_inputs.h"
#include "streams.h"
#include "threads.h"
#include "views.h"
#include "volume.h"

namespace {

const char kUsage[] =
    "usage : stack_recon [-f FLAT] [-d DARK] [-r FIRST,COUNT] [-m MIB] [-a ANGLES] [-t] [-c CENTER] [-k KERNEL] "
    "[-w GAP] [-p PIXEL] [-s SIZE] [-l] [-z T] [-j] STACK... VOLUME";

struct Options {
    std::vector<const char *> flats, darks;
    const char *range = nullptr;
    double budget_mib = kDefaultBudgetMiB;
    const char *angles = nullptr;
    bool half_turn = false;  // -t: keep the first half of a full turn
    bool join = false;       // -j: the operands are parts to join
    bool line_integrals = false;  // -l: the stack holds line integrals already
    const char *zingers = nullptr;
    const char *center = nullptr;
    const char *kernel = nullptr;
    const char *gap = nullptr;  // -w: the weights beside a limited range's gap
    const char *pixel = nullptr;
    const char *size = nullptr;
    std::vector<const char *> stack;
    const char *volume = nullptr;
};

Status ReadOptions(int argc, char **argv, Options *options) {
    optind = 0;  // glibc: start afresh (the fuzzing build runs this again and again)
    opterr = 0;
    int option;
    // '+': options end at the first operand, as POSIX has it.
    while ((option = getopt(argc, argv, "+f:d:r:m:a:tc:k:w:p:s:jlz:")) != -1) {
        switch (option) {
            case 'f': options->flats.push_back(optarg); break;
            case 'd': options->darks.push_back(optarg); break;
            case 'r': options->range = optarg; break;
            case 'm': options->budget_mib = RealArgument(optarg); break;
            case 'a': options->angles = optarg; break;
            case 't': options->half_turn = true; break;
            case 'c': options->center = optarg; break;
            case 'k': options->kernel = optarg; break;
            case 'w': options->gap = optarg; break;
            case 'p': options->pixel = optarg; break;
            case 's': options->size = optarg; break;
            case 'j': options->join = true; break;
            case 'l': options->line_integrals = true; break;
            case 'z': options->zingers = optarg; break;
            default: return Failure(kUsage);
        }
    }
    if (argc - optind < 2) return Failure(kUsage);
    for (int i = optind; i < argc - 1; ++i) options->stack.push_back(argv[i]);
    options->volume = argv[argc - 1];
    return Success();
}

// The values of the options, checked before any file is opened.
struct Settings {
    int first = 0, wanted = 0;  // -r
    CenterChoice center{};
    Kernel kernel = Kernel::kChesler;
    GapWeights gap = GapWeights::kPart;
    double pixel = 0;  // micrometres, 0 for none
    int size = 0;      // 0: the detector's width
    VolumeKind kind = VolumeKind::kBad;
    NamePattern pattern{};
    Reading reading{false, 0, nullptr};  // -l, -z
};

Status CheckOptions(const Options &options, Settings *s) {
    if (!(options.budget_mib > 0 && std::isfinite(options.budget_mib))) return Failure("bad memory budget.");
    if (options.range != nullptr) {
        Status range = RowRangeArgument(options.range, &s->first, &s->wanted);
        if (!range.ok()) return range;
    }
    s->center = CenterOption(options.center);
    if (options.kernel != nullptr) {
        Status kernel = KernelArgument(options.kernel, &s->kernel);
        if (!kernel.ok()) return kernel;
    }
    if (options.gap != nullptr) {
        Status gap = GapWeightsArgument(options.gap, &s->gap);
        if (!gap.ok()) return gap;
    }
    if (options.pixel != nullptr) {
        Status pixel = PixelArgument(options.pixel, &s->pixel);
        if (!pixel.ok()) return pixel;
    }
    if (options.size != nullptr) {
        s->size = IntArgument(options.size);
        if (!ImageSizeFits(s->size)) return Failure("bad image size.");
    }
    if (options.zingers != nullptr) {
        s->reading.zinger_threshold = RealArgument(options.zingers);
        if (!(s->reading.zinger_threshold > 0 && std::isfinite(s->reading.zinger_threshold)))
            return Failure("bad zinger threshold.");
    }
    s->reading.line_integrals = options.line_integrals;
    s->kind = KindOfVolume(options.volume, &s->pattern);
    if (s->kind == VolumeKind::kBad) return Failure(kBadVolume);
    if (options.join && (!options.flats.empty() || !options.darks.empty() || options.range != nullptr ||
                         options.angles != nullptr || options.half_turn || options.center != nullptr ||
                         options.kernel != nullptr || options.gap != nullptr || options.pixel != nullptr || options.size != nullptr ||
                         options.line_integrals || options.zingers != nullptr))
        return Failure("-j takes no other option.");
    if (options.line_integrals && (!options.flats.empty() || !options.darks.empty()))
        return Failure("line integrals take no flats or darks.");
    if (!options.darks.empty() && options.flats.empty()) return Failure("darks need flats.");
    return Success();
}

// A view set of the given angles (radians).
Status ViewsOf(const double *radians, int count, ViewSet *views) {
    auto *block = static_cast<double *>(AllocateArray(4 * static_cast<std::size_t>(count), sizeof(double)));
    if (block == nullptr) return Failure("memory allocation error.");
    *views = ViewSet{count, block, block + count, block + 2 * static_cast<std::size_t>(count),
                     block + 3 * static_cast<std::size_t>(count), false, 0};
    for (int k = 0; k < count; ++k) views->angles[k] = radians[k];
    CompleteViews(views);
    return Success();
}

// The views reconstructed: the stack's images (the first half with -t),
// at the angles of -a, else of /exchange/theta, else evenly over the half
// turn. *half_turn is how many views from the first make an even half
// turn (0: none).
Status MakeViews(const Options &options, const StackInputs &in, ViewSet *views, int *half_turn) {
    int images = in.stack.images;
    int count = images;
    if (options.half_turn) {
        if (images % 2 != 0) return Failure("odd number of views for a full turn.");
        count = images / 2;
    }
    std::vector<double> radians;
    if (options.angles != nullptr) {
        ViewSet all;
        Status read = ReadAngles(options.angles, images, &all);
        if (!read.ok()) return read;
        radians.assign(all.angles, all.angles + count);
        ReleaseViews(&all);
    } else if (in.stack.hdf5) {
        std::vector<double> degrees;
        bool present = false;
        Status read = ReadH5Angles(in.stack.h5.file, images, &degrees, &present);
        if (!read.ok()) return read;
        for (int k = 0; present && k < count; ++k) radians.push_back(static_cast<Real>(degrees[k]) * kPi / 180);
    }
    if (radians.empty()) {
        *half_turn = count;
        return EvenHalfTurn(count, views);
    }
    *half_turn = EvenHalfTurnViews(radians.data(), count);
    return ViewsOf(radians.data(), count, views);
}

// The rows to reconstruct and the band's size within the budget.
struct Plan {
    int first, count;
    int size;       // image side
    int band_rows;
};

Status PlanRows(const Options &options, const Settings &s, const StackInputs &in, int views, Plan *plan) {
    int rows = in.stack.rows, columns = in.stack.columns;
    int first = s.first, wanted = options.range != nullptr ? s.wanted : rows;
    if (first >= rows) return Failure("bad row range.");
    plan->first = first;
    plan->count = wanted < rows - first ? wanted : rows - first;
    plan->size = s.size > 0 ? s.size : columns;
    if (s.kind == VolumeKind::kHdf5 && !SliceFitsChunk(plan->size)) return Failure("bad image size.");
    if (s.center.given && !s.center.fit && !CenterInside(s.center.value, columns))
        return Failure("bad position of rotation center.");
    // Beside the band: the image, its floats, and the filter's work arrays
    // for each thread.
    double pixels = static_cast<double>(plan->size) * plan->size;
    double length = 2.0 * columns + 64;
    double fixed = pixels * (sizeof(double) + sizeof(float)) + (ThreadsFor(views) * 2.0 + 1) * length * sizeof(double);
    plan->band_rows = BandRowsWithCaches(options.budget_mib * 1048576.0 - fixed, views, columns, plan->count,
                                         {&in.stack, in.have_flats ? &in.flats : nullptr,
                                          in.have_darks ? &in.darks : nullptr});
    if (plan->band_rows <= 0) return Failure("memory budget too small.");
    if (BandRowBytes(views, columns) * plan->band_rows > 0x1p62) return Failure("memory allocation error.");
    return Success();
}

// The axis of every row to reconstruct: -c's number, or found from the data.
Status Centers(const Settings &s, const StackInputs &in, int half_turn, const Plan &plan, std::vector<double> *centers) {
    centers->assign(static_cast<std::size_t>(plan.count), s.center.value);
    if (s.center.given && !s.center.fit) return Success();
    if (half_turn == 0) return Failure("the views are not an even half turn: give the axis with -c.");
    Status found =
        FindAxis(in, s.reading, half_turn, plan.first, plan.count, s.center.fit, centers->data(), stderr);
    if (!found.ok()) return found;
    for (double c : *centers)
        if (!CenterInside(c, in.stack.columns)) return Failure("bad position of rotation center.");
    return Success();
}

// Reads, reconstructs and writes every band of rows.
Status ReconstructBands(const StackInputs &in, const Reading &how, const ViewSet &views, const Plan &plan,
                        Kernel kernel, const std::vector<double> &centers, Volume *volume, ReadCounts *counts) {
    int columns = in.stack.columns;
    std::size_t width = static_cast<std::size_t>(columns);
    std::size_t sinogram = static_cast<std::size_t>(views.count) * width;
    std::size_t band_rows = static_cast<std::size_t>(plan.band_rows);
    std::size_t band_bytes = band_rows * sinogram * sizeof(double);
    std::size_t means_bytes = band_rows * width * 3 * sizeof(double);
    std::size_t pixels = static_cast<std::size_t>(plan.size) * static_cast<std::size_t>(plan.size);
    auto *band = static_cast<double *>(AllocateBlock(band_bytes));
    auto *means = static_cast<double *>(AllocateBlock(means_bytes));
    auto *image = static_cast<double *>(AllocateBlock(pixels * sizeof(double)));
    ViewFilter filter;
    bool have_filter = MakeViewFilter(columns, kernel, ThreadsFor(views.count), &filter);
    Status status;
    if (band == nullptr || means == nullptr || image == nullptr || !have_filter)
        status = Failure("memory allocation error.");
    Grid grid = AxisGrid(plan.size);
    Progress progress = StartProgress(plan.count);
    // 64-bit, so that the step past the last band cannot wrap.
    for (long long next = plan.first; status.ok() && next < plan.first + plan.count; next += plan.band_rows) {
        int start = static_cast<int>(next);
        int end = plan.first + plan.count;
        int rows = plan.band_rows < end - start ? plan.band_rows : end - start;
        status = ReadSinograms(in, how, views.count, start, rows, band, means, counts);
        for (int j = 0; status.ok() && j < rows; ++j) {
            int index = start - plan.first + j;
            double *samples = band + static_cast<std::size_t>(j) * sinogram;
            bool finite_input = AllFinite(samples, sinogram);
            ReconstructImage(filter, samples, views, Detector{columns, centers[static_cast<std::size_t>(index)]},
                             grid, 1.0, image);
            // Finite samples whose image is not finite: sums beyond the double range.
            if (finite_input && !AllFinite(image, pixels)) status = Failure("result out of range.");
            if (status.ok()) status = WriteSlice(volume, index, image);
            ShowProgress(progress, index + 1);
        }
    }
    EndProgress(progress);
    if (have_filter) ReleaseViewFilter(&filter);
    ReleaseBlock(band, band_bytes);
    ReleaseBlock(means, means_bytes);
    ReleaseBlock(image, pixels * sizeof(double));
    return status;
}

// The angles written beside an HDF5 volume, in degrees.
std::vector<double> Degrees(const ViewSet &views) {
    std::vector<double> degrees(static_cast<std::size_t>(views.count));
    for (int k = 0; k < views.count; ++k) degrees[static_cast<std::size_t>(k)] = views.angles[k] * 180 / kPi;
    return degrees;
}

}  // namespace

int RunStackRecon(int argc, char **argv) {
    ProtectStandardStreams();
    KeepHdf5FromClosingAtExit();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    Options options;
    Check(ReadOptions(argc, argv, &options));
    Settings settings;
    Check(CheckOptions(options, &settings));

    if (options.join) {
        Volume volume;
        int slices = 0, size = 0;
        Check(JoinParts(options.stack, options.volume, settings.kind, settings.pattern, &volume, &slices, &size));
        std::fprintf(stderr, "%s: %d slices of %d x %d.\n", options.volume, slices, size, size);
        return 0;
    }
    StackInputs in;
    Check(OpenStackInputs(options.stack, options.flats, options.darks, options.line_integrals, &in));
    ViewSet views;
    int half_turn = 0;
    Check(MakeViews(options, in, &views, &half_turn));
    WeighGap(&views, in.stack.columns, settings.kernel, settings.gap);
    settings.reading.angles = views.angles;
    Plan plan;
    Check(PlanRows(options, settings, in, views.count, &plan));
    WarnOfLimitedRange(views);
    std::vector<double> centers;
    Check(Centers(settings, in, half_turn, plan, &centers));

    std::vector<const char *> read = options.stack;
    read.insert(read.end(), options.flats.begin(), options.flats.end());
    read.insert(read.end(), options.darks.begin(), options.darks.end());
    if (options.angles != nullptr) read.push_back(options.angles);
    std::vector<double> degrees = Degrees(views);
    VolumeFacts facts{plan.count, plan.size, plan.first, settings.pixel, centers.data(), degrees.data(), views.count};
    Volume volume;
    Check(BeginVolume(options.volume, settings.kind, settings.pattern, facts, InputFiles(read), &volume));
    ReadCounts counts;
    Status done = ReconstructBands(in, settings.reading, views, plan, settings.kernel, centers, &volume, &counts);
    if (done.ok()) done = FinishVolume(&volume);
    if (!done.ok()) CloseVolume(&volume);
    Check(done);
    ReleaseViews(&views);
    if (settings.reading.zinger_threshold > 0) {
        std::fprintf(stderr, "%lld zingers replaced.\n", counts.zingers);
        if (in.have_flats) std::fprintf(stderr, "%lld zingers removed from the flats.\n", counts.flat_zingers);
        if (in.have_darks) std::fprintf(stderr, "%lld zingers removed from the darks.\n", counts.dark_zingers);
    }
    if (counts.clamped > 0) std::fprintf(stderr, "%lld samples clamped.\n", counts.clamped);
    std::fprintf(stderr, "%s: %d slices of %d x %d.\n", options.volume, plan.count, plan.size, plan.size);
    return 0;
}
