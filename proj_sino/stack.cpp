#include "stack.h"

#include <climits>
#include <cstdio>

#include "error.h"
#include "tiff_pages.h"

namespace {

std::string About(const char *name, const char *message) { return std::string(name) + ": " + message; }

// The reason a file cannot be opened as a TIFF, told apart by its first
// bytes.
const char *WhyNotOpened(const char *name) {
    FILE *file = std::fopen(name, "rb");
    if (file == nullptr) return "file not found.";
    unsigned char magic[4] = {};
    std::size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    return LooksLikeTiff(magic, got) ? "data read error." : "not a tiff file.";
}

// Moves to the next page; false, with the failure line, when the next
// directory cannot be read.
bool NextPage(TIFF *tif, const char *name, std::string *failure) {
    if (TIFFReadDirectory(tif)) return true;
    *failure = About(name, "data read error.");
    return false;
}

}  // namespace

TiffStack OpenTiffStack(const std::vector<const char *> &names) {
    QuietTiff();
    TiffStack stack{names, {}, 0, 0, 0};
    for (const char *name : names) {
        TiffHandle tif = OpenTiff(name);
        if (!tif) Error(About(name, WhyNotOpened(name)).c_str());
        int pages = 0;
        for (;;) {
            PageFormat format;
            const char *failure = DirectoryInFile(tif.get()) ? ReadPageFormat(tif.get(), &format) : "data read error.";
            if (failure != nullptr) Error(About(name, failure).c_str());
            if (stack.images == 0 && pages == 0) {
                stack.columns = format.columns;
                stack.rows = format.rows;
            } else if (format.columns != stack.columns || format.rows != stack.rows) {
                Error(About(name, "sizes differ.").c_str());
            }
            if (stack.images + pages == INT_MAX) Error(About(name, "bad number of pixels.").c_str());
            ++pages;
            if (TIFFLastDirectory(tif.get())) break;
            std::string line;
            if (!NextPage(tif.get(), name, &line)) Error(line.c_str());
        }
        stack.pages.push_back(pages);
        stack.images += pages;
    }
    return stack;
}

namespace {

// Walks the first `images` pages of the stack in order, calling
// read(tif, format, image) on each; returns the empty string or the first
// failure line. `read` returns nullptr or a message about the file.
template <typename Read>
std::string EachPage(const TiffStack &stack, int images, Read &&read) {
    int image = 0;
    for (std::size_t f = 0; f < stack.names.size() && image < images; ++f) {
        const char *name = stack.names[f];
        TiffHandle tif = OpenTiff(name);
        if (!tif) return About(name, "data read error.");
        for (int page = 0; page < stack.pages[f] && image < images; ++page, ++image) {
            std::string failure;
            if (page > 0 && !NextPage(tif.get(), name, &failure)) return failure;
            PageFormat format;
            // The file may have changed since it was opened first.
            if (ReadPageFormat(tif.get(), &format) != nullptr || format.columns != stack.columns ||
                format.rows != stack.rows)
                return About(name, "data read error.");
            const char *message = read(tif.get(), format, image);
            if (message != nullptr) return About(name, message);
        }
    }
    return "";
}

}  // namespace

std::string ReadStackRows(const TiffStack &stack, int images, int first, int count, double *out,
                          std::size_t image_step, std::size_t row_step) {
    TiffScratch scratch;
    return EachPage(stack, images, [&](TIFF *tif, const PageFormat &format, int image) {
        return ReadPageRows(tif, format, first, count, out + static_cast<std::size_t>(image) * image_step, row_step,
                            &scratch);
    });
}

std::string MeanStackRows(const TiffStack &stack, int first, int count, double *mean, double *page) {
    std::size_t samples = static_cast<std::size_t>(count) * static_cast<std::size_t>(stack.columns);
    for (std::size_t i = 0; i < samples; ++i) mean[i] = 0;
    TiffScratch scratch;
    std::string failure = EachPage(stack, stack.images, [&](TIFF *tif, const PageFormat &format, int) {
        const char *message =
            ReadPageRows(tif, format, first, count, page, static_cast<std::size_t>(stack.columns), &scratch);
        if (message == nullptr)
            for (std::size_t i = 0; i < samples; ++i) mean[i] += page[i];
        return message;
    });
    if (!failure.empty()) return failure;
    for (std::size_t i = 0; i < samples; ++i) mean[i] /= stack.images;
    return "";
}
