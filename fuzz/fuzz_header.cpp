// The sinogram header reader and its parser on any bytes.
#include <cstdio>
#include <string>

#include "harness.h"
#include "sinogram.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char *>(data), size);
    int columns = 0, rows = 0;
    ParseSinogramHeader(bytes.c_str(), &columns, &rows);

    FILE *in = fmemopen(bytes.data(), bytes.size() == 0 ? 1 : bytes.size(), "r");
    if (in == nullptr) return 0;
    if (bytes.empty()) std::fgetc(in);  // an empty stream
    if (ReadSinogramHeader(in, &columns, &rows)) {
        // The line ended within the buffer: the stream is past its line feed
        // or at the end.
        long at = std::ftell(in);
        if (at > 1023) __builtin_trap();
    }
    std::fclose(in);
    return 0;
}
