#include "tiff_pages.h"

#include <climits>
#include <cstdint>
#include <cstring>

void QuietTiff() {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
}

TiffHandle OpenTiff(const char *name) { return TiffHandle(TIFFOpen(name, "rm")); }

Status ReadPageFormat(TIFF *tif, PageFormat *format) {
    std::uint32_t width = 0, length = 0;
    std::uint16_t samples = 1, bits = 1, sample_format = SAMPLEFORMAT_UINT;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length) ||
        width == 0 || length == 0 || width > INT_MAX || length > INT_MAX)
        return Failure("bad number of pixels.");
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sample_format);
    bool integer = sample_format == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16 || bits == 32);
    bool floating = sample_format == SAMPLEFORMAT_IEEEFP && (bits == 32 || bits == 64);
    if (samples != 1 || (!integer && !floating)) return Failure("unsupported sample format.");
    *format = PageFormat{static_cast<int>(width), static_cast<int>(length), bits, floating, TIFFIsTiled(tif) != 0};
    return Success();
}

void SamplesToDoubles(const unsigned char *raw, const PageFormat &format, std::size_t count, double *out) {
    // memcpy per sample: a decoded buffer carries no alignment promise.
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char *at = raw + i * static_cast<std::size_t>(format.bits / 8);
        if (format.floating && format.bits == 64) {
            std::memcpy(&out[i], at, 8);
        } else if (format.floating) {
            float f;
            std::memcpy(&f, at, 4);
            out[i] = f;
        } else if (format.bits == 32) {
            std::uint32_t u;
            std::memcpy(&u, at, 4);
            out[i] = u;
        } else if (format.bits == 16) {
            std::uint16_t u;
            std::memcpy(&u, at, 2);
            out[i] = u;
        } else {
            out[i] = *at;
        }
    }
}

namespace {

// Whether an uncompressed strip or tile declares at least `needed` bytes.
// libtiff reads an uncompressed piece by its decoded size from its offset
// whatever its byte count says: a piece declared short would fill up with
// the bytes that follow it in the file (the next piece, a directory).
bool StoredWhole(TIFF *tif, std::uint32_t piece, std::uint64_t needed) {
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    return compression != COMPRESSION_NONE || TIFFGetStrileByteCount(tif, piece) >= needed;
}

// Room for one decoded piece in the scratch buffer.
bool MakeRoom(TiffScratch *scratch, tmsize_t size) {
    if (size <= 0) return false;
    if (scratch->size() >= static_cast<std::size_t>(size)) return true;
    try {
        scratch->resize(static_cast<std::size_t>(size));
    } catch (...) {
        return false;
    }
    return true;
}

Status ReadStripRows(TIFF *tif, const PageFormat &format, int first, int count, double *out,
                          std::size_t row_step, TiffScratch *scratch) {
    std::uint32_t rows_per_strip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
    long long strip_rows = rows_per_strip == 0 || rows_per_strip > static_cast<std::uint32_t>(format.rows)
                               ? format.rows
                               : rows_per_strip;
    if (TIFFStripSize(tif) <= 0) return Failure("memory allocation error.");
    std::size_t row_bytes = static_cast<std::size_t>(format.columns) * static_cast<std::size_t>(format.bits / 8);
    int row = first;
    while (row < first + count) {
        long long strip = row / strip_rows;
        long long strip_first = strip * strip_rows;
        long long strip_end = strip_first + strip_rows < format.rows ? strip_first + strip_rows : format.rows;
        long long last = strip_end < first + count ? strip_end : first + count;
        // Only the rows this band needs must be there, and only they are
        // decoded: the room taken follows the band, not what a strip claims.
        std::size_t needed = static_cast<std::size_t>(last - strip_first) * row_bytes;
        if (!StoredWhole(tif, static_cast<std::uint32_t>(strip), needed)) return Failure("data read error.");
        if (!MakeRoom(scratch, static_cast<tmsize_t>(needed))) return Failure("memory allocation error.");
        tmsize_t got = TIFFReadEncodedStrip(tif, static_cast<std::uint32_t>(strip), scratch->data(),
                                            static_cast<tmsize_t>(needed));
        if (got < 0 || static_cast<std::size_t>(got) < needed) return Failure("data read error.");
        for (; row < last; ++row) {
            const unsigned char *raw = scratch->data() + static_cast<std::size_t>(row - strip_first) * row_bytes;
            SamplesToDoubles(raw, format, static_cast<std::size_t>(format.columns),
                             out + static_cast<std::size_t>(row - first) * row_step);
        }
    }
    return Success();
}

Status ReadTileRows(TIFF *tif, const PageFormat &format, int first, int count, double *out,
                         std::size_t row_step, TiffScratch *scratch) {
    std::uint32_t tile_width = 0, tile_length = 0;
    if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tile_width) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tile_length) ||
        tile_width == 0 || tile_length == 0)
        return Failure("data read error.");
    tmsize_t tile_size = TIFFTileSize(tif);
    std::size_t sample_bytes = static_cast<std::size_t>(format.bits / 8);
    // The decoded tile must hold every pixel the copy below reads.
    if (tile_size <= 0 || static_cast<std::size_t>(tile_size) / sample_bytes / tile_width < tile_length)
        return Failure("data read error.");
    long long end = static_cast<long long>(first) + count;
    for (long long y0 = first - first % tile_length; y0 < end; y0 += tile_length) {
        long long from = y0 > first ? y0 : first;
        long long to = y0 + tile_length < end ? y0 + tile_length : end;
        // The tile's rows down to the last one the band needs, decoded alone.
        auto wanted = static_cast<tmsize_t>(static_cast<std::size_t>((to - y0) * tile_width) * sample_bytes);
        if (!MakeRoom(scratch, wanted)) return Failure("memory allocation error.");
        for (long long x0 = 0; x0 < format.columns; x0 += tile_width) {
            std::uint32_t tile = TIFFComputeTile(tif, static_cast<std::uint32_t>(x0), static_cast<std::uint32_t>(y0), 0, 0);
            if (!StoredWhole(tif, tile, static_cast<std::uint64_t>(wanted))) return Failure("data read error.");
            tmsize_t got = TIFFReadEncodedTile(tif, tile, scratch->data(), wanted);
            if (got != wanted) return Failure("data read error.");
            long long width = x0 + tile_width < format.columns ? tile_width : format.columns - x0;
            for (long long y = from; y < to; ++y) {
                const unsigned char *raw = scratch->data() + static_cast<std::size_t>((y - y0) * tile_width) * sample_bytes;
                SamplesToDoubles(raw, format, static_cast<std::size_t>(width),
                                 out + static_cast<std::size_t>(y - first) * row_step + static_cast<std::size_t>(x0));
            }
        }
    }
    return Success();
}

}  // namespace

Status ReadPageRows(TIFF *tif, const PageFormat &format, int first, int count, double *out,
                    std::size_t row_step, TiffScratch *scratch) {
    if (format.tiled) return ReadTileRows(tif, format, first, count, out, row_step, scratch);
    return ReadStripRows(tif, format, first, count, out, row_step, scratch);
}
