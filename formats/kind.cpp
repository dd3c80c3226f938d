#include "kind.h"

#include <cstring>

namespace {

// Enough for every signature above.
constexpr std::size_t kSignatureBytes = 8;

}  // namespace

FileKind KindOf(const unsigned char *bytes, std::size_t count) {
    if (count >= 8 && std::memcmp(bytes, "\x89HDF\r\n\x1a\n", 8) == 0) return FileKind::kHdf5;
    if (count >= 4) {
        bool little = bytes[0] == 'I' && bytes[1] == 'I' && (bytes[2] == 42 || bytes[2] == 43) && bytes[3] == 0;
        bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
        if (little || big) return FileKind::kTiff;
    }
    return FileKind::kUnknown;
}

FileKind PeekKind(FILE *in) {
    unsigned char bytes[kSignatureBytes];
    std::size_t count = 0;
    int c;
    while (count < kSignatureBytes && (c = std::getc(in)) != EOF) bytes[count++] = static_cast<unsigned char>(c);
    // glibc takes back as many bytes as were read, a pipe's included.
    for (std::size_t i = count; i > 0; --i) std::ungetc(bytes[i - 1], in);
    return KindOf(bytes, count);
}

FileKind KindOfFile(const char *name) {
    FILE *file = std::fopen(name, "rb");
    if (file == nullptr) return FileKind::kUnknown;
    unsigned char bytes[kSignatureBytes] = {};
    std::size_t got = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    return KindOf(bytes, got);
}
