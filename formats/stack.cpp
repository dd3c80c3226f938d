#include "stack.h"

#include <climits>
#include <cstdio>

#include "kind.h"
#include "tiff_pages.h"
#include "tiff_structure.h"

namespace {

// The reason a file cannot be opened as a TIFF, told apart by its first
// bytes and its first directory.
const char *WhyNotOpened(const char *name) {
    FILE *file = std::fopen(name, "rb");
    if (file == nullptr) return "file not found.";
    RawTiff raw;
    bool zero = RawTiffOfFile(fileno(file), &raw) && ZeroSize(ReadTiffStructure(raw), 0);
    std::fclose(file);
    if (KindOfFile(name) != FileKind::kTiff) return "not a tiff file.";
    return zero ? "bad number of pixels." : "data read error.";
}

// Moves to page `page`; fails when its directory cannot be read.
Status NextPage(TIFF *tif, const char *name, const TiffStructure &structure, int page) {
    if (TIFFReadDirectory(tif)) return Success();
    return Failure(About(name, ZeroSize(structure, page) ? "bad number of pixels." : "data read error."));
}

}  // namespace

Status OpenTiffStack(const std::vector<const char *> &names, TiffStack *opened) {
    QuietTiff();
    TiffStack &stack = *opened;
    stack = TiffStack{names, {}, 0, 0, 0};
    for (const char *name : names) {
        TiffHandle tif = OpenTiff(name);
        if (!tif) return Failure(About(name, WhyNotOpened(name)));
        RawTiff raw;
        if (!RawTiffOfFile(TIFFFileno(tif.get()), &raw)) return Failure(About(name, "data read error."));
        TiffStructure structure = ReadTiffStructure(raw);
        int pages = 0;
        for (;;) {
            PageFormat format;
            if (!DirectoryInRaw(tif.get(), raw)) return Failure(About(name, "data read error."));
            Status read = ReadPageFormat(tif.get(), &format);
            if (read.ok()) read = CheckPieces(tif.get(), structure);
            if (!read.ok()) return Failure(About(name, read.message.c_str()));
            if (stack.images == 0 && pages == 0) {
                stack.columns = format.columns;
                stack.rows = format.rows;
            } else if (format.columns != stack.columns || format.rows != stack.rows) {
                return Failure(About(name, "sizes differ."));
            }
            if (stack.images + pages == INT_MAX) return Failure(About(name, "bad number of pixels."));
            ++pages;
            if (TIFFLastDirectory(tif.get())) break;
            Status next = NextPage(tif.get(), name, structure, pages);
            if (!next.ok()) return next;
        }
        stack.pages.push_back(pages);
        stack.images += pages;
    }
    return Success();
}

namespace {

// Walks the first `images` pages of the stack in order, calling
// read(tif, format, image) on each; fails at the first failure, named after
// the file. `read` returns a Status whose message is about the file.
template <typename Read>
Status EachPage(const TiffStack &stack, int images, Read &&read) {
    int image = 0;
    for (std::size_t f = 0; f < stack.names.size() && image < images; ++f) {
        const char *name = stack.names[f];
        TiffHandle tif = OpenTiff(name);
        if (!tif) return Failure(About(name, "data read error."));
        for (int page = 0; page < stack.pages[f] && image < images; ++page, ++image) {
            if (page > 0) {
                Status next = TIFFReadDirectory(tif.get()) ? Success() : Failure(About(name, "data read error."));
                if (!next.ok()) return next;
            }
            PageFormat format;
            // The file may have changed since it was opened first.
            if (!ReadPageFormat(tif.get(), &format).ok() || format.columns != stack.columns ||
                format.rows != stack.rows)
                return Failure(About(name, "data read error."));
            Status read_page = read(tif.get(), format, image);
            if (!read_page.ok()) return Failure(About(name, read_page.message.c_str()));
        }
    }
    return Success();
}

}  // namespace

Status ReadStackRows(const TiffStack &stack, int images, int first, int count, double *out,
                     std::size_t image_step, std::size_t row_step) {
    TiffScratch scratch;
    return EachPage(stack, images, [&](TIFF *tif, const PageFormat &format, int image) {
        return ReadPageRows(tif, format, first, count, out + static_cast<std::size_t>(image) * image_step, row_step,
                            &scratch);
    });
}

Status ReadStackImage(const TiffStack &stack, int k, double *out) {
    TiffScratch scratch;
    return EachPage(stack, k + 1, [&](TIFF *tif, const PageFormat &format, int image) {
        if (image < k) return Success();
        return ReadPageRows(tif, format, 0, stack.rows, out, static_cast<std::size_t>(stack.columns), &scratch);
    });
}

Status MeanStackRows(const TiffStack &stack, int first, int count, double *mean, double *page) {
    std::size_t samples = static_cast<std::size_t>(count) * static_cast<std::size_t>(stack.columns);
    for (std::size_t i = 0; i < samples; ++i) mean[i] = 0;
    TiffScratch scratch;
    Status read = EachPage(stack, stack.images, [&](TIFF *tif, const PageFormat &format, int) {
        Status rows = ReadPageRows(tif, format, first, count, page, static_cast<std::size_t>(stack.columns), &scratch);
        if (rows.ok())
            for (std::size_t i = 0; i < samples; ++i) mean[i] += page[i];
        return rows;
    });
    if (!read.ok()) return read;
    for (std::size_t i = 0; i < samples; ++i) mean[i] /= stack.images;
    return Success();
}
