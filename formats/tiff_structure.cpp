#include "tiff_structure.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint64_t Number(const unsigned char *at, std::size_t bytes, bool big_endian) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        std::size_t byte = big_endian ? i : bytes - 1 - i;
        value = value << 8 | at[byte];
    }
    return value;
}

// Bytes of one value of a field type; 0 for a type TIFF does not define,
// which libtiff skips.
std::uint64_t TypeBytes(std::uint64_t type) {
    switch (type) {
        case 1: case 2: case 6: case 7: return 1;    // BYTE, ASCII, SBYTE, UNDEFINED
        case 3: case 8: return 2;                    // SHORT, SSHORT
        case 4: case 9: case 11: case 13: return 4;  // LONG, SLONG, FLOAT, IFD
        case 5: case 10: case 12: case 16: case 17: case 18: return 8;  // RATIONALs, DOUBLE, 64-bit
        default: return 0;
    }
}

// The layout of directories: classic TIFF or BigTIFF.
struct Layout {
    bool big_endian;
    std::size_t count_bytes, entry_bytes, offset_bytes;
};

Layout LayoutOf(bool big_endian, bool big) {
    return big ? Layout{big_endian, 8, 20, 8} : Layout{big_endian, 2, 12, 4};
}

// The bytes of the directory at `at` (entry count, entries, next offset),
// or 0 when it does not fit in the file.
std::uint64_t DirectoryBytes(const RawTiff &raw, const Layout &layout, std::uint64_t at) {
    unsigned char count[8];
    if (!ReadRaw(raw, at, count, layout.count_bytes)) return 0;
    std::uint64_t entries = Number(count, layout.count_bytes, layout.big_endian);
    if (entries > raw.size / layout.entry_bytes) return 0;
    std::uint64_t length = layout.count_bytes + entries * layout.entry_bytes + layout.offset_bytes;
    return raw.size - at >= length ? length : 0;
}

// Ranges sorted by their start, overlapping or touching ones joined.
void Merge(std::vector<ByteRange> *ranges) {
    std::sort(ranges->begin(), ranges->end(), [](const ByteRange &a, const ByteRange &b) { return a.begin < b.begin; });
    std::size_t kept = 0;
    for (const ByteRange &r : *ranges) {
        if (kept > 0 && r.begin <= (*ranges)[kept - 1].end) {
            (*ranges)[kept - 1].end = std::max((*ranges)[kept - 1].end, r.end);
        } else {
            (*ranges)[kept++] = r;
        }
    }
    ranges->resize(kept);
}

// Whether [begin, end) overlaps a range of the structure.
bool InStructure(const TiffStructure &structure, std::uint64_t begin, std::uint64_t end) {
    auto after = std::partition_point(structure.ranges.begin(), structure.ranges.end(),
                                      [&](const ByteRange &r) { return r.end <= begin; });
    return after != structure.ranges.end() && after->begin < end;
}

}  // namespace

bool RawTiffOfFile(int fd, RawTiff *raw) {
    struct stat file;
    if (fd < 0 || fstat(fd, &file) != 0) return false;
    *raw = RawTiff{fd, nullptr, static_cast<std::uint64_t>(file.st_size)};
    return true;
}

