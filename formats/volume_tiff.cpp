#include "volume_tiff.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <new>

#include "tiff_pages.h"
#include "volume_record.h"

namespace {

// Little-endian fields, appended or placed.
void Put(std::vector<unsigned char> *bytes, std::size_t at, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) (*bytes)[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

constexpr std::uint16_t kShort = 3, kLong = 4, kRational = 5, kAscii = 2, kLong8 = 16;

// One directory entry: its tag, type, count and either the value itself
// or, for `external` bytes, where they lie.
struct Entry {
    std::uint16_t tag, type;
    std::uint64_t count, value;
};

// The sizes of one format's structures.
struct Widths {
    std::size_t header, count, entry, offset;  // offset: a value or next-directory field
};

Widths WidthsOf(bool big) { return big ? Widths{16, 8, 20, 8} : Widths{8, 2, 12, 4}; }

std::string Description(int pages, double pixel) {
    std::string text = "ImageJ=1.11a\nimages=" + std::to_string(pages) + "\nslices=" + std::to_string(pages) + "\n";
    if (pixel > 0) {
        char spacing[64];
        std::snprintf(spacing, sizeof spacing, "%.17g", pixel);
        text += std::string("unit=micron\nspacing=") + spacing + "\n";
    }
    return text + "loop=false\n";
}

// Pixels per micron as a rational: the pixel side scaled by a power of
// ten that keeps it within 32 bits.
void Resolution(double pixel, std::uint32_t *numerator, std::uint32_t *denominator) {
    double scale = 1e6;
    while (scale > 1 && pixel * scale >= 4294967295.0) scale /= 10;
    double d = pixel * scale + 0.5;
    *numerator = static_cast<std::uint32_t>(scale);
    *denominator = d >= 4294967295.0 ? 4294967295u : d < 1 ? 1u : static_cast<std::uint32_t>(d);
}

std::size_t Even(std::size_t n) { return (n + 1) & ~static_cast<std::size_t>(1); }

}  // namespace

bool IsVolumeTiff(const char *file) {
    QuietTiff();
    TiffHandle tif = OpenTiff(file);
    if (!tif) return false;
    char *description = nullptr;
    if (TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &description) && description != nullptr)
        return std::strncmp(description, "ImageJ=1.11a\nimages=", 20) == 0 ||
               std::strncmp(description, kRecordStart, std::strlen(kRecordStart)) == 0;
    std::uint32_t width = 0, length = 0;
    std::uint16_t bits = 0, sample_format = 0;
    return TIFFIsBigEndian(tif.get()) == 0 && (TIFFIsBigTIFF(tif.get()) != 0) &&
           TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &length) &&
           width == length && TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits) && bits == 32 &&
           TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &sample_format) && sample_format == SAMPLEFORMAT_IEEEFP;
}

namespace {

// The bytes after the samples: the record (its room and a NUL), then each
// page's text with its NUL, each at an even offset (here at most: a text
// that fits a directory entry's value field is kept there instead).
std::size_t TailBytes(const VolumeTiffLayout &layout) {
    std::size_t bytes = layout.record_room > 0 ? Even(layout.record_room + 1) : 0;
    for (std::size_t k = 1; k < layout.page_texts.size(); ++k)
        if (!layout.page_texts[k].empty()) bytes += Even(layout.page_texts[k].size() + 1);
    return bytes;
}

bool FitsClassic(const VolumeTiffLayout &layout) {
    double slice = static_cast<double>(SampleBytes(layout.type)) * layout.size * layout.size;
    // Directories take under 256 bytes a page, the ImageJ description under 256.
    return slice * layout.pages + 256.0 * layout.pages + 512 + static_cast<double>(TailBytes(layout)) <= 4294967295.0;
}

}  // namespace

bool VolumeFitsClassicTiff(int pages, int size) {
    VolumeTiffLayout layout;
    layout.pages = pages;
    layout.size = size;
    return FitsClassic(layout);
}

std::vector<unsigned char> VolumeTiffHead(int pages, int size, double pixel) {
    VolumeTiffLayout layout;
    layout.pages = pages;
    layout.size = size;
    layout.pixel = pixel;
    return VolumeTiffHead(layout);
}

