#include "stack_inputs.h"

#include <cctype>
#include <cstring>
#include <string>

#include <glob.h>

#include "kind.h"
#include "pattern.h"

namespace {

// An HDF5 stack with its own flats and darks; -f and -d (`flats`,
// `darks`) give TIFF files for what the file lacks, and a file that has
// its own takes no others.
Status OpenHdf5(const char *file, const std::vector<const char *> &flats, const std::vector<const char *> &darks,
                bool line_integrals, StackInputs *in) {
    bool present = false;
    Status opened = Hdf5Images(file, kH5Data, &in->stack, &present);
    if (!opened.ok()) return opened;
    if (!present) return Failure(About(file, "no /exchange/data."));
    opened = Hdf5Images(file, kH5White, &in->flats, &in->have_flats);
    if (!opened.ok()) return opened;
    opened = Hdf5Images(file, kH5Dark, &in->darks, &in->have_darks);
    if (!opened.ok()) return opened;
    if ((!flats.empty() && in->have_flats) || (!darks.empty() && in->have_darks))
        return Failure(About(file, "flats and darks are in the file."));
    if (!flats.empty()) {
        opened = TiffImages(flats, &in->flats);
        in->have_flats = true;
    }
    if (opened.ok() && !darks.empty()) {
        opened = TiffImages(darks, &in->darks);
        in->have_darks = true;
    }
    if (!opened.ok()) return opened;
    // Line integrals take no flats or darks: what the file has is told
    // (counts_in_file), for a caller that refuses counts read as line
    // integrals.
    if (line_integrals) {
        in->counts_in_file = in->have_flats || in->have_darks;
        in->have_flats = in->have_darks = false;
        return Success();
    }
    if (in->have_darks && !in->have_flats) return Failure("darks need flats.");
    return Success();
}

// An unquoted `-f flat_*.tif` gives the program one flat and hands the
// others over as projections. Such a stray is named like the flats (or
// darks) while the projections are named otherwise; where every
// projection is named like them (flats numbered within the projections'
// series), nothing tells them apart and nothing is said.
Status CheckStrays(const std::vector<const char *> &stack, const std::vector<const char *> &images,
                   const char *option, const char *kind) {
    if (images.empty()) return Success();
    std::vector<std::string> series;
    for (const char *name : images) series.push_back(SeriesSkeleton(name));
    const char *stray = nullptr;
    bool other = false;
    for (const char *name : stack) {
        bool alike = false;
        for (const std::string &s : series) alike = alike || s == SeriesSkeleton(name);
        if (alike && stray == nullptr) stray = name;
        other = other || !alike;
    }
    if (stray == nullptr || !other) return Success();
    const std::string why = std::string(kind) + " among the projections (named like " + option + " " + images[0] +
                            "); quote the pattern: " + option + " '" + SeriesPattern(images[0]) + "'.";
    return Failure(About(stray, why.c_str()));
}

}  // namespace

Status OpenStackInputs(const std::vector<const char *> &stack, const std::vector<const char *> &flats,
                       const std::vector<const char *> &darks, bool line_integrals, StackInputs *in) {
    *in = StackInputs{};
    if (KindOfFile(stack[0]) == FileKind::kHdf5) {
        if (stack.size() != 1) return Failure("one hdf5 file at a time.");
        Status opened = OpenHdf5(stack[0], flats, darks, line_integrals, in);
        if (!opened.ok()) return opened;
    } else {
        Status opened = CheckStrays(stack, flats, "-f", "a flat");
        if (opened.ok()) opened = CheckStrays(stack, darks, "-d", "a dark");
        if (opened.ok()) opened = TiffImages(stack, &in->stack);
        if (!opened.ok()) return opened;
        in->have_flats = !flats.empty();
        in->have_darks = !darks.empty();
        if (in->have_flats) opened = TiffImages(flats, &in->flats);
        if (opened.ok() && in->have_darks) opened = TiffImages(darks, &in->darks);
        if (!opened.ok()) return opened;
    }
    const char *flat_name = flats.empty() ? stack[0] : flats[0];
    const char *dark_name = darks.empty() ? stack[0] : darks[0];
    if (in->have_flats && (in->flats.columns != in->stack.columns || in->flats.rows != in->stack.rows))
        return Failure(About(flat_name, "sizes differ."));
    if (in->have_darks && (in->darks.columns != in->stack.columns || in->darks.rows != in->stack.rows))
        return Failure(About(dark_name, "sizes differ."));
    return Success();
}

Status ExpandNames(std::vector<const char *> *words, std::vector<std::string> *storage) {
    storage->clear();
    for (const char *word : *words) {
        if (std::strpbrk(word, "*?[") == nullptr) {
            storage->push_back(word);
            continue;
        }
        // glob sorts what it finds (GLOB_NOSORT not given).
        glob_t found{};
        int status = glob(word, 0, nullptr, &found);
        if (status == 0)
            for (std::size_t i = 0; i < found.gl_pathc; ++i) storage->push_back(found.gl_pathv[i]);
        globfree(&found);
        if (status == GLOB_NOMATCH) return Failure(About(word, "no file matches."));
        if (status != 0) return Failure(About(word, "cannot list the files."));
    }
    // Every name is in place before any is pointed to: the strings no longer move.
    words->clear();
    for (const std::string &name : *storage) words->push_back(name.c_str());
    return Success();
}

std::string StackOrderWarning(const std::vector<const char *> &stack) {
    const char *earlier = nullptr, *later = nullptr;
    if (!NumberedOutOfOrder(stack.data(), static_cast<int>(stack.size()), &earlier, &later)) return "";
    return std::string("warning: ") + later + " comes after " + earlier +
           ": the projections are read in the order given; number them with zeros or list them in order (ls -v).";
}

void ReportFlatsAndDarks(const StackInputs &in, FILE *to) {
    if (!in.have_flats) return;
    int flats = in.flats.images, darks = in.have_darks ? in.darks.images : 0;
    std::fprintf(to, "%d flat%s", flats, flats == 1 ? "" : "s");
    if (in.have_darks) std::fprintf(to, ", %d dark%s", darks, darks == 1 ? "" : "s");
    std::fputs(".\n", to);
}
