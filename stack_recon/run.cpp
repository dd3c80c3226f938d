#include "run.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "angles_file.h"
#include "args.h"
#include "arguments.h"
#include "axis.h"
#include "band.h"
#include "center_scan.h"
#include "center_table.h"
#include "centers.h"
#include "checks.h"
#include "error.h"
#include "fbp.h"
#include "field.h"
#include "gridrec.h"
#include "hdf5_stack.h"
#include "join.h"
#include "command.h"
#include "kernels.h"
#include "memory.h"
#include "misplaced.h"
#include "normalise.h"
#include "options.h"
#include "phase_band.h"
#include "progress.h"
#include "provenance.h"
#include "range_weights.h"
#include "real.h"
#include "sinograms.h"
#include "slices.h"
#include "steps.h"
#include "stack_inputs.h"
#include "streams.h"
#include "threads.h"
#include "turn.h"
#include "views.h"
#include "volume.h"
#include "whole_turn.h"

namespace {

const char kUsage[] =
    "usage : stack_recon [-f FLAT] [-d DARK] [-r FIRST,COUNT] [-m MIB] [-a ANGLES] [-u UNIT] [-t] [-c CENTER] [-C FROM,TO,STEP] [-k KERNEL] "
    "[-w GAP] [-p PIXEL] [-s SIZE] [-l] [-z T] [-P DELTA_BETA,DISTANCE,ENERGY,PIXEL] [-M METHOD] [-i N] [-n] [-S SUBSETS] "
    "[-L LAMBDA] [-e TOL] [-R METHOD[,SIZE]] [-o X,Y] [-T TYPE] [-V LO,HI] [-j] STACK... VOLUME";

struct Options {
    std::vector<const char *> flats, darks;
    std::vector<std::string> flat_names, dark_names;  // what -f and -d's patterns name
    const char *range = nullptr;
    const char *unit = nullptr;  // -u: the unit of /exchange/theta
    const char *budget = nullptr;
    const char *angles = nullptr;
    bool half_turn = false;  // -t: keep the first half of a full turn
    bool join = false;       // -j: the operands are parts to join
    bool line_integrals = false;  // -l: the stack holds line integrals already
    const char *zingers = nullptr;
    const char *center = nullptr;
    const char *scan = nullptr;  // -C: trial centers
    const char *kernel = nullptr;
    const char *method = nullptr;
    const char *gap = nullptr;  // -w: the weights beside a limited range's gap
    const char *pixel = nullptr;
    const char *size = nullptr;
    const char *phase = nullptr;
    IterativeWords iterative;    // -i, -n, -S, -L, -e
    const char *rings = nullptr;   // -R
    const char *offset = nullptr;  // -o
    const char *type = nullptr;    // -T: the samples' type
    const char *values = nullptr;  // -V: the values mapped onto the integers
    std::vector<GivenOption> given;  // every option as given, for the volume's record
    std::vector<const char *> stack;
    const char *volume = nullptr;
};

// Reads the options and the operands: the stack's files (or the parts to
// join) and the volume.
Status ReadOptions(int argc, char **argv, Options *o, bool *helped) {
    const Option table[] = {
        Values('f', "FLAT", "a flat field (open beam) image, or a quoted pattern ('flat_*.tif'); repeat for more",
               &o->flats),
        Values('d', "DARK", "a dark field image, or a quoted pattern ('dark_*.tif'); repeat for more", &o->darks),
        Value('r', "FIRST,COUNT", "only these detector rows (default: all)", &o->range),
        Value('m', "MIB", "the memory budget in MiB", &o->budget),
        Value('a', "ANGLES", "a file of the views' angles in degrees (default: the file's, or an even half turn)",
              &o->angles),
        Value('u', "UNIT", "the unit of /exchange/theta and -a's angles: degrees or radians (default: told from the values)",
              &o->unit),
        Flag('t', "the views cover the whole turn evenly: keep its first half, or fold it about an axis off the middle",
             &o->half_turn),
        Value('c', "CENTER",
              "the rotation axis in detector columns, fit, or a file of row and center lines (default: found on five rows)",
              &o->center),
        Value('C', "FROM,TO,STEP", "one row about each trial center from FROM to TO, a page each (a .tif volume)",
              &o->scan),
        Value('k', "KERNEL", "chesler (default), shepp or ramachandran", &o->kernel),
        Value('w', "GAP", "weights beside a limited range's gap: part (default), even or ends", &o->gap),
        Value('p', "PIXEL", "the detector pixel in micrometres, recorded in the volume", &o->pixel),
        Value('s', "SIZE", "the slices' side, pixels (default: the detector's width)", &o->size),
        Flag('l', "the stack holds line integrals already", &o->line_integrals),
        Value('z', "T", "replace zingers that stand T noises above their neighbours (photon noise with flats; 6 is usual)", &o->zingers),
        Value('M', "METHOD", "fbp (filtered back-projection, default), fourier (gridding), sirt, cgls or tv",
              &o->method),
        Value('i', "N", "iterations of sirt, cgls or tv (default 100; tv: 300, fewer when -e stops it)", &o->iterative.iterations),
        Flag('n', "keep the slices non-negative (sirt, tv)", &o->iterative.nonnegative),
        Value('S', "SUBSETS", "sirt over this many ordered subsets of views (default 1)", &o->iterative.subsets),
        Value('L', "LAMBDA", "tv: the weight of total variation, relative to the data (default 0.3)",
              &o->iterative.lambda),
        Value('e', "TOL", "tv: stop when the slice changes by less than this share (default 3e-4)",
              &o->iterative.tolerance),
        Value('R', "METHOD[,SIZE]", "remove rings from each sinogram: auto, detect, sort or fft, as sino_rings",
              &o->rings),
        Value('o', "X,Y", "the slices' centre in detector intervals from the axis (default 0,0)", &o->offset),
        Value('T', "TYPE", "the samples: float32 (default), uint8 or uint16", &o->type),
        Value('V', "LO,HI", "the values written as 0 and the integers' maximum (default: 0.1 and 99.9 percentiles)",
              &o->values),
        Flag('j', "join the parts of a volume written by a job array", &o->join),
        Value('P', "DELTA_BETA,DISTANCE,ENERGY,PIXEL",
              "phase retrieval: delta/beta, the distance in m, the energy in keV, the pixel in m", &o->phase),
    };
    const Operand operands[] = {
        {"STACK...", "projection images (TIFF), or one HDF5 Data Exchange file"},
        {"VOLUME", "the volume written: name.tif, name.h5, or a pattern with %d for one image per row"},
    };
    CommandLine line;
    Status read = ReadCommandLine(argc, argv, Command{kUsage, table, operands, 2, INT_MAX}, &line);
    *helped = line.helped;
    if (!read.ok() || line.helped) return read;
    o->given = GivenOptions(table);
    o->stack.assign(line.operands, line.operands + line.count - 1);
    o->volume = line.operands[line.count - 1];
    Status expanded = ExpandNames(&o->flats, &o->flat_names);
    if (expanded.ok()) expanded = ExpandNames(&o->darks, &o->dark_names);
    return expanded;
}

// The values of the options, checked before any file is opened.
struct Settings {
    double budget_mib = 0;      // -m
    int first = 0, wanted = 0;  // -r
    CenterChoice center{};
    CenterTable table;            // -c FILE
    std::vector<double> scan;     // -C: the trial centers
    Kernel kernel = Kernel::kChesler;
    ReconMethod method = ReconMethod::kDirect;
    GapWeights gap = GapWeights::kPart;
    double pixel = 0;  // micrometres, 0 for none
    int size = 0;      // 0: the detector's width
    VolumeKind kind = VolumeKind::kBad;
    NamePattern pattern{};
    Reading reading{false, 0, nullptr};  // -l, -z
    ThetaUnit unit = ThetaUnit::kTold;   // -u
    bool phase = false;         // -P
    PhaseSettings phase_settings{};
    BandSteps steps{};          // -R, -M's methods, -o
    VolumeStorage storage{};    // -T, -V
};

Status CheckOptions(const Options &options, Settings *s) {
    s->budget_mib = kDefaultBudgetMiB;
    if (options.budget != nullptr) {
        Status budget = StrictReal(options.budget, "bad memory budget.", &s->budget_mib);
        if (!budget.ok()) return budget;
    }
    if (!(s->budget_mib > 0 && std::isfinite(s->budget_mib))) return Failure("bad memory budget.");
    if (options.range != nullptr) {
        Status range = RowRangeArgument(options.range, &s->first, &s->wanted);
        if (!range.ok()) return range;
    }
    Status center = CenterOption(options.center, &s->center);
    if (!center.ok()) return center;
    if (s->center.table) {
        Status table = ReadCenterTable(options.center, &s->table);
        if (!table.ok()) return table;
    }
    if (options.scan != nullptr) {
        Status scan = CenterScanArgument(options.scan, &s->scan);
        if (!scan.ok()) return scan;
    }
    if (options.kernel != nullptr) {
        Status kernel = KernelArgument(options.kernel, &s->kernel);
        if (!kernel.ok()) return kernel;
    }
    if (options.method != nullptr) {
        Status method = SliceMethodArgument(options.method, &s->steps.method);
        if (!method.ok()) return method;
        if (s->steps.method == SliceMethod::kFourier) s->method = ReconMethod::kFourier;
    }
    Status iterative = IterativeArgument(options.iterative, s->steps.method, &s->steps.iterative);
    if (!iterative.ok()) return iterative;
    if (options.rings != nullptr) {
        Status rings = RingsOption(options.rings, &s->steps.rings);
        if (!rings.ok()) return rings;
    }
    if (options.offset != nullptr) {
        Status offset = ImageCenterArgument(options.offset, &s->steps.x0, &s->steps.y0);
        if (!offset.ok()) return offset;
    }
    if (options.unit != nullptr) {
        Status unit = ThetaUnitArgument(options.unit, &s->unit);
        if (!unit.ok()) return unit;
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
        Status size = StrictInt(options.size, "bad image size.", &s->size);
        if (!size.ok()) return size;
        if (!ImageSizeFits(s->size)) return Failure("bad image size.");
    }
    if (options.zingers != nullptr) {
        Status zingers = StrictReal(options.zingers, "bad zinger threshold.", &s->reading.zinger_threshold);
        if (!zingers.ok()) return zingers;
        if (!(s->reading.zinger_threshold > 0 && std::isfinite(s->reading.zinger_threshold)))
            return Failure("bad zinger threshold.");
    }
    if (options.phase != nullptr) {
        Status phase = PhaseArgument(options.phase, &s->phase_settings);
        if (!phase.ok()) return phase;
        s->phase = true;
    }
    if (options.type != nullptr) {
        Status type = SampleTypeArgument(options.type, &s->storage.type);
        if (!type.ok()) return type;
    }
    if (options.values != nullptr) {
        Status values = ValueRangeArgument(options.values, &s->storage.lo, &s->storage.hi);
        if (!values.ok()) return values;
    }
    s->storage.percentiles = s->storage.type != SampleType::kFloat32 && options.values == nullptr;
    s->reading.line_integrals = options.line_integrals;
    s->kind = KindOfVolume(options.volume, &s->pattern);
    if (s->kind == VolumeKind::kBad) return Failure(kBadVolume);
    if (s->storage.type != SampleType::kFloat32 && !HoldsIntegers(s->kind, options.volume))
        return Failure(kIntegersNeedTiff);
    if (options.join && (!options.flats.empty() || !options.darks.empty() || options.range != nullptr ||
                         options.angles != nullptr || options.unit != nullptr || options.half_turn || options.center != nullptr ||
                         options.kernel != nullptr || options.method != nullptr || options.gap != nullptr ||
                         options.pixel != nullptr || options.size != nullptr || options.line_integrals ||
                         options.zingers != nullptr || options.phase != nullptr || options.scan != nullptr ||
                         options.iterative.iterations != nullptr || options.iterative.nonnegative ||
                         options.iterative.subsets != nullptr || options.iterative.lambda != nullptr ||
                         options.iterative.tolerance != nullptr || options.rings != nullptr ||
                         options.offset != nullptr || options.type != nullptr || options.values != nullptr))
        return Failure("-j takes no other option.");
    if (options.values != nullptr && s->storage.type == SampleType::kFloat32)
        return Failure("-V needs -T uint8 or uint16.");
    if (options.scan != nullptr) {
        if (s->kind != VolumeKind::kTiff) return Failure("-C writes one .tif volume.");
        if (options.center != nullptr) return Failure("-C takes no -c.");
        if (options.method != nullptr) return Failure("-C takes no -M.");
        if (options.phase != nullptr) return Failure("-C takes no -P.");
        if (options.rings != nullptr) return Failure("-C takes no -R.");
        if (options.offset != nullptr) return Failure("-C takes no -o.");
    }
    Status fit = IterativeWordsFit(options.iterative, s->steps.method);
    if (!fit.ok()) return fit;
    if (IsIterative(s->steps.method) && options.kernel != nullptr) return Failure("-k needs the fbp or fourier method.");
    if (IsIterative(s->steps.method) && options.gap != nullptr) return Failure("-w needs the fbp or fourier method.");
    if (options.line_integrals && (!options.flats.empty() || !options.darks.empty()))
        return Failure("line integrals take no flats or darks.");
    if (options.line_integrals && options.phase != nullptr)
        return Failure("line integrals take no phase retrieval (-P).");
    if (!options.darks.empty() && options.flats.empty()) return Failure("darks need flats.");
    return Success();
}

// The views reconstructed: the stack's images (the first half with -t),
// at the angles of -a, else of /exchange/theta, else evenly over the half
// turn. *half_turn is how many views from the first make an even half
// turn (0: none).
Status MakeViews(const Options &options, const Settings &s, const StackInputs &in, ViewSet *views, int *half_turn) {
    int images = in.stack.images;
    int count = images;
    if (options.half_turn) {
        if (images % 2 != 0) return Failure("odd number of views for a full turn.");
        count = images / 2;
    }
    std::vector<double> radians;
    if (options.angles != nullptr) {
        // An angle list in radians is told as /exchange/theta is (-u).
        std::vector<double> values;
        Status read = ReadAngleValues(options.angles, images, &values);
        if (!read.ok()) return read;
        if (ThetaInRadians(options.angles, values, s.unit, stderr, true)) {
            radians.assign(values.begin(), values.begin() + count);
        } else {
            ViewSet all;
            read = ViewsFromDegrees(values.data(), images, &all);
            if (!read.ok()) return read;
            radians.assign(all.angles, all.angles + count);
            ReleaseViews(&all);
        }
    } else if (in.stack.hdf5) {
        std::vector<double> degrees;
        bool present = false;
        Status read = ReadH5Angles(in.stack.h5.file, images, &degrees, &present);
        if (!read.ok()) return read;
        if (present && ThetaInRadians(options.stack[0], degrees, s.unit, stderr))
            for (int k = 0; k < count; ++k) radians.push_back(degrees[k]);
        else
            for (int k = 0; present && k < count; ++k) radians.push_back(static_cast<Real>(degrees[k]) * kPi / 180);
    }
    if (radians.empty()) {
        *half_turn = count;
        return EvenHalfTurn(count, views);
    }
    *half_turn = EvenHalfTurnStart(radians.data(), count);
    return ViewsFromRadians(radians.data(), count, views);
}

// The rows to reconstruct and the band's size within the budget.
struct Plan {
    int first, count;
    int size;       // image side
    int band_rows;
    int workers;    // the gridding's threads, each with a grid
};

Status PlanRows(const Options &options, const Settings &s, const StackInputs &in, int views, Plan *plan) {
    int rows = in.stack.rows, columns = in.stack.columns;
    int first = s.first, wanted = options.range != nullptr ? s.wanted : rows;
    if (first >= rows) return RowRangeOutside(first, wanted, rows);
    plan->first = first;
    plan->count = wanted < rows - first ? wanted : rows - first;
    plan->size = s.size > 0 ? s.size : columns;
    if (s.kind == VolumeKind::kHdf5 && !SliceFitsChunk(plan->size)) return Failure("bad image size.");
    if (s.center.given && !s.center.fit && !s.center.table && !CenterInside(s.center.value, columns))
        return Failure("bad position of rotation center.");
    if (s.steps.rings.on) {
        Status fits = SizeFitsDetector(s.steps.rings.method, s.steps.rings.size, columns);
        if (!fits.ok()) return fits;
    }
    // The rows a band holds within a budget of `mib` MiB, and the gridding's
    // workers beside it.
    const double pixels = static_cast<double>(plan->size) * plan->size;
    auto rows_within = [&](double mib, int *workers) {
        // Beside the band: the image, its floats, and the filter's work
        // arrays for each thread.
        double length = 2.0 * columns + 64;
        double fixed =
            pixels * (sizeof(double) + sizeof(float)) + (ThreadsFor(views) * 2.0 + 1) * length * sizeof(double);
        // Integers: the slice as floats and as stored, and the percentiles' counts.
        if (s.storage.type != SampleType::kFloat32)
            fixed += pixels * (sizeof(float) + SampleBytes(s.storage.type)) + (s.storage.percentiles ? 3 * 65536 * 8.0 : 0);
        // The gridding: each worker's arrays and two images, the workers no
        // more than half the budget holds.
        *workers = 0;
        if (s.method == ReconMethod::kFourier) {
            double worker = GridRecBytes(columns, plan->size, 1) + 2 * pixels * sizeof(double);
            double fit = std::floor(mib * 1048576.0 / 2 / worker);
            *workers = fit < SliceWorkersFor(plan->count) ? static_cast<int>(fit) : SliceWorkersFor(plan->count);
            if (*workers < 1) *workers = 1;
            fixed += *workers * worker;
        }
        if (IsIterative(s.steps.method))
            fixed += SolverBytes(s.steps.method, s.steps.iterative.subsets, plan->size, views, columns, ThreadsFor(views));
        fixed += RingsThreads(plan->count) * RingsBytes(s.steps.rings, views, columns, 1);
        double budget = mib * 1048576.0 - fixed;
        if (s.phase)
            return budget <= 0 ? 0 : PhaseBandRows(budget, BandRowBytes(views, columns), s.phase_settings, in, views,
                                                   plan->count);
        return BandRowsWithCaches(budget, views, columns, plan->count,
                                  {&in.stack, in.have_flats ? &in.flats : nullptr, in.have_darks ? &in.darks : nullptr});
    };
    plan->band_rows = rows_within(s.budget_mib, &plan->workers);
    // The gridding takes rows in pairs (an even row and the next), which
    // needs two rows in a band.
    const int least = s.method == ReconMethod::kFourier && plan->count > 1 ? 2 : 1;
    if (plan->band_rows < least) {
        int workers = 0;
        return BudgetTooSmall([&](double mib) { return rows_within(mib, &workers); }, least);
    }
    if (BandRowBytes(views, columns) * plan->band_rows > 0x1p62) return Failure("memory allocation error.");
    return Success();
}

// The axis of every row to reconstruct: -c's number or table, or found
// from the data (on a full turn, from all of its views).
Status Centers(const Settings &s, const StackInputs &in, int half_turn, const Turn &turn, const Plan &plan,
               bool told_full_turn, std::vector<double> *centers) {
    centers->assign(static_cast<std::size_t>(plan.count), s.center.value);
    if (s.center.table) {
        Status inside = CheckCenterTable(s.table, in.stack.columns);
        if (!inside.ok()) return inside;
        for (int i = 0; i < plan.count; ++i) (*centers)[static_cast<std::size_t>(i)] = TableCenter(s.table, plan.first + i);
        return Success();
    }
    AxisSearch search{half_turn, false, nullptr, &s.steps.rings};
    Reading how = s.reading;
    if (turn.full) {
        search = AxisSearch{turn.images, true, turn.even ? nullptr : &turn.whole, &s.steps.rings};
        how.angles = turn.whole.angles;
    }
    // -t with the axis given: a half turn said to be a whole one would be
    // reconstructed from its first half alone, about the wrong views.
    if (s.center.given && !s.center.fit)
        return told_full_turn && turn.full ? CheckTurn(in, how, search, plan.first + plan.count / 2) : Success();
    if (!turn.full && half_turn == 0) return Failure("the views are not an even half turn: give the axis with -c.");
    Status found = FindAxis(in, how, search, plan.first, plan.count, s.center.fit, centers->data(), stderr);
    if (!found.ok()) return found;
    for (double c : *centers)
        if (!CenterInside(c, in.stack.columns)) return Failure("bad position of rotation center.");
    return Success();
}

// Reconstructs `rows` sinograms of a band, detector rows start ... , and
// writes their slices: one by one with the direct method, every thread on
// each; with the gridding, groups of an even row and the next (or a row
// alone, whose partner lies outside the range), a pair or row a thread.
Status ReconstructRows(const ViewFilter &filter, const SliceWorkers &workers, const ViewSet &views,
                       const Plan &plan, const std::vector<double> &centers, int start, int rows, double *band,
                       double *images, const Grid &grid, Volume *volume, Progress &progress) {
    int columns = workers.count > 0 ? workers.recs[0].detectors : filter.detectors;
    std::size_t sinogram = static_cast<std::size_t>(views.count) * static_cast<std::size_t>(columns);
    std::size_t pixels = static_cast<std::size_t>(plan.size) * static_cast<std::size_t>(plan.size);
    Status status;
    for (int j = 0; status.ok() && j < rows;) {
        int index = start - plan.first + j;
        double *samples = band + static_cast<std::size_t>(j) * sinogram;
        // A group of at most two rows a worker, ending before a pair.
        int count = 1;
        if (workers.count > 0) {
            count = rows - j < 2 * workers.count ? rows - j : 2 * workers.count;
            if (count > 1 && j + count < rows && (start + j + count) % 2 == 1) --count;
        }
        std::vector<char> finite(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) finite[i] = AllFinite(samples + i * sinogram, sinogram);
        if (workers.count == 0)
            ReconstructImage(filter, samples, views, Detector{columns, centers[static_cast<std::size_t>(index)]},
                             grid, 1.0, images);
        else
            GridRows(workers, samples, sinogram, start + j, count, centers.data() + index, views, grid, images);
        for (int i = 0; status.ok() && i < count; ++i) {
            // A pair's rows share their spectra: a sample that is not
            // finite reaches both slices.
            bool finite_input = finite[i];
            bool even = (start + j + i) % 2 == 0;
            if (workers.count > 0 && even && i + 1 < count) finite_input = finite_input && finite[i + 1];
            if (workers.count > 0 && !even && i > 0) finite_input = finite_input && finite[i - 1];
            // Finite samples whose image is not finite: sums beyond the double range.
            if (finite_input && !AllFinite(images + i * pixels, pixels)) status = Failure("result out of range.");
            if (status.ok()) status = WriteSlice(volume, index + i, images + i * pixels);
            ShowProgress(progress, index + i + 1);
        }
        j += count;
    }
    return status;
}

// Reads, reconstructs and writes every band of rows.
// With a fold, each band's 2M views a row are read and folded (turn.h).
Status ReconstructBands(const StackInputs &in, const Reading &how, const ViewSet &views, const Plan &plan,
                        Kernel kernel, ReconMethod method, const BandSteps &steps, const std::vector<double> &centers,
                        Fold *fold, Volume *volume, ReadCounts *counts) {
    int columns = fold->active ? fold->width : in.stack.columns;  // of the sinograms reconstructed
    std::size_t width = static_cast<std::size_t>(in.stack.columns);
    std::size_t sinogram = fold->active ? FoldStride(*fold) : static_cast<std::size_t>(views.count) * width;
    std::size_t band_rows = static_cast<std::size_t>(plan.band_rows);
    std::size_t band_bytes = band_rows * sinogram * sizeof(double);
    std::size_t means_bytes = band_rows * width * 3 * sizeof(double);
    std::size_t pixels = static_cast<std::size_t>(plan.size) * static_cast<std::size_t>(plan.size);
    auto *band = static_cast<double *>(AllocateBlock(band_bytes));
    auto *means = static_cast<double *>(AllocateBlock(means_bytes));
    // The gridding: a worker a thread, two slices each.
    int workers_wanted = plan.workers;
    std::size_t images_bytes = (method == ReconMethod::kFourier ? 2 * workers_wanted : 1) * pixels * sizeof(double);
    auto *images = static_cast<double *>(AllocateBlock(images_bytes));
    ViewFilter filter{};
    SliceWorkers workers;
    SolverWork solver;
    Grid grid = SliceGrid(steps, plan.size);
    bool iterative = IsIterative(steps.method);
    bool have_method = iterative ? MakeSolverWork(steps.method, steps.iterative, views, grid, columns, &solver).ok()
                       : method == ReconMethod::kDirect
                           ? MakeViewFilter(columns, kernel, ThreadsFor(views.count), &filter)
                           : MakeSliceWorkers(columns, kernel, plan.size, workers_wanted, &workers);
    Status status;
    if (band == nullptr || means == nullptr || images == nullptr || !have_method)
        status = Failure("memory allocation error.");
    Progress progress = StartProgress(plan.count);
    // 64-bit, so that the step past the last band cannot wrap.
    for (long long next = plan.first; status.ok() && next < plan.first + plan.count;) {
        int start = static_cast<int>(next);
        int end = plan.first + plan.count;
        int rows = plan.band_rows < end - start ? plan.band_rows : end - start;
        // A band that would end between a pair ends before it.
        if (method == ReconMethod::kFourier && rows > 1 && start + rows < end && (start + rows) % 2 == 1) --rows;
        std::string span = "rows " + std::to_string(start) + " to " + std::to_string(start + rows - 1);
        ShowStep(progress, start - plan.first, "reading " + span);
        status = ReadSinograms(in, how, fold->active ? 2 * fold->pairs : views.count, start, rows, band, means, counts);
        if (status.ok() && fold->active) FoldBand(fold, start - plan.first, rows, band);
        // Folded or not, the band's sinograms lie one after another,
        // views.count x columns each.
        if (status.ok() && steps.rings.on) {
            ShowStep(progress, start - plan.first, "removing rings from " + span);
            status = CleanBand(steps.rings, band, rows, views.count, columns);
        }
        const std::vector<double> &axes = fold->active ? fold->axes : centers;
        if (status.ok() && iterative)
            status = IterateRows(steps.method, steps.iterative, views, grid, columns, axes.data() + (start - plan.first),
                                 start, start - plan.first, rows, band, &solver, images, volume, progress);
        else if (status.ok())
            status = ReconstructRows(filter, workers, views, plan, axes, start, rows, band, images, grid, volume,
                                     progress);
        next += rows;
    }
    EndProgress(progress);
    if (have_method && !iterative && method == ReconMethod::kFourier) ReleaseSliceWorkers(&workers);
    ReleaseBlock(band, band_bytes);
    ReleaseBlock(means, means_bytes);
    ReleaseBlock(images, images_bytes);
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
    Options options;
    bool helped = false;
    Check(ReadOptions(argc, argv, &options, &helped));
    if (helped) return 0;
    KeepHdf5FromClosingAtExit();
    Settings settings;
    Check(CheckOptions(options, &settings));

    if (options.join) {
        Volume volume;
        int slices = 0, size = 0;
        std::string missing;
        Record record = StartRecord(argc, argv, options.given, options.stack);
        Check(JoinParts(options.stack, options.volume, settings.kind, settings.pattern, std::move(record), &volume,
                        &slices, &size, &missing));
        if (!missing.empty()) Warn(missing);
        std::fprintf(stderr, "%s: %d slices of %d x %d.\n", options.volume, slices, size, size);
        return 0;
    }
    StackInputs in;
    Check(OpenStackInputs(options.stack, options.flats, options.darks, options.line_integrals, &in));
    if (std::string order = StackOrderWarning(options.stack); !order.empty()) Warn(order);
    std::vector<const char *> read = options.stack;
    read.insert(read.end(), options.flats.begin(), options.flats.end());
    read.insert(read.end(), options.darks.begin(), options.darks.end());
    if (options.angles != nullptr) read.push_back(options.angles);
    Check(CheckVolumeName(options.volume, settings.kind, InputFiles(read)));
    // Counts read as line integrals make a volume of nonsense.
    if (in.counts_in_file)
        Check(Failure(std::string(options.stack[0]) +
                      ": has flats or darks: its projections are counts, not line integrals (leave out -l)."));
    ViewSet views;
    int half_turn = 0;
    Check(MakeViews(options, settings, in, &views, &half_turn));
    // No angles given or read, no -t: the views are taken for an even half turn.
    const bool assumed_half_turn = views.even && !options.half_turn;
    // The iterative methods take the views as sino_iter does, unweighted.
    if (!IsIterative(settings.steps.method)) WeighGap(&views, in.stack.columns, settings.kernel, settings.gap);
    settings.reading.angles = views.angles;
    Turn turn;
    Check(DescribeTurn(options.half_turn, views, in.stack.images, &turn));
    // The search reads a full turn whole (through the phase band with -P).
    int read_views = turn.images > views.count ? turn.images : views.count;
    Plan plan;
    Check(PlanRows(options, settings, in, settings.phase ? read_views : views.count, &plan));
    // The iterations bridge a limited range, as sino_iter says, but not views
    // all in one direction.
    bool warn = !IsIterative(settings.steps.method) || OneDirection(views);
    if (std::string warning = LimitedRangeWarning(views, "total variation (-M tv)"); warn && !warning.empty())
        Warn(warning);
    PhaseBand phase;
    if (settings.phase) {
        Check(MakePhaseBand(settings.phase_settings, in, read_views, plan.band_rows, &phase));
        settings.reading.phase = &phase;
    }
    bool scanning = options.scan != nullptr;
    std::vector<double> centers = settings.scan;
    if (scanning)
        Check(CheckCenterScan(centers, in.stack.columns));
    else
        Check(Centers(settings, in, half_turn, turn, plan, options.half_turn, &centers));
    // A full turn whose axis lies off the middle is folded into a wider
    // half turn, reconstructed at its width unless -s says otherwise.
    Fold fold;
    Check(CheckPartTurn(turn, views, in.stack.columns, centers));
    if (NeedsFold(turn, in.stack.columns, centers)) {
        Check(MakeFold(turn, in.stack.columns, centers, &fold));
        Check(FoldedViews(fold, &views));
        if (!IsIterative(settings.steps.method)) WeighGap(&views, fold.width, settings.kernel, settings.gap);
        settings.reading.angles = turn.whole.angles;
        if (settings.size == 0) settings.size = fold.width;
        std::size_t row_views = (FoldStride(fold) + in.stack.columns - 1) / in.stack.columns;
        Check(PlanRows(options, settings, in, static_cast<int>(row_views) > read_views ? static_cast<int>(row_views) : read_views,
                       &plan));
    }
    if (std::string warning = OutsideFieldWarning(SliceGrid(settings.steps, plan.size), in.stack.columns,
                                                   centers.data(), static_cast<int>(centers.size()));
        !warning.empty())
        Warn(warning);
    // Views of a whole turn taken for a half turn, told by the middle row
    // to be reconstructed (the axis given with -c is not searched, and a
    // search may settle on a wrong one).
    if (assumed_half_turn && !scanning &&
        RowLooksLikeWholeTurn(in, settings.reading, views.count, plan.first + plan.count / 2,
                              centers[static_cast<std::size_t>(plan.count / 2)]))
        Warn(WholeTurnWarning("give -t (or the angles with -a)"));
    // The scan's row: the first of -r, else the middle one.
    int scan_row = options.range != nullptr ? plan.first : in.stack.rows / 2;
    if (scanning) {
        plan.first = scan_row;
        plan.count = static_cast<int>(centers.size());
    }

    std::vector<double> degrees = Degrees(views);
    VolumeFacts facts{plan.count, plan.size, plan.first, settings.pixel, centers.data(), degrees.data(), views.count};
    Record record = StartRecord(argc, argv, options.given, options.stack);
    AddRunFacts(&record, RunFacts{options.kernel != nullptr ? options.kernel : "chesler",
                                  options.method != nullptr ? options.method : "fbp",
                                  settings.center.given ? options.center : nullptr, &centers, in.stack.rows,
                                  plan.first, plan.count, in.have_flats ? in.flats.images : 0,
                                  in.have_darks ? in.darks.images : 0, settings.reading.zinger_threshold > 0});
    AddStepFacts(&record, settings.steps, plan.size, settings.reading.zinger_threshold);
    // A centre scan is one row at trial centres, a page each.
    if (scanning) {
        SetText(&record, "center", std::string("scan ") + options.scan);
        SetInteger(&record, "rows", 1);
        SetInteger(&record, "pages", plan.count);
    }
    Volume volume;
    if (scanning) volume.tiff.page_texts = ScanPageTexts(centers);
    Check(BeginVolume(options.volume, settings.kind, settings.pattern, facts, settings.storage, std::move(record),
                      InputFiles(read), &volume));
    ReadCounts counts;
    Status done = scanning ? ScanCenters(in, settings.reading, views, fold.active ? 2 * fold.pairs : views.count, &fold,
                                         centers, scan_row, settings.kernel, plan.size, &volume, &counts)
                           : ReconstructBands(in, settings.reading, views, plan, settings.kernel, settings.method,
                                              settings.steps, centers, &fold, &volume, &counts);
    SetCounts(&volume.record, counts);
    // The scan's pages and centers, printed before the volume is put in place.
    if (done.ok() && scanning) {
        std::fputs(ScanLines(centers).c_str(), stdout);
        done = FlushStandardOutput("data write error.");
    }
    if (done.ok()) done = FinishVolume(&volume);
    if (!done.ok()) CloseVolume(&volume);
    Check(done);
    if (settings.phase) ReleasePhaseBand(&phase);
    ReleaseViews(&views);
    ReleaseTurn(&turn);
    if (settings.reading.zinger_threshold > 0) {
        std::fprintf(stderr, "%lld zingers replaced.\n", counts.zingers);
        if (in.have_flats) std::fprintf(stderr, "%lld zingers removed from the flats.\n", counts.flat_zingers);
        if (in.have_darks) std::fprintf(stderr, "%lld zingers removed from the darks.\n", counts.dark_zingers);
    }
    if (counts.clamped > 0) std::fprintf(stderr, "%lld samples clamped.\n", counts.clamped);
    if (NotTransmissions(counts.transmissions, counts.above)) Warn(kNotTransmissions);
    if (NotLineIntegrals(counts.integrals, counts.integrals_above)) Warn(kNotLineIntegrals);
    if (MostlyNegative(counts.negative, counts.positive)) Warn(kMostlyNegative);
    int first_dark = -1;
    int dark_views = DarkViews(counts.view_sums.data(), static_cast<int>(counts.view_sums.size()), &first_dark);
    if (dark_views > 0) Warn(DarkViewsWarning(dark_views, first_dark, ImageFile(in.stack, first_dark)));
    if (settings.phase)
        if (std::string units = PhaseUnitsWarning(settings.phase_settings); !units.empty()) Warn(units);
    if (!options.flats.empty()) ReportFlatsAndDarks(in, stderr);
    if (settings.storage.percentiles)
        std::fprintf(stderr, "values %.9g to %.9g (0.1 and 99.9 percentiles) written as 0 to %.0f.\n",
                     volume.storage.lo, volume.storage.hi, SampleMax(settings.storage.type));
    std::fprintf(stderr, "%s: %d slices of %d x %d.\n", options.volume, plan.count, plan.size, plan.size);
    return 0;
}