std::vector<unsigned char> VolumeTiffHead(const VolumeTiffLayout &layout) {
    int pages = layout.pages, size = layout.size;
    double pixel = layout.pixel;
    bool big = !FitsClassic(layout);
    bool record = layout.record_room > 0;
    Widths w = WidthsOf(big);
    // The ImageJ description of a volume without a record sits in the head.
    bool imagej = !big && !record;
    std::string description = imagej ? Description(pages, pixel) : std::string();
    if (imagej && !layout.page_texts.empty()) description += layout.page_texts[0];
    bool resolution = pixel > 0;
    int entries = 11 + (resolution ? 3 : 0);
    std::size_t directory = w.count + entries * w.entry + w.offset;
    std::size_t rationals = resolution ? 16 : 0;
    std::size_t first_extra = imagej ? Even(description.size() + 1) : 0;
    auto has_text = [&](int k) {
        return k == 0 ? imagej || record
                      : static_cast<std::size_t>(k) < layout.page_texts.size() && !layout.page_texts[k].empty();
    };
    // A page with a description has one entry more; page 0 its ImageJ text.
    std::vector<std::size_t> sizes(static_cast<std::size_t>(pages));
    std::size_t head = w.header;
    for (int k = 0; k < pages; ++k) {
        sizes[k] = directory + (has_text(k) ? w.entry : 0) + (k == 0 ? first_extra : 0) + rationals;
        head += sizes[k];
    }
    head = (head + 15) / 16 * 16;
    std::uint64_t slice = static_cast<std::uint64_t>(SampleBytes(layout.type)) * static_cast<std::uint64_t>(size) *
                          static_cast<std::uint64_t>(size);
    std::uint64_t tail = head + slice * static_cast<std::uint64_t>(pages);

    std::vector<unsigned char> bytes(head, 0);
    bytes[0] = 'I';
    bytes[1] = 'I';
    Put(&bytes, 2, big ? 43 : 42, 2);
    if (big) {
        Put(&bytes, 4, 8, 2);  // offsets of 8 bytes
        Put(&bytes, 6, 0, 2);
        Put(&bytes, 8, w.header, 8);
    } else {
        Put(&bytes, 4, w.header, 4);
    }
    std::uint16_t offset_type = big ? kLong8 : kLong;
    std::uint32_t numerator = 0, denominator = 1;
    if (resolution) Resolution(pixel, &numerator, &denominator);
    std::uint16_t bits = static_cast<std::uint16_t>(8 * SampleBytes(layout.type));
    std::uint16_t format = layout.type == SampleType::kFloat32 ? 3 : 1;
    std::size_t at = w.header;
    std::uint64_t text_at = tail + (record ? Even(layout.record_room + 1) : 0);
    for (int k = 0; k < pages; ++k) {
        bool text = has_text(k);
        int n = entries + (text ? 1 : 0);
        std::size_t extra = at + w.count + n * w.entry + w.offset;  // ImageJ text, then rationals
        std::size_t rational_at = extra + (k == 0 ? first_extra : 0);
        std::vector<Entry> list = {
            {256, kLong, 1, static_cast<std::uint64_t>(size)},       // ImageWidth
            {257, kLong, 1, static_cast<std::uint64_t>(size)},       // ImageLength
            {258, kShort, 1, bits},                                  // BitsPerSample
            {259, kShort, 1, 1},                                     // Compression: none
            {262, kShort, 1, 1},                                     // Photometric: black is zero
        };
        if (k == 0 && imagej) list.push_back({270, kAscii, description.size() + 1, extra});  // ImageDescription
        if (k == 0 && record) list.push_back({270, kAscii, layout.record_room + 1, tail});
        std::uint64_t inline_text = 0;  // a text that fits the value field sits in it
        if (k > 0 && text) {
            const std::string &page_text = layout.page_texts[k];
            std::size_t length = page_text.size() + 1;
            if (length <= w.offset) {
                for (std::size_t i = 0; i < page_text.size(); ++i)
                    inline_text |= static_cast<std::uint64_t>(static_cast<unsigned char>(page_text[i])) << (8 * i);
                list.push_back({270, kAscii, length, inline_text});
            } else {
                list.push_back({270, kAscii, length, text_at});
                text_at += Even(length);
            }
        }
        list.push_back({273, offset_type, 1, head + slice * static_cast<std::uint64_t>(k)});  // StripOffsets
        list.push_back({277, kShort, 1, 1});                                   // SamplesPerPixel
        list.push_back({278, kLong, 1, static_cast<std::uint64_t>(size)});     // RowsPerStrip: one strip
        list.push_back({279, offset_type, 1, slice});                          // StripByteCounts
        if (resolution) {
            list.push_back({282, kRational, 1, rational_at});      // XResolution
            list.push_back({283, kRational, 1, rational_at + 8});  // YResolution
        }
        list.push_back({284, kShort, 1, 1});  // PlanarConfiguration: contiguous
        if (resolution) list.push_back({296, kShort, 1, 1});  // ResolutionUnit: none (ImageJ's unit is in the text)
        list.push_back({339, kShort, 1, format});  // SampleFormat: IEEE float or unsigned integer
        Put(&bytes, at, static_cast<std::uint64_t>(n), static_cast<int>(w.count));
        std::size_t e = at + w.count;
        for (const Entry &entry : list) {
            Put(&bytes, e, entry.tag, 2);
            Put(&bytes, e + 2, entry.type, 2);
            Put(&bytes, e + 4, entry.count, static_cast<int>(w.offset));
            // A SHORT sits in the first bytes of the value field.
            Put(&bytes, e + 4 + w.offset, entry.value, entry.type == kShort ? 2 : static_cast<int>(w.offset));
            e += w.entry;
        }
        std::size_t next = k + 1 < pages ? at + sizes[k] : 0;
        Put(&bytes, e, next, static_cast<int>(w.offset));
        if (k == 0 && imagej)
            for (std::size_t i = 0; i < description.size(); ++i) bytes[extra + i] = static_cast<unsigned char>(description[i]);
        if (resolution) {
            Put(&bytes, rational_at, numerator, 4);
            Put(&bytes, rational_at + 4, denominator, 4);
            Put(&bytes, rational_at + 8, numerator, 4);
            Put(&bytes, rational_at + 12, denominator, 4);
        }
        at += sizes[k];
    }
    return bytes;
}

