#include "run.h"

#include <cstdio>
#include <vector>

#include "args.h"
#include "error.h"
#include "memory.h"
#include "sinogram.h"
#include "streams.h"
#include "tiff_memory.h"
#include "proj_sino/tiff_pages.h"
#include "tiff_write.h"

namespace {

const char kUsage[] = "usage : sino_tiff IN {32|64} OUT";

// A TIFF starts with "II" or "MM"; a sinogram's header with a number.
bool StartsLikeTiff(FILE *in) {
    int c = std::getc(in);
    if (c == EOF) return false;
    std::ungetc(c, in);
    return c == 'I' || c == 'M';
}

// The first page of the TIFF read whole from `in`, as a sinogram in memory.
Sinogram ReadTiffImage(FILE *in) {
    TiffBytes tiff{{}, 0};
    const char *failure = ReadAll(in, &tiff.bytes);
    if (failure != nullptr) Error(failure);
    if (!LooksLikeTiff(tiff.bytes.data(), tiff.bytes.size())) Error("not a tiff file.");
    QuietTiff();
    TiffHandle tif = OpenTiffBytes(&tiff);
    if (!tif || !DirectoryInBytes(tif.get(), tiff.bytes.data(), tiff.bytes.size())) Error("data read error.");
    PageFormat format;
    failure = ReadPageFormat(tif.get(), &format);
    if (failure != nullptr) Error(failure);
    Sinogram image{format.columns, format.rows, nullptr, 0};
    std::size_t count = static_cast<std::size_t>(format.columns) * static_cast<std::size_t>(format.rows);
    image.samples = static_cast<double *>(AllocateArray(count, sizeof(double)));
    if (image.samples == nullptr) Error("memory allocation error.");
    TiffScratch scratch;
    failure = ReadPageRows(tif.get(), format, 0, format.rows, image.samples,
                           static_cast<std::size_t>(format.columns), &scratch);
    if (failure != nullptr) Error(failure);
    return image;
}

// The sinogram from `in`, refused before its samples are read when it
// cannot fit a TIFF of `bits`.
Sinogram ReadSinogramForTiff(FILE *in, int bits) {
    Sinogram s{};
    ReadCheckedHeader(in, "", &s.columns, &s.rows);
    if (!FitsClassicTiff(s.columns, s.rows, bits)) Error("image too large.");
    ReadSinogramBody(in, "", &s);
    return s;
}

}  // namespace

int RunSinoTiff(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc != 3 && argc != 4) Error(kUsage);
    int bits = argc == 4 ? IntArgument(argv[2]) : 32;
    if (bits != 32 && bits != 64) Error("bad number of bits.");

    FILE *in = OpenInput(argv[1], "rb", "file not found.");
    bool from_tiff = StartsLikeTiff(in);
    if (from_tiff && argc == 4) Error(kUsage);
    // Read whole before the output is opened: the output may be the input.
    Sinogram image = from_tiff ? ReadTiffImage(in) : ReadSinogramForTiff(in, bits);
    CloseInput(in);

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    std::size_t count = static_cast<std::size_t>(image.columns) * static_cast<std::size_t>(image.rows);
    if (from_tiff) {
        WriteCheckedHeader(out, image.columns, image.rows, "data write error.");
        WriteBlock(out, image.samples, count * sizeof(double), "data write error.");
    } else {
        WriteFloatTiff(out, image.samples, image.columns, image.rows, bits, "data write error.");
    }
    FinishOutput(out, "data write error.");
    return 0;
}
