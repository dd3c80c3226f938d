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
#include "memory.h"
#include "normalise.h"
#include "pattern.h"
#include "sinogram.h"
#include "images.h"
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

Options ReadOptions(int argc, char **argv) {
    Options options;
    optind = 0;  // glibc: start afresh (the fuzzing build runs this again and again)
    opterr = 0;
    int option;
    // '+': options end at the first operand, as POSIX has it.
    while ((option = getopt(argc, argv, "+f:d:r:m:lst")) != -1) {
        switch (option) {
            case 'f': options.flats.push_back(optarg); break;
            case 'd': options.darks.push_back(optarg); break;
            case 'r': options.range = optarg; break;
            case 'm': options.budget_mib = RealArgument(optarg); break;
            case 'l': options.line_integrals = true; break;
            case 's': options.strict = true; break;
            case 't': options.half_turn = true; break;
            default: Error(kUsage);
        }
    }
    if (argc - optind < 2) Error(kUsage);
    for (int i = optind; i < argc - 1; ++i) options.stack.push_back(argv[i]);
    options.pattern = argv[argc - 1];
    return options;
}

// "FIRST,COUNT" with FIRST >= 0 and COUNT > 0; anything else ends the
// process with "bad row range.".
void RangeArgument(const char *text, int *first, int *count) {
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr) Error("bad row range.");
    *first = IntArgument(text);
    *count = IntArgument(comma + 1);
    if (*first < 0 || *count <= 0) Error("bad row range.");
}

// The sinograms written so far, removed when a later step fails: a failed
// run leaves no sinogram that looks complete.
struct Written {
    std::vector<std::string> names;
};

[[noreturn]] void Fail(const Written &written, const std::string &line) {
    for (const std::string &name : written.names) unlink(name.c_str());
    Error(line.c_str());
}

using FileId = std::pair<dev_t, ino_t>;

std::set<FileId> InputIds(const Options &options) {
    std::set<FileId> ids;
    for (const auto *list : {&options.stack, &options.flats, &options.darks}) {
        for (const char *name : *list) {
            struct stat s;
            if (stat(name, &s) == 0) ids.insert({s.st_dev, s.st_ino});
        }
    }
    return ids;
}

// Writes one sinogram (views x columns samples) to a new file, or to
// standard output when `name` is empty. The file is recorded before it is
// opened, so that a failure removes it too.
void WriteSinogram(const std::string &name, const std::set<FileId> &inputs, const double *samples, int columns,
                   int views, Written *written) {
    FILE *out = stdout;
    if (!name.empty()) {
        struct stat s;
        if (stat(name.c_str(), &s) == 0 && inputs.count({s.st_dev, s.st_ino}) != 0)
            Fail(*written, name + ": output is an input.");
        written->names.push_back(name);
        out = std::fopen(name.c_str(), "wb");
        if (out == nullptr) {
            written->names.pop_back();
            Fail(*written, name + ": file not open.");
        }
    }
    std::size_t count = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns);
    bool ok = WriteSinogramHeader(out, columns, views) > 0 && std::fwrite(samples, sizeof(double), count, out) == count;
    ok = std::fflush(out) == 0 && ok && std::ferror(out) == 0;
    if (out != stdout && std::fclose(out) != 0) ok = false;
    if (!ok) Fail(*written, name.empty() ? "data write error." : name + ": data write error.");
}

}  // namespace

