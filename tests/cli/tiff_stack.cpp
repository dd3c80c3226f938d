#include "cli/tiff_stack.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <tiffio.h>

#include "cli/run.h"

namespace {

int BytesOf(SampleKind kind) {
    switch (kind) {
        case SampleKind::kU8: return 1;
        case SampleKind::kU16:
        case SampleKind::kS16: return 2;
        case SampleKind::kU32:
        case SampleKind::kF32: return 4;
        case SampleKind::kF64: return 8;
    }
    return 0;
}

void Store(double value, SampleKind kind, unsigned char *at) {
    switch (kind) {
        case SampleKind::kU8: *at = static_cast<std::uint8_t>(value); break;
        case SampleKind::kU16: { std::uint16_t v = static_cast<std::uint16_t>(value); std::memcpy(at, &v, 2); break; }
        case SampleKind::kS16: { std::int16_t v = static_cast<std::int16_t>(value); std::memcpy(at, &v, 2); break; }
        case SampleKind::kU32: { std::uint32_t v = static_cast<std::uint32_t>(value); std::memcpy(at, &v, 4); break; }
        case SampleKind::kF32: { float v = static_cast<float>(value); std::memcpy(at, &v, 4); break; }
        case SampleKind::kF64: std::memcpy(at, &value, 8); break;
    }
}

}  // namespace

bool WriteTiff(const std::string &path, const std::vector<std::vector<double>> &pages, int columns, int rows,
               SampleKind kind, const TiffLayout &layout) {
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr) return false;
    int bytes = BytesOf(kind);
    int spp = layout.samples_per_pixel;
    bool ok = true;
    for (const std::vector<double> &page : pages) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(columns));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(rows));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(spp));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(8 * bytes));
        bool floating = kind == SampleKind::kF32 || kind == SampleKind::kF64;
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT,
                     floating ? SAMPLEFORMAT_IEEEFP : kind == SampleKind::kS16 ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spp == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(layout.compression));
        std::vector<unsigned char> raw(static_cast<std::size_t>(columns) * rows * bytes * spp);
        for (std::size_t i = 0; i < static_cast<std::size_t>(columns) * rows; ++i)
            for (int s = 0; s < spp; ++s) Store(page[i], kind, &raw[(i * spp + s) * bytes]);
        std::size_t row_bytes = static_cast<std::size_t>(columns) * bytes * spp;
        if (layout.tile > 0) {
            int t = layout.tile;
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, static_cast<std::uint32_t>(t));
            TIFFSetField(tif, TIFFTAG_TILELENGTH, static_cast<std::uint32_t>(t));
            std::vector<unsigned char> tile(static_cast<std::size_t>(t) * t * bytes * spp);
            for (int y0 = 0; y0 < rows; y0 += t) {
                for (int x0 = 0; x0 < columns; x0 += t) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int y = y0; y < y0 + t && y < rows; ++y) {
                        int width = x0 + t <= columns ? t : columns - x0;
                        std::memcpy(&tile[static_cast<std::size_t>(y - y0) * t * bytes * spp],
                                    &raw[y * row_bytes + static_cast<std::size_t>(x0) * bytes * spp],
                                    static_cast<std::size_t>(width) * bytes * spp);
                    }
                    std::uint32_t index = TIFFComputeTile(tif, x0, y0, 0, 0);
                    if (TIFFWriteEncodedTile(tif, index, tile.data(), static_cast<tmsize_t>(tile.size())) < 0)
                        ok = false;
                }
            }
        } else {
            int per_strip = layout.rows_per_strip > 0 ? layout.rows_per_strip : rows;
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(per_strip));
            for (int y0 = 0, strip = 0; y0 < rows; y0 += per_strip, ++strip) {
                int n = y0 + per_strip <= rows ? per_strip : rows - y0;
                if (TIFFWriteEncodedStrip(tif, strip, &raw[y0 * row_bytes], static_cast<tmsize_t>(n * row_bytes)) < 0)
                    ok = false;
            }
        }
        if (!TIFFWriteDirectory(tif)) ok = false;
    }
    TIFFClose(tif);
    return ok;
}

std::vector<double> SinogramSamples(const std::string &bytes, int *columns, int *rows) {
    *columns = *rows = 0;
    if (bytes.find('\n') == std::string::npos || std::sscanf(bytes.c_str(), "%d %d", columns, rows) != 2) return {};
    return SamplesAfterHeader(bytes);
}

namespace {

std::uint32_t Little(const std::string &bytes, std::uint64_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

void PutLittle(std::string *bytes, std::uint64_t at, int count, std::uint32_t value) {
    for (int i = 0; i < count; ++i) bytes->at(at + i) = static_cast<char>(value >> (8 * i));
}

// Where value `index` of the tag lies and its size in bytes; false when the
// directory has no such tag.
bool TagPlace(const std::string &bytes, int page, int tag, int index, std::uint64_t *at, int *size) {
    std::vector<std::uint64_t> directories = DirectoryOffsets(bytes);
    if (page >= static_cast<int>(directories.size())) return false;
    std::uint64_t directory = directories[page];
    std::uint32_t entries = Little(bytes, directory, 2);
    for (std::uint32_t i = 0; i < entries; ++i) {
        std::uint64_t entry = directory + 2 + 12 * i;
        if (static_cast<int>(Little(bytes, entry, 2)) != tag) continue;
        *size = Little(bytes, entry + 2, 2) == 3 ? 2 : 4;
        std::uint32_t count = Little(bytes, entry + 4, 4);
        std::uint64_t values = count * static_cast<std::uint64_t>(*size) <= 4 ? entry + 8 : Little(bytes, entry + 8, 4);
        *at = values + static_cast<std::uint64_t>(index) * *size;
        return true;
    }
    return false;
}

}  // namespace

std::vector<std::uint64_t> DirectoryOffsets(const std::string &bytes) {
    std::vector<std::uint64_t> offsets;
    for (std::uint64_t at = Little(bytes, 4, 4); at != 0 && offsets.size() < 100000;
         at = Little(bytes, at + 2 + 12 * Little(bytes, at, 2), 4))
        offsets.push_back(at);
    return offsets;
}

std::uint32_t TagValue(const std::string &bytes, int page, int tag, int index) {
    std::uint64_t at = 0;
    int size = 0;
    return TagPlace(bytes, page, tag, index, &at, &size) ? Little(bytes, at, size) : 0xffffffffu;
}

std::uint64_t TagValueOffset(const std::string &bytes, int page, int tag, int index) {
    std::uint64_t at = 0;
    int size = 0;
    return TagPlace(bytes, page, tag, index, &at, &size) ? at : 0;
}

void SetTagValue(std::string *bytes, int page, int tag, int index, std::uint32_t value) {
    std::uint64_t at = 0;
    int size = 0;
    if (TagPlace(*bytes, page, tag, index, &at, &size)) PutLittle(bytes, at, size, value);
}
