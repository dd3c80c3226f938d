#include "output_name.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "kind.h"
#include "sinogram.h"
#include "streams.h"
#include "tiff_pages.h"

namespace {

bool IsSinogramFile(const char *name) {
    FILE *in = std::fopen(name, "rb");
    if (in == nullptr) return false;
    int columns = 0, rows = 0;
    bool read = ReadSinogramHeader(in, &columns, &rows) && columns > 0 && rows > 0;
    std::fclose(in);
    return read;
}

bool IsPngFile(const char *name) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    unsigned char first[8] = {};
    FILE *in = std::fopen(name, "rb");
    if (in == nullptr) return false;
    bool png = std::fread(first, 1, sizeof first, in) == sizeof first && std::memcmp(first, kSignature, 8) == 0;
    std::fclose(in);
    return png;
}

// A TIFF of one page: what sino_tiff writes. A stack of projections has
// more.
bool IsTiffPage(const char *name) {
    if (KindOfFile(name) != FileKind::kTiff) return false;
    QuietTiff();
    TiffHandle tif = OpenTiff(name);
    return tif && TIFFNumberOfDirectories(tif.get()) == 1;
}

}  // namespace

bool ReplaceableBy(const char *name, OutputKind kind) {
    struct stat s;
    if (stat(name, &s) != 0 || !S_ISREG(s.st_mode) || s.st_size == 0) return true;
    switch (kind) {
        case OutputKind::kSinogram: return KindOfFile(name) == FileKind::kUnknown && IsSinogramFile(name);
        case OutputKind::kTiffPage: return IsTiffPage(name);
        case OutputKind::kPng: return IsPngFile(name);
    }
    return false;
}

Status CheckOutputName(const char *name, const OutputRules &rules) {
    if (IsStandardStream(name)) return Success();
    std::string noun = rules.noun;
    if (rules.is_word != nullptr && rules.is_word(name))
        return Failure(About(name, ("is a " + std::string(rules.word_noun) + "; give the " + noun + " a new name.").c_str()));
    struct stat out;
    if (stat(name, &out) != 0) return Success();
    for (const char *input : rules.inputs) {
        struct stat in;
        if (input != nullptr && !IsStandardStream(input) && stat(input, &in) == 0 && in.st_dev == out.st_dev &&
            in.st_ino == out.st_ino)
            return Failure(About(name, "output is an input."));
    }
    std::string article = std::strchr("aeiou", noun[0]) != nullptr ? "an " : "a ";
    if (!ReplaceableBy(name, rules.kind))
        return Failure(About(name, ("exists and is not " + article + noun + "; give the " + noun + " a new name.").c_str()));
    return Success();
}
