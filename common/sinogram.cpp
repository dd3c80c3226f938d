#include "sinogram.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <string>

#include "blocks.h"
#include "checks.h"
#include "memory.h"
#include "streams.h"

namespace {

constexpr int kHeaderBuffer = 1024;

// One "%d" conversion: blanks skipped, optional sign, at least one digit.
// Values past the 32-bit range fail rather than wrap.
bool ParseInt(const char **cursor, int *value) {
    const char *p = *cursor;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long long magnitude = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        magnitude = magnitude * 10 + (*p++ - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
    }
    long long signed_value = negative ? -magnitude : magnitude;
    if (signed_value > INT_MAX) return false;
    *value = static_cast<int>(signed_value);
    *cursor = p;
    return true;
}

}  // namespace

int WriteSinogramHeader(FILE *out, int columns, int rows) {
    return std::fprintf(out, "%d\t%d\n", columns, rows);
}

Status WriteCheckedHeader(FILE *out, int columns, int rows, const char *failure) {
    if (WriteSinogramHeader(out, columns, rows) < 0) return Failure(failure);
    return Success();
}

bool ParseSinogramHeader(const char *line, int *columns, int *rows) {
    int first = 0;
    int second = 0;
    if (!ParseInt(&line, &first) || !ParseInt(&line, &second)) return false;
    *columns = first;
    *rows = second;
    return true;
}

bool ReadSinogramHeader(FILE *in, int *columns, int *rows) {
    // Byte by byte up to the line feed, as a line read into a 1024-byte
    // buffer would stop; a NUL inside the line ends the parse as it would
    // end the string.
    char line[kHeaderBuffer];
    int length = 0;
    int c = EOF;
    while (length < kHeaderBuffer - 1 && (c = getc_unlocked(in)) != EOF) {
        line[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    if (length == 0) return false;
    if (c != '\n' && length == kHeaderBuffer - 1) return false;
    line[length] = '\0';
    return ParseSinogramHeader(line, columns, rows);
}

Status ReadCheckedHeader(FILE *in, const std::string &prefix, int *columns, int *rows) {
    if (!ReadSinogramHeader(in, columns, rows) || *columns <= 0 || *rows <= 0) {
        return FailureAbout(prefix, "bad number of pixels.");
    }
    return Success();
}

bool ReadSamples(FILE *in, double *samples, std::size_t count) {
    while (count > 0) {
        std::size_t piece = count < kReadPieceSamples ? count : kReadPieceSamples;
        TouchBlock(samples, piece * sizeof(double));
        if (std::fread(samples, sizeof(double), piece, in) != piece) return false;
        samples += piece;
        count -= piece;
    }
    return true;
}

Status ReadSinogramBody(FILE *in, const std::string &prefix, Sinogram *s) {
    std::size_t count = static_cast<std::size_t>(s->columns) * static_cast<std::size_t>(s->rows);
    if (count > SIZE_MAX / sizeof(double)) return FailureAbout(prefix, "memory allocation error.");
    s->bytes = count * sizeof(double);
    s->samples = static_cast<double *>(ReserveBlock(s->bytes));
    if (s->samples == nullptr) return FailureAbout(prefix, "memory allocation error.");
    if (!ReadSamples(in, s->samples, count)) return FailureAbout(prefix, "data read error.");
    return Success();
}

Status ReadSinogramFrom(FILE *in, const std::string &prefix, Sinogram *s) {
    *s = Sinogram{};
    Status header = ReadCheckedHeader(in, prefix, &s->columns, &s->rows);
    if (!header.ok()) return header;
    return ReadSinogramBody(in, prefix, s);
}

Status ReadSinogram(const char *name, const std::string &prefix, Sinogram *s) {
    *s = Sinogram{};
    std::string failure = prefix + "file not found.";
    FILE *in = nullptr;
    Status opened = OpenInput(name, "rb", failure.c_str(), &in);
    if (!opened.ok()) return opened;
    Status read = ReadSinogramFrom(in, prefix, s);
    CloseInput(in);
    return read;
}

void ReleaseSinogram(Sinogram *sinogram) {
    ReleaseBlock(sinogram->samples, sinogram->bytes);
    *sinogram = Sinogram{};
}

Status CheckSamplesFinite(const Sinogram &sinogram, const std::string &prefix) {
    std::size_t columns = static_cast<std::size_t>(sinogram.columns);
    std::size_t count = columns * static_cast<std::size_t>(sinogram.rows);
    std::size_t at = FirstNotFinite(sinogram.samples, count);
    if (at == count) return Success();
    return Failure(prefix + "sample not finite (view " + std::to_string(at / columns) + ", column " +
                   std::to_string(at % columns) + ").");
}