int RunProjSino(int argc, char **argv) {
    ProtectStandardStreams();
    Options options = ReadOptions(argc, argv);
    if (!(options.budget_mib > 0 && std::isfinite(options.budget_mib))) Error("bad memory budget.");
    int first = 0, wanted = 0;
    if (options.range != nullptr) RangeArgument(options.range, &first, &wanted);
    bool to_stdout = IsStandardStream(options.pattern);
    NamePattern pattern;
    if (!to_stdout && !ParsePattern(options.pattern, &pattern)) Error("bad output pattern.");
    if (options.line_integrals && (!options.flats.empty() || !options.darks.empty()))
        Error("line integrals take no flats or darks.");
    if (!options.darks.empty() && options.flats.empty()) Error("darks need flats.");

    Images stack, flats{}, darks{};
    bool have_flats = false, have_darks = false;
    if (IsHdf5File(options.stack[0])) {
        const char *file = options.stack[0];
        if (options.stack.size() != 1) Error("one hdf5 file at a time.");
        if (!options.flats.empty() || !options.darks.empty()) ErrorAbout(file, ": flats and darks are in the file.");
        if (!Hdf5Images(file, kH5Data, &stack)) ErrorAbout(file, ": no /exchange/data.");
        if (!options.line_integrals) {
            have_flats = Hdf5Images(file, kH5White, &flats);
            have_darks = Hdf5Images(file, kH5Dark, &darks);
            if (have_darks && !have_flats) Error("darks need flats.");
        }
    } else {
        stack = TiffImages(options.stack);
        have_flats = !options.flats.empty();
        have_darks = !options.darks.empty();
        if (have_flats) flats = TiffImages(options.flats);
        if (have_darks) darks = TiffImages(options.darks);
    }
    const char *flat_name = options.flats.empty() ? options.stack[0] : options.flats[0];
    const char *dark_name = options.darks.empty() ? options.stack[0] : options.darks[0];
    if (have_flats && (flats.columns != stack.columns || flats.rows != stack.rows))
        ErrorAbout(flat_name, ": sizes differ.");
    if (have_darks && (darks.columns != stack.columns || darks.rows != stack.rows))
        ErrorAbout(dark_name, ": sizes differ.");

    int views = stack.images;
    if (options.half_turn) {
        if (views % 2 != 0) Error("odd number of views for a full turn.");
        views /= 2;
    }
    if (options.range == nullptr) wanted = stack.rows;
    if (first >= stack.rows) Error("bad row range.");
    int count = wanted < stack.rows - first ? wanted : stack.rows - first;
    int band_rows = BandRows(options.budget_mib * 1048576.0, views, stack.columns, count);
    if (band_rows == 0) Error("memory budget too small.");

    std::size_t width = static_cast<std::size_t>(stack.columns);
    std::size_t sinogram = static_cast<std::size_t>(views) * width;
    // Blocks with their pages in place (huge pages where there are): a band
    // of a gigabyte would otherwise take a fault per 4 KiB page on first use.
    // A huge budget lets the band take every row; its size must still be a
    // number of bytes that can be asked for.
    if (BandRowBytes(views, stack.columns) * band_rows > 0x1p62) Error("memory allocation error.");
    std::size_t band_bytes = static_cast<std::size_t>(band_rows) * sinogram * sizeof(double);
    std::size_t means_bytes = static_cast<std::size_t>(band_rows) * width * 3 * sizeof(double);
    auto *band = static_cast<double *>(AllocateBlock(band_bytes));
    auto *means = static_cast<double *>(AllocateBlock(means_bytes));
    if (band == nullptr || means == nullptr) Error("memory allocation error.");
    double *flat = means, *dark = means + band_rows * width, *page = means + 2 * band_rows * width;
    std::set<FileId> inputs = InputIds(options);
    // Standard output may be an input opened for writing too ("- 1<>stack.tif",
    // ">>flat.tif"): the later bands would read what the earlier ones wrote.
    struct stat standard_output;
    if (to_stdout && fstat(STDOUT_FILENO, &standard_output) == 0 && S_ISREG(standard_output.st_mode) &&
        inputs.count({standard_output.st_dev, standard_output.st_ino}) != 0)
        Error("output is an input.");

    Written written;
    long long clamped = 0;
    // 64-bit, so that the step past the last band cannot wrap.
    for (long long next = first; next < first + count; next += band_rows) {
        int start = static_cast<int>(next);
        int rows = band_rows < first + count - start ? band_rows : first + count - start;
        std::string failure;
        if (have_flats) failure = MeanRows(flats, start, rows, flat, page);
        if (failure.empty() && have_darks) failure = MeanRows(darks, start, rows, dark, page);
        if (failure.empty()) failure = ReadRows(stack, views, start, rows, band, width, sinogram);
        if (!failure.empty()) Fail(written, failure);
        if (!options.line_integrals) {
            long long low = NormaliseBand(band, rows, views, stack.columns, have_flats ? flat : nullptr,
                                          have_darks ? dark : nullptr);
            if (low > 0 && options.strict) Fail(written, "ratio out of range.");
            clamped += low;
        }
        for (int j = 0; j < rows; ++j) {
            std::string name = to_stdout ? "" : PatternName(pattern, start + j);
            WriteSinogram(name, inputs, band + static_cast<std::size_t>(j) * sinogram, stack.columns, views, &written);
        }
    }
    if (clamped > 0) std::fprintf(stderr, "%lld samples clamped.\n", clamped);
    ReleaseBlock(band, band_bytes);
    ReleaseBlock(means, means_bytes);
    return 0;
}
