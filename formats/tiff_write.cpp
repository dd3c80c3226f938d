#include "tiff_write.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "output.h"

namespace {

void Put16(unsigned char *at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char *at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// One directory entry: tag, type (3 SHORT, 4 LONG), one value.
void Entry(unsigned char *at, std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
    Put16(at, tag);
    Put16(at + 2, type);
    Put32(at + 4, 1);
    if (type == 3) {
        Put16(at + 8, static_cast<std::uint16_t>(value));
        Put16(at + 10, 0);
    } else {
        Put32(at + 8, value);
    }
}

constexpr int kEntries = 11;

}  // namespace

bool FitsClassicTiff(int columns, int rows, int bits) {
    std::uint64_t bytes = static_cast<std::uint64_t>(columns) * static_cast<std::uint64_t>(rows) *
                          static_cast<std::uint64_t>(bits / 8);
    return bytes <= 0xffffffffu - kTiffPreamble;
}

void TiffPreamble(int columns, int rows, int bits, unsigned char *out) {
    std::memset(out, 0, kTiffPreamble);
    std::memcpy(out, "II*\0", 4);
    Put32(out + 4, 8);  // the directory follows the header
    unsigned char *dir = out + 8;
    Put16(dir, kEntries);
    auto bytes = static_cast<std::uint32_t>(static_cast<std::uint64_t>(columns) * static_cast<std::uint64_t>(rows) *
                                            static_cast<std::uint64_t>(bits / 8));
    // Entries in ascending tag order, as readers expect.
    const struct {
        std::uint16_t tag, type;
        std::uint32_t value;
    } entries[kEntries] = {
        {256, 4, static_cast<std::uint32_t>(columns)},  // ImageWidth
        {257, 4, static_cast<std::uint32_t>(rows)},     // ImageLength
        {258, 3, static_cast<std::uint32_t>(bits)},     // BitsPerSample
        {259, 3, 1},                                    // Compression: none
        {262, 3, 1},                                    // Photometric: black is zero
        {273, 4, static_cast<std::uint32_t>(kTiffPreamble)},  // StripOffsets
        {277, 3, 1},                                    // SamplesPerPixel
        {278, 4, static_cast<std::uint32_t>(rows)},     // RowsPerStrip: one strip
        {279, 4, bytes},                                // StripByteCounts
        {284, 3, 1},                                    // PlanarConfiguration: contiguous
        {339, 3, 3},                                    // SampleFormat: IEEE float
    };
    for (int i = 0; i < kEntries; ++i) Entry(dir + 2 + 12 * i, entries[i].tag, entries[i].type, entries[i].value);
    Put32(dir + 2 + 12 * kEntries, 0);  // no further page
    static_assert(8 + 2 + 12 * kEntries + 4 <= kTiffPreamble);
}

Status WriteFloatTiff(FILE *out, const double *samples, int columns, int rows, int bits, const char *failure) {
    unsigned char preamble[kTiffPreamble];
    TiffPreamble(columns, rows, bits, preamble);
    Status written = WriteBlock(out, preamble, kTiffPreamble, failure);
    if (!written.ok()) return written;
    std::size_t width = static_cast<std::size_t>(columns);
    if (bits == 64) return WriteBlock(out, samples, width * static_cast<std::size_t>(rows) * sizeof(double), failure);
    std::vector<float> row(width);
    for (int r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < width; ++c) row[c] = static_cast<float>(samples[r * width + c]);
        written = WriteBlock(out, row.data(), width * sizeof(float), failure);
        if (!written.ok()) return written;
    }
    return Success();
}
