#include "run.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "args.h"
#include "band.h"
#include "error.h"
#include "help.h"
#include "images.h"
#include "kind.h"
#include "memory.h"
#include "normalise.h"
#include "output.h"
#include "pattern.h"
#include "sinogram.h"
#include "streams.h"

namespace {

const char kUsage[] = "usage : proj_sino [-f FLAT] [-d DARK] [-r FIRST,COUNT] [-m MIB] [-l] [-s] [-t] STACK... PATTERN";

struct Options {
    std::vector<const char *> flats, darks;
    const char *range = nullptr;
    double budget_mib = kDefaultBudgetMiB;
    bool line_integrals = false;  // -l: the stack holds line integrals already
    bool strict = false;          // -s: a clamped sample is a failure
    bool half_turn = false;       // -t: keep the first half of a full turn
    std::vector<const char *> stack;
    const char *pattern = nullptr;
};

Status ReadOptions(int argc, char **argv, Options *options) {
    optind = 0;  // glibc: start afresh (the fuzzing build runs this again and again)
    opterr = 0;
    int option;
    // '+': options end at the first operand, as POSIX has it.
    while ((option = getopt(argc, argv, "+f:d:r:m:lst")) != -1) {
        switch (option) {
            case 'f': options->flats.push_back(optarg); break;
            case 'd': options->darks.push_back(optarg); break;
            case 'r': options->range = optarg; break;
            case 'm': options->budget_mib = RealArgument(optarg); break;
            case 'l': options->line_integrals = true; break;
            case 's': options->strict = true; break;
            case 't': options->half_turn = true; break;
            default: return Failure(kUsage);
        }
    }
    if (argc - optind < 2) return Failure(kUsage);
    for (int i = optind; i < argc - 1; ++i) options->stack.push_back(argv[i]);
    options->pattern = argv[argc - 1];
    return Success();
}

// "FIRST,COUNT" with FIRST >= 0 and COUNT > 0; anything else fails with
// "bad row range.".
Status RangeArgument(const char *text, int *first, int *count) {
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr) return Failure("bad row range.");
    *first = IntArgument(text);
    *count = IntArgument(comma + 1);
    if (*first < 0 || *count <= 0) return Failure("bad row range.");
    return Success();
}

// The stack with its flat and dark images, whichever format holds them.
struct Inputs {
    Images stack{}, flats{}, darks{};
    bool have_flats = false, have_darks = false;
};

Status OpenInputs(const Options &options, Inputs *in) {
    if (KindOfFile(options.stack[0]) == FileKind::kHdf5) {
        const char *file = options.stack[0];
        if (options.stack.size() != 1) return Failure("one hdf5 file at a time.");
        if (!options.flats.empty() || !options.darks.empty())
            return Failure(About(file, "flats and darks are in the file."));
        bool present = false;
        Status opened = Hdf5Images(file, kH5Data, &in->stack, &present);
        if (!opened.ok()) return opened;
        if (!present) return Failure(About(file, "no /exchange/data."));
        if (!options.line_integrals) {
            opened = Hdf5Images(file, kH5White, &in->flats, &in->have_flats);
            if (!opened.ok()) return opened;
            opened = Hdf5Images(file, kH5Dark, &in->darks, &in->have_darks);
            if (!opened.ok()) return opened;
            if (in->have_darks && !in->have_flats) return Failure("darks need flats.");
        }
    } else {
        Status opened = TiffImages(options.stack, &in->stack);
        if (!opened.ok()) return opened;
        in->have_flats = !options.flats.empty();
        in->have_darks = !options.darks.empty();
        if (in->have_flats) opened = TiffImages(options.flats, &in->flats);
        if (opened.ok() && in->have_darks) opened = TiffImages(options.darks, &in->darks);
        if (!opened.ok()) return opened;
    }
    const char *flat_name = options.flats.empty() ? options.stack[0] : options.flats[0];
    const char *dark_name = options.darks.empty() ? options.stack[0] : options.darks[0];
    if (in->have_flats && (in->flats.columns != in->stack.columns || in->flats.rows != in->stack.rows))
        return Failure(About(flat_name, "sizes differ."));
    if (in->have_darks && (in->darks.columns != in->stack.columns || in->darks.rows != in->stack.rows))
        return Failure(About(dark_name, "sizes differ."));
    return Success();
}