bool ReadRaw(const RawTiff &raw, std::uint64_t at, void *out, std::size_t count) {
    if (at > raw.size || raw.size - at < count) return false;
    if (raw.fd < 0) {
        if (count > 0) std::memcpy(out, raw.bytes + at, count);
        return true;
    }
    std::size_t done = 0;
    while (done < count) {
        ssize_t got = pread(raw.fd, static_cast<char *>(out) + done, count - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

TiffStructure ReadTiffStructure(const RawTiff &raw) {
    TiffStructure structure{{}, raw.size, {}};
    unsigned char header[16];
    if (!ReadRaw(raw, 0, header, 8)) return structure;
    bool big_endian = header[0] == 'M';
    bool big = Number(header + 2, 2, big_endian) == 43;
    if (big && !ReadRaw(raw, 0, header, 16)) return structure;
    Layout layout = LayoutOf(big_endian, big);
    structure.ranges.push_back(ByteRange{0, big ? 16u : 8u});
    std::uint64_t next = Number(header + (big ? 8 : 4), layout.offset_bytes, big_endian);
    std::unordered_set<std::uint64_t> seen;
    std::vector<unsigned char> entries;
    for (int directory = 0; next != 0 && seen.insert(next).second; ++directory) {
        std::uint64_t length = DirectoryBytes(raw, layout, next);
        if (length == 0) break;
        entries.resize(length - layout.count_bytes);
        if (!ReadRaw(raw, next + layout.count_bytes, entries.data(), entries.size())) break;
        structure.ranges.push_back(ByteRange{next, next + length});
        std::size_t count = (entries.size() - layout.offset_bytes) / layout.entry_bytes;
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char *entry = entries.data() + i * layout.entry_bytes;
            std::uint64_t size = TypeBytes(Number(entry + 2, 2, big_endian));
            std::uint64_t values = Number(entry + 4, layout.offset_bytes, big_endian);
            // ImageWidth, ImageLength, BitsPerSample: the first value, held
            // in the entry.
            std::uint64_t tag = Number(entry, 2, big_endian);
            if ((tag == 256 || tag == 257 || tag == 258) && values >= 1 && size > 0 && size <= layout.offset_bytes &&
                Number(entry + 4 + layout.offset_bytes, static_cast<std::size_t>(size), big_endian) == 0 &&
                (structure.zero_sizes.empty() || structure.zero_sizes.back() != directory))
                structure.zero_sizes.push_back(directory);
            // Values that fit the entry's own field are held in it.
            if (size == 0 || values <= layout.offset_bytes / size) continue;
            std::uint64_t at = Number(entry + 4 + layout.offset_bytes, layout.offset_bytes, big_endian);
            if (at >= raw.size) continue;
            std::uint64_t room = raw.size - at;
            structure.ranges.push_back(ByteRange{at, values > room / size ? raw.size : at + values * size});
        }
        next = Number(entries.data() + count * layout.entry_bytes, layout.offset_bytes, big_endian);
    }
    Merge(&structure.ranges);
    return structure;
}

bool ZeroSize(const TiffStructure &structure, int index) {
    return std::find(structure.zero_sizes.begin(), structure.zero_sizes.end(), index) != structure.zero_sizes.end();
}

bool DirectoryInRaw(TIFF *tif, const RawTiff &raw) {
    Layout layout = LayoutOf(TIFFIsBigEndian(tif) != 0, TIFFIsBigTIFF(tif) != 0);
    return DirectoryBytes(raw, layout, TIFFCurrentDirOffset(tif)) != 0;
}

Status CheckPieces(TIFF *tif, const TiffStructure &structure) {
    std::uint64_t pieces = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    // Each piece needs its offset in the file; a page claiming more pieces
    // than the file has bytes cannot hold them.
    if (pieces > structure.size) return Failure("data read error.");
    // Pieces come in the order of their offsets from most writers: then one
    // pass shows they are apart; otherwise they are sorted first.
    std::uint64_t previous_end = 0;
    bool ordered = true;
    for (std::uint64_t i = 0; i < pieces; ++i) {
        std::uint64_t at = TIFFGetStrileOffset(tif, static_cast<std::uint32_t>(i));
        std::uint64_t bytes = TIFFGetStrileByteCount(tif, static_cast<std::uint32_t>(i));
        if (bytes == 0) continue;
        if (bytes > UINT64_MAX - at || InStructure(structure, at, at + bytes)) return Failure("data read error.");
        if (at < previous_end) ordered = false;
        previous_end = at + bytes;
    }
    if (ordered) return Success();
    std::vector<std::uint32_t> order;
    for (std::uint64_t i = 0; i < pieces; ++i)
        if (TIFFGetStrileByteCount(tif, static_cast<std::uint32_t>(i)) != 0) order.push_back(static_cast<std::uint32_t>(i));
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return TIFFGetStrileOffset(tif, a) < TIFFGetStrileOffset(tif, b);
    });
    for (std::size_t i = 1; i < order.size(); ++i) {
        std::uint64_t end = TIFFGetStrileOffset(tif, order[i - 1]) + TIFFGetStrileByteCount(tif, order[i - 1]);
        if (TIFFGetStrileOffset(tif, order[i]) < end) return Failure("data read error.");
    }
    return Success();
}
