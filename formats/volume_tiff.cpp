#include "volume_tiff.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "tiff_pages.h"

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
        return std::strncmp(description, "ImageJ=1.11a\nimages=", 20) == 0;
    std::uint32_t width = 0, length = 0;
    std::uint16_t bits = 0, sample_format = 0;
    return TIFFIsBigEndian(tif.get()) == 0 && (TIFFIsBigTIFF(tif.get()) != 0) &&
           TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &length) &&
           width == length && TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits) && bits == 32 &&
           TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &sample_format) && sample_format == SAMPLEFORMAT_IEEEFP;
}

bool VolumeFitsClassicTiff(int pages, int size) {
    double slice = 4.0 * size * size;
    // Directories take under 256 bytes a page, the description under 256.
    return slice * pages + 256.0 * pages + 512 <= 4294967295.0;
}

std::vector<unsigned char> VolumeTiffHead(int pages, int size, double pixel, const std::vector<std::string> &texts) {
    bool big = !VolumeFitsClassicTiff(pages, size);
    Widths w = WidthsOf(big);
    // Each page's description, if any: the volume's on page 0 (a classic
    // TIFF), followed by the page's own text.
    std::vector<std::string> descriptions(static_cast<std::size_t>(pages));
    if (!big) descriptions[0] = Description(pages, pixel);
    for (std::size_t k = 0; k < texts.size() && k < descriptions.size(); ++k) descriptions[k] += texts[k];
    bool resolution = pixel > 0;
    int entries = 11 + (resolution ? 3 : 0);
    std::size_t directory = w.count + entries * w.entry + w.offset;
    std::size_t rationals = resolution ? 16 : 0;
    // A page with a description has one entry more and its text.
    auto page_size = [&](int k) {
        const std::string &d = descriptions[static_cast<std::size_t>(k)];
        return directory + (d.empty() ? 0 : w.entry + Even(d.size() + 1)) + rationals;
    };
    std::size_t head = w.header;
    for (int k = 0; k < pages; ++k) head += page_size(k);
    head = (head + 15) / 16 * 16;
    std::uint64_t slice = 4ull * static_cast<std::uint64_t>(size) * static_cast<std::uint64_t>(size);

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
    std::size_t at = w.header;
    for (int k = 0; k < pages; ++k) {
        const std::string &text = descriptions[static_cast<std::size_t>(k)];
        bool described = !text.empty();
        int n = entries + (described ? 1 : 0);
        std::size_t size_here = page_size(k);
        std::size_t extra = at + w.count + n * w.entry + w.offset;  // text, then rationals
        std::size_t rational_at = extra + (described ? Even(text.size() + 1) : 0);
        std::vector<Entry> list = {
            {256, kLong, 1, static_cast<std::uint64_t>(size)},       // ImageWidth
            {257, kLong, 1, static_cast<std::uint64_t>(size)},       // ImageLength
            {258, kShort, 1, 32},                                    // BitsPerSample
            {259, kShort, 1, 1},                                     // Compression: none
            {262, kShort, 1, 1},                                     // Photometric: black is zero
        };
        if (described) list.push_back({270, kAscii, text.size() + 1, extra});  // ImageDescription
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
        list.push_back({339, kShort, 1, 3});  // SampleFormat: IEEE float
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
        std::size_t next = k + 1 < pages ? at + size_here : 0;
        Put(&bytes, e, next, static_cast<int>(w.offset));
        for (std::size_t i = 0; i < text.size(); ++i) bytes[extra + i] = static_cast<unsigned char>(text[i]);
        if (resolution) {
            Put(&bytes, rational_at, numerator, 4);
            Put(&bytes, rational_at + 4, denominator, 4);
            Put(&bytes, rational_at + 8, numerator, 4);
            Put(&bytes, rational_at + 12, denominator, 4);
        }
        at += size_here;
    }
    return bytes;
}

Status BeginVolumeTiff(const char *name, int pages, int size, double pixel, VolumeTiff *tiff) {
    tiff->pages = pages;
    tiff->size = size;
    tiff->written = 0;
    tiff->failure = About(name, "data write error.");
    std::size_t samples = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    std::vector<unsigned char> head;
    // Allocation failures are the caller's one message, not an exception.
    try {
        tiff->slice.assign(samples, 0.0f);
        head = VolumeTiffHead(pages, size, pixel, tiff->page_texts);
    } catch (const std::bad_alloc &) {
        return Failure("memory allocation error.");
    }
    Status opened = OpenOutput(name, About(name, "file not open.").c_str(), &tiff->out);
    if (!opened.ok()) return opened;
    return WriteBlock(tiff->out.stream, head.data(), head.size(), tiff->failure.c_str());
}

Status WriteVolumeTiffSlice(VolumeTiff *tiff, const double *image) {
    std::size_t samples = tiff->slice.size();
    for (std::size_t i = 0; i < samples; ++i) tiff->slice[i] = static_cast<float>(image[i]);
    ++tiff->written;
    return WriteBlock(tiff->out.stream, tiff->slice.data(), samples * sizeof(float), tiff->failure.c_str());
}

Status FinishVolumeTiff(VolumeTiff *tiff) {
    // A volume short of pages would look complete to a reader of its
    // directories: it is never renamed into place.
    if (tiff->written != tiff->pages) return Failure(tiff->failure);
    return FinishOutput(&tiff->out, tiff->failure.c_str());
}