using FileId = std::pair<dev_t, ino_t>;

// Where the sinograms go: files named by the pattern, each written to a
// temporary file and all renamed at the end of a successful run, or
// standard output.
struct Outputs {
    bool to_stdout;
    NamePattern pattern;
    std::set<FileId> inputs;    // the files read, never to be replaced
    std::vector<Output> files;  // written and closed, waiting to be renamed
};

Status PrepareOutputs(const Options &options, Outputs *outputs) {
    outputs->to_stdout = IsStandardStream(options.pattern);
    if (!outputs->to_stdout && !ParsePattern(options.pattern, &outputs->pattern))
        return Failure("bad output pattern.");
    for (const auto *list : {&options.stack, &options.flats, &options.darks}) {
        for (const char *name : *list) {
            struct stat s;
            if (stat(name, &s) == 0) outputs->inputs.insert({s.st_dev, s.st_ino});
        }
    }
    // Standard output may be an input opened for writing too ("- 1<>stack.tif",
    // ">>flat.tif"): the later bands would read what the earlier ones wrote.
    struct stat standard_output;
    if (outputs->to_stdout && fstat(STDOUT_FILENO, &standard_output) == 0 && S_ISREG(standard_output.st_mode) &&
        outputs->inputs.count({standard_output.st_dev, standard_output.st_ino}) != 0)
        return Failure("output is an input.");
    return Success();
}

// Writes the sinogram of row `row` (views x columns samples).
Status WriteSinogram(Outputs *outputs, int row, const double *samples, int columns, int views) {
    std::size_t bytes = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns) * sizeof(double);
    if (outputs->to_stdout) {
        Status written = WriteCheckedHeader(stdout, columns, views, "data write error.");
        if (written.ok()) written = WriteBlock(stdout, samples, bytes, "data write error.");
        return written;
    }
    std::string name = PatternName(outputs->pattern, row);
    struct stat s;
    if (stat(name.c_str(), &s) == 0 && outputs->inputs.count({s.st_dev, s.st_ino}) != 0)
        return Failure(About(name, "output is an input."));
    std::string write_failure = About(name, "data write error.");
    Output out;
    Status written = OpenOutput(name.c_str(), About(name, "file not open.").c_str(), &out);
    if (!written.ok()) return written;
    outputs->files.push_back(out);
    Output &file = outputs->files.back();
    written = WriteCheckedHeader(file.stream, columns, views, write_failure.c_str());
    if (written.ok()) written = WriteBlock(file.stream, samples, bytes, write_failure.c_str());
    if (written.ok()) written = CloseOutput(&file, write_failure.c_str());
    return written;
}

// Renames every sinogram written into place, once all of them are complete.
Status CommitOutputs(Outputs *outputs) {
    if (outputs->to_stdout) return FlushStandardOutput("data write error.");
    for (Output &file : outputs->files) {
        std::string name = file.target;
        Status renamed = CommitOutput(&file, About(name, "file not open.").c_str());
        if (!renamed.ok()) return renamed;
    }
    return Success();
}

// The rows to write, the views of each sinogram and the band's size.
struct Plan {
    int first, count;  // detector rows
    int views;
    int band_rows;
};

Status PlanBands(const Options &options, const Images &stack, Plan *plan) {
    int first = 0, wanted = 0;
    if (options.range != nullptr) {
        Status range = RangeArgument(options.range, &first, &wanted);
        if (!range.ok()) return range;
    }
    plan->views = stack.images;
    if (options.half_turn) {
        if (plan->views % 2 != 0) return Failure("odd number of views for a full turn.");
        plan->views /= 2;
    }
    if (options.range == nullptr) wanted = stack.rows;
    if (first >= stack.rows) return Failure("bad row range.");
    plan->first = first;
    plan->count = wanted < stack.rows - first ? wanted : stack.rows - first;
    plan->band_rows = BandRows(options.budget_mib * 1048576.0, plan->views, stack.columns, plan->count);
    if (plan->band_rows == 0) return Failure("memory budget too small.");
    // A huge budget lets the band take every row; its size must still be a
    // number of bytes that can be asked for.
    if (BandRowBytes(plan->views, stack.columns) * plan->band_rows > 0x1p62) return Failure("memory allocation error.");
    return Success();
}