Status BeginVolumeTiffLayout(const char *name, const VolumeTiffLayout &layout, VolumeTiff *tiff) {
    tiff->pages = layout.pages;
    tiff->size = layout.size;
    tiff->written = 0;
    tiff->failure = About(name, "data write error.");
    std::size_t samples = static_cast<std::size_t>(layout.size) * static_cast<std::size_t>(layout.size);
    std::vector<unsigned char> head;
    // Allocation failures are the caller's one message, not an exception.
    try {
        tiff->layout = layout;
        tiff->slice.assign(samples, 0.0f);
        head = VolumeTiffHead(layout);
    } catch (const std::bad_alloc &) {
        return Failure("memory allocation error.");
    }
    Status opened = OpenOutput(name, About(name, "file not open.").c_str(), &tiff->out);
    if (!opened.ok()) return opened;
    return WriteBlock(tiff->out.stream, head.data(), head.size(), tiff->failure.c_str());
}

Status BeginVolumeTiff(const char *name, int pages, int size, double pixel, VolumeTiff *tiff) {
    VolumeTiffLayout layout;
    layout.pages = pages;
    layout.size = size;
    layout.pixel = pixel;
    layout.page_texts = tiff->page_texts;
    return BeginVolumeTiffLayout(name, layout, tiff);
}

Status WriteVolumeTiffSlice(VolumeTiff *tiff, const double *image) {
    std::size_t samples = tiff->slice.size();
    for (std::size_t i = 0; i < samples; ++i) tiff->slice[i] = static_cast<float>(image[i]);
    ++tiff->written;
    return WriteBlock(tiff->out.stream, tiff->slice.data(), samples * sizeof(float), tiff->failure.c_str());
}

Status WriteVolumeTiffSamples(VolumeTiff *tiff, const unsigned char *samples) {
    std::size_t bytes = tiff->slice.size() * static_cast<std::size_t>(SampleBytes(tiff->layout.type));
    ++tiff->written;
    return WriteBlock(tiff->out.stream, samples, bytes, tiff->failure.c_str());
}

namespace {

// The tail's bytes, as VolumeTiffHead placed them.
std::vector<unsigned char> TailOf(const VolumeTiffLayout &layout, const std::string &record) {
    std::size_t offset_width = FitsClassic(layout) ? 4 : 8;
    std::vector<unsigned char> tail;
    if (layout.record_room > 0) {
        std::string text = record.substr(0, layout.record_room);
        text.resize(layout.record_room, ' ');
        tail.assign(text.begin(), text.end());
        tail.resize(Even(layout.record_room + 1), 0);
    }
    for (std::size_t k = 1; k < layout.page_texts.size(); ++k) {
        const std::string &text = layout.page_texts[k];
        if (text.empty() || text.size() + 1 <= offset_width) continue;
        std::size_t at = tail.size();
        tail.resize(at + Even(text.size() + 1), 0);
        std::copy(text.begin(), text.end(), tail.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return tail;
}

}  // namespace

Status WriteVolumeTiffTail(VolumeTiff *tiff, const std::string &record) {
    if (tiff->layout.record_room > 0 && record.size() > tiff->layout.record_room) return Failure(tiff->failure);
    tiff->tail_written = true;
    std::vector<unsigned char> tail = TailOf(tiff->layout, record);
    if (tail.empty()) return Success();
    return WriteBlock(tiff->out.stream, tail.data(), tail.size(), tiff->failure.c_str());
}

Status AppendVolumeTiffTail(const VolumeTiffLayout &layout, const std::string &record, const std::string &path,
                            const char *failure) {
    if (layout.record_room > 0 && record.size() > layout.record_room) return Failure(failure);
    std::vector<unsigned char> tail = TailOf(layout, record);
    if (tail.empty()) return Success();
    FILE *out = std::fopen(path.c_str(), "ab");
    if (out == nullptr) return Failure(failure);
    bool written = std::fwrite(tail.data(), 1, tail.size(), out) == tail.size();
    written = std::fclose(out) == 0 && written;
    return written ? Success() : Failure(failure);
}

Status FinishVolumeTiff(VolumeTiff *tiff) {
    // A volume short of pages would look complete to a reader of its
    // directories: it is never renamed into place.
    if (tiff->written != tiff->pages) return Failure(tiff->failure);
    if (!tiff->tail_written && tiff->layout.record_room == 0) {
        Status tail = WriteVolumeTiffTail(tiff, "");
        if (!tail.ok()) return tail;
    }
    return FinishOutput(&tiff->out, tiff->failure.c_str());
}
