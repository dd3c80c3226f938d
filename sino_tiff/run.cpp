#include "run.h"

#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "args.h"
#include "error.h"
#include "image_file.h"
#include "command.h"
#include "kind.h"
#include "memory.h"
#include "output.h"
#include "output_name.h"
#include "sinogram.h"
#include "streams.h"
#include "tiff_memory.h"
#include "tiff_pages.h"
#include "tiff_structure.h"
#include "tiff_write.h"

namespace {

const char kUsage[] = "usage : sino_tiff IN {32|64} OUT";

const Operand kOperands[] = {
    {"IN", "a sinogram or image, or a TIFF of one page ('-': standard input)"},
    {"32|64", "the TIFF's float bits (default 32)"},
    {"OUT", "the TIFF or sinogram written ('-': standard output)"},
};
const Command kCommand{kUsage, {}, kOperands, 2, 3};

// A TIFF starts with its byte order, "II" or "MM"; a sinogram's header with
// a number. A damaged TIFF is still told apart from a sinogram this way.
bool StartsLikeTiff(FILE *in) {
    int c = std::getc(in);
    if (c == EOF) return false;
    std::ungetc(c, in);
    return c == 'I' || c == 'M';
}

// The first page of the TIFF read whole from `in`, as a sinogram in memory.
Status ReadTiffImage(FILE *in, const std::string &prefix, Sinogram *image) {
    TiffBytes tiff{{}, 0};
    Status read = ReadAll(in, &tiff.bytes);
    if (!read.ok()) return FailureAbout(prefix, read.message.c_str());
    if (KindOf(tiff.bytes.data(), tiff.bytes.size()) != FileKind::kTiff) return FailureAbout(prefix, "not a tiff file.");
    QuietTiff();
    TiffHandle tif = OpenTiffBytes(&tiff);
    RawTiff raw{-1, tiff.bytes.data(), tiff.bytes.size()};
    if (!tif || !DirectoryInRaw(tif.get(), raw)) return FailureAbout(prefix, "data read error.");
    PageFormat format;
    read = ReadPageFormat(tif.get(), &format);
    if (read.ok()) read = CheckPieces(tif.get(), ReadTiffStructure(raw));
    if (!read.ok()) return FailureAbout(prefix, read.message.c_str());
    *image = Sinogram{format.columns, format.rows, nullptr, 0};
    std::size_t count = static_cast<std::size_t>(format.columns) * static_cast<std::size_t>(format.rows);
    image->samples = static_cast<double *>(AllocateArray(count, sizeof(double)));
    if (image->samples == nullptr) return FailureAbout(prefix, "memory allocation error.");
    TiffScratch scratch;
    read = ReadPageRows(tif.get(), format, 0, format.rows, image->samples, static_cast<std::size_t>(format.columns),
                        &scratch);
    if (!read.ok()) return FailureAbout(prefix, read.message.c_str());
    return Success();
}

// The sinogram from `in`, refused before its samples are read when it
// cannot fit a TIFF of `bits`.
Status ReadSinogramForTiff(FILE *in, int bits, const std::string &prefix, Sinogram *s) {
    *s = Sinogram{};
    Status read = ReadCheckedHeader(in, prefix, &s->columns, &s->rows);
    if (!read.ok()) return read;
    if (!FitsClassicTiff(s->columns, s->rows, bits)) return FailureAbout(prefix, "image too large.");
    return ReadSinogramBody(in, prefix, s);
}

}  // namespace

int RunSinoTiff(int argc, char **argv) {
    CommandLine line;
    Check(ReadCommandLine(argc, argv, kCommand, &line));
    if (line.helped) return 0;
    char **arg = line.operands;
    int operands = line.count;
    int bits = 32;
    if (operands == 3) Check(StrictInt(arg[1], "bad number of bits.", &bits));
    if (bits != 32 && bits != 64) Error("bad number of bits.");

    std::string input = NamePrefix(arg[0], "");
    // Read whole before the output is written: the output may be the input.
    Sinogram image;
    bool from_tiff = false;
    struct stat named;
    if (std::string(arg[0]) != "-" && stat(arg[0], &named) != 0 && IsImageFile(arg[0])) {
        // A page of a volume (NAME:K), as sino_view and sino_stat read it.
        from_tiff = true;
        if (operands == 3) Error(kUsage);
        Check(ReadImageFile(arg[0], input, &image));
    } else {
        FILE *in = nullptr;
        Check(OpenInput(arg[0], "rb", (input + "file not found.").c_str(), &in));
        from_tiff = StartsLikeTiff(in);
        if (from_tiff && operands == 3) Error(kUsage);
        Check(from_tiff ? ReadTiffImage(in, input, &image) : ReadSinogramForTiff(in, bits, input, &image));
        CloseInput(in);
    }

    std::string output = NamePrefix(arg[operands - 1], "");
    std::string write_failure = output + "data write error.";
    Output out;
    // A TIFF replaces only a TIFF of one page (never a projection stack), a
    // sinogram only a sinogram.
    Check(CheckOutputName(arg[operands - 1], from_tiff ? OutputRules{OutputKind::kSinogram, "sinogram", {arg[0]}, nullptr, nullptr}
                                                       : OutputRules{OutputKind::kTiffPage, "image", {arg[0]}, nullptr, nullptr}));
    Check(OpenOutput(arg[operands - 1], (output + "file not open.").c_str(), &out));
    std::size_t count = static_cast<std::size_t>(image.columns) * static_cast<std::size_t>(image.rows);
    if (from_tiff) {
        Check(WriteCheckedHeader(out.stream, image.columns, image.rows, write_failure.c_str()));
        Check(WriteBlock(out.stream, image.samples, count * sizeof(double), write_failure.c_str()));
    } else {
        Check(WriteFloatTiff(out.stream, image.samples, image.columns, image.rows, bits, write_failure.c_str()));
    }
    Check(FinishOutput(&out, write_failure.c_str()));
    return 0;
}