// Reads, normalises and writes every band of rows; the count of clamped
// samples in *clamped.
Status RunBands(const Options &options, const Inputs &in, const Plan &plan, Outputs *outputs, long long *clamped) {
    std::size_t width = static_cast<std::size_t>(in.stack.columns);
    std::size_t sinogram = static_cast<std::size_t>(plan.views) * width;
    std::size_t band_rows = static_cast<std::size_t>(plan.band_rows);
    // Blocks with their pages in place (huge pages where there are): a band
    // of a gigabyte would otherwise take a fault per 4 KiB page on first use.
    std::size_t band_bytes = band_rows * sinogram * sizeof(double);
    std::size_t means_bytes = band_rows * width * 3 * sizeof(double);
    auto *band = static_cast<double *>(AllocateBlock(band_bytes));
    auto *means = static_cast<double *>(AllocateBlock(means_bytes));
    if (band == nullptr || means == nullptr) return Failure("memory allocation error.");
    double *flat = means, *dark = means + band_rows * width, *page = means + 2 * band_rows * width;

    *clamped = 0;
    Status status;
    // 64-bit, so that the step past the last band cannot wrap.
    for (long long next = plan.first; status.ok() && next < plan.first + plan.count; next += plan.band_rows) {
        int start = static_cast<int>(next);
        int rows = plan.band_rows < plan.first + plan.count - start ? plan.band_rows : plan.first + plan.count - start;
        if (in.have_flats) status = MeanRows(in.flats, start, rows, flat, page);
        if (status.ok() && in.have_darks) status = MeanRows(in.darks, start, rows, dark, page);
        if (status.ok()) status = ReadRows(in.stack, plan.views, start, rows, band, width, sinogram);
        if (!status.ok()) break;
        if (!options.line_integrals) {
            long long low = NormaliseBand(band, rows, plan.views, in.stack.columns, in.have_flats ? flat : nullptr,
                                          in.have_darks ? dark : nullptr);
            if (low > 0 && options.strict) status = Failure("ratio out of range.");
            *clamped += low;
        }
        for (int j = 0; status.ok() && j < rows; ++j)
            status = WriteSinogram(outputs, start + j, band + static_cast<std::size_t>(j) * sinogram,
                                   in.stack.columns, plan.views);
    }
    ReleaseBlock(band, band_bytes);
    ReleaseBlock(means, means_bytes);
    return status;
}

}  // namespace

int RunProjSino(int argc, char **argv) {
    ProtectStandardStreams();
    if (AsksForHelp(argc, argv)) {
        Check(PrintHelp(kUsage));
        return 0;
    }
    Options options;
    Check(ReadOptions(argc, argv, &options));
    if (!(options.budget_mib > 0 && std::isfinite(options.budget_mib))) Error("bad memory budget.");
    if (options.range != nullptr) {
        int first = 0, count = 0;
        Check(RangeArgument(options.range, &first, &count));
    }
    Outputs outputs;
    if (!IsStandardStream(options.pattern) && !ParsePattern(options.pattern, &outputs.pattern))
        Error("bad output pattern.");
    if (options.line_integrals && (!options.flats.empty() || !options.darks.empty()))
        Error("line integrals take no flats or darks.");
    if (!options.darks.empty() && options.flats.empty()) Error("darks need flats.");

    Inputs in;
    Check(OpenInputs(options, &in));
    Plan plan;
    Check(PlanBands(options, in.stack, &plan));
    Check(PrepareOutputs(options, &outputs));
    long long clamped = 0;
    Check(RunBands(options, in, plan, &outputs, &clamped));
    Check(CommitOutputs(&outputs));
    if (clamped > 0) std::fprintf(stderr, "%lld samples clamped.\n", clamped);
    return 0;
}
