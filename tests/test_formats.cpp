// The file-format library: TIFF pages read (any rows of strips and tiles,
// memory that follows what a page holds), the structure a page's pieces
// must keep clear of, the TIFF writer byte by byte, a TIFF in memory, the
// kind of a file, line integrals, band sizes and HDF5 chunk caches, angle
// lists (the zinger filters: test_zingers.cpp).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <hdf5.h>
#include <tiffio.h>

#include "angles_file.h"
#include "band.h"
#include "cli/run.h"
#include "cli/tiff_stack.h"
#include "hdf5_stack.h"
#include "images.h"
#include "kind.h"
#include "normalise.h"
#include "real.h"
#include "tiff_memory.h"
#include "tiff_pages.h"
#include "tiff_structure.h"
#include "tiff_write.h"
#include "volume_hdf5.h"
#include "volume_tiff.h"

namespace {

std::uint32_t Get(const unsigned char *at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | at[i];
    return v;
}

TEST(TiffWrite, PreambleHoldsTheTagsInOrder) {
    for (int bits : {32, 64}) {
        unsigned char p[kTiffPreamble];
        TiffPreamble(5, 3, bits, p);
        EXPECT_EQ(std::memcmp(p, "II*\0", 4), 0);
        EXPECT_EQ(Get(p + 4, 4), 8u);
        ASSERT_EQ(Get(p + 8, 2), 11u);
        // tag, type, value: width 5, length 3, the bits, no compression,
        // black is zero, samples at 152, one sample, 3 rows a strip,
        // 5 x 3 samples of 4 or 8 bytes, contiguous, IEEE floats.
        const std::uint32_t bytes = 5 * 3 * static_cast<std::uint32_t>(bits / 8);
        const std::uint32_t expected[11][3] = {{256, 4, 5},     {257, 4, 3},   {258, 3, static_cast<std::uint32_t>(bits)},
                                               {259, 3, 1},     {262, 3, 1},   {273, 4, 152},
                                               {277, 3, 1},     {278, 4, 3},   {279, 4, bytes},
                                               {284, 3, 1},     {339, 3, 3}};
        for (int i = 0; i < 11; ++i) {
            const unsigned char *e = p + 10 + 12 * i;
            EXPECT_EQ(Get(e, 2), expected[i][0]) << bits << " " << i;
            EXPECT_EQ(Get(e + 2, 2), expected[i][1]) << bits << " " << i;
            EXPECT_EQ(Get(e + 4, 4), 1u) << bits << " " << i;
            EXPECT_EQ(Get(e + 8, expected[i][1] == 3 ? 2 : 4), expected[i][2]) << bits << " " << i;
        }
        EXPECT_EQ(Get(p + 10 + 12 * 11, 4), 0u);  // one page
    }
}

TEST(TiffWrite, ClassicTiffSizeLimit) {
    // 2^32 - 1 bytes in all, preamble included.
    EXPECT_TRUE(FitsClassicTiff(65536, 16383, 32));
    EXPECT_FALSE(FitsClassicTiff(65536, 16384, 32));
    EXPECT_TRUE(FitsClassicTiff(65536, 8191, 64));
    EXPECT_FALSE(FitsClassicTiff(65536, 8192, 64));
    EXPECT_FALSE(FitsClassicTiff(2147483647, 2147483647, 64));
}

// The bytes WriteFloatTiff writes.
std::string FloatTiff(const double *samples, int columns, int rows, int bits) {
    FILE *out = std::tmpfile();
    EXPECT_TRUE(WriteFloatTiff(out, samples, columns, rows, bits, "data write error.").ok());
    return ContentsAndClose(out);
}

TEST(TiffWrite, LibtiffReadsWhatIsWritten) {
    const double samples[] = {0.1, -2, 1e30, 3.5, 1e300, -0.0};
    for (int bits : {32, 64}) {
        Scratch scratch;
        scratch.Write("t.tif", FloatTiff(samples, 3, 2, bits));
        TIFF *tif = TIFFOpen(scratch.Path("t.tif").c_str(), "r");
        ASSERT_NE(tif, nullptr);
        std::uint32_t width = 0, length = 0;
        std::uint16_t bps = 0, format = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &format);
        EXPECT_EQ(width, 3u);
        EXPECT_EQ(length, 2u);
        EXPECT_EQ(bps, bits);
        EXPECT_EQ(format, SAMPLEFORMAT_IEEEFP);
        std::vector<unsigned char> row(static_cast<std::size_t>(TIFFScanlineSize(tif)));
        for (int r = 0; r < 2; ++r) {
            ASSERT_EQ(TIFFReadScanline(tif, row.data(), r), 1);
            for (int c = 0; c < 3; ++c) {
                double expected = samples[r * 3 + c];
                if (bits == 32) {
                    float f;
                    std::memcpy(&f, &row[c * 4], 4);
                    // Rounded to the nearest float; beyond the float range, infinity.
                    EXPECT_EQ(f, static_cast<float>(expected)) << r << " " << c;
                } else {
                    double d;
                    std::memcpy(&d, &row[c * 8], 8);
                    EXPECT_EQ(std::memcmp(&d, &expected, 8), 0) << r << " " << c;
                }
            }
        }
        TIFFClose(tif);
    }
}

TEST(TiffPages, SamplesBecomeDoublesExactly) {
    unsigned char raw[16];
    double out[4];
    const std::uint16_t words[] = {0, 1, 65535, 40000};
    std::memcpy(raw, words, 8);
    SamplesToDoubles(raw, PageFormat{4, 1, 16, false, false}, 4, out);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[1], 1.0);
    EXPECT_EQ(out[2], 65535.0);
    EXPECT_EQ(out[3], 40000.0);
    const std::uint32_t longs[] = {4294967295u, 7};
    std::memcpy(raw, longs, 8);
    SamplesToDoubles(raw, PageFormat{2, 1, 32, false, false}, 2, out);
    EXPECT_EQ(out[0], 4294967295.0);
    EXPECT_EQ(out[1], 7.0);
    const float floats[] = {0.1f, -3.5f};
    std::memcpy(raw, floats, 8);
    SamplesToDoubles(raw, PageFormat{2, 1, 32, true, false}, 2, out);
    EXPECT_EQ(out[0], static_cast<double>(0.1f));
    EXPECT_EQ(out[1], -3.5);
    const double doubles[] = {0.1, -1e300};
    std::memcpy(raw, doubles, 16);
    SamplesToDoubles(raw, PageFormat{2, 1, 64, true, false}, 2, out);
    EXPECT_EQ(out[0], 0.1);
    EXPECT_EQ(out[1], -1e300);
    const unsigned char bytes[] = {0, 128, 255};
    SamplesToDoubles(bytes, PageFormat{3, 1, 8, false, false}, 3, out);
    EXPECT_EQ(out[2], 255.0);
    EXPECT_EQ(out[1], 128.0);
}

TEST(FileKind, ToldFromTheFirstBytes) {
    auto kind = [](const char *bytes, std::size_t count) {
        return KindOf(reinterpret_cast<const unsigned char *>(bytes), count);
    };
    EXPECT_EQ(kind("II*\0", 4), FileKind::kTiff);
    EXPECT_EQ(kind("MM\0*", 4), FileKind::kTiff);
    EXPECT_EQ(kind("II+\0", 4), FileKind::kTiff);
    EXPECT_EQ(kind("II*", 3), FileKind::kUnknown);
    EXPECT_EQ(kind("8\t8\n", 4), FileKind::kUnknown);
    EXPECT_EQ(kind("\x89HDF", 4), FileKind::kUnknown);
    EXPECT_EQ(kind("\x89HDF\r\n\x1a\n", 8), FileKind::kHdf5);
    // A stream's kind is read and its bytes put back, a pipe's too.
    FILE *in = StreamOf(std::string("II*\0rest", 8));
    EXPECT_EQ(PeekKind(in), FileKind::kTiff);
    EXPECT_EQ(std::getc(in), 'I');
    std::fclose(in);
}

// Rows of a page read in every band position, across strip and tile
// boundaries, against the samples written.
TEST(TiffPages, ReadsAnyRowsOfStripsAndTiles) {
    const int columns = 37, rows = 45;
    std::vector<double> page(columns * rows);
    for (int i = 0; i < columns * rows; ++i) page[i] = (i * 7919) % 65536;
    for (TiffLayout layout : {TiffLayout{}, TiffLayout{7}, TiffLayout{1, 0, COMPRESSION_LZW}, TiffLayout{0, 16},
                              TiffLayout{0, 32, COMPRESSION_ADOBE_DEFLATE}}) {
        Scratch scratch;
        ASSERT_TRUE(WriteTiff(scratch.Path("p.tif"), {page}, columns, rows, SampleKind::kU16, layout));
        QuietTiff();
        TiffHandle tif = OpenTiff(scratch.Path("p.tif").c_str());
        ASSERT_TRUE(tif);
        RawTiff raw;
        ASSERT_TRUE(RawTiffOfFile(TIFFFileno(tif.get()), &raw));
        ASSERT_TRUE(DirectoryInRaw(tif.get(), raw));
        ASSERT_TRUE(CheckPieces(tif.get(), ReadTiffStructure(raw)).ok());
        PageFormat format;
        ASSERT_TRUE(ReadPageFormat(tif.get(), &format).ok());
        EXPECT_EQ(format.tiled, layout.tile > 0);
        TiffScratch scratch_bytes;
        for (int first : {0, 1, 6, 7, 15, 16, 17, 31, 44}) {
            for (int count : {1, 2, 9, 16, 33}) {
                if (first + count > rows) continue;
                // Rows land `step` samples apart; the gaps stay untouched.
                const std::size_t step = columns + 3;
                std::vector<double> out(count * step, -1);
                ASSERT_TRUE(ReadPageRows(tif.get(), format, first, count, out.data(), step, &scratch_bytes).ok());
                for (int j = 0; j < count; ++j) {
                    for (int c = 0; c < columns; ++c)
                        ASSERT_EQ(out[j * step + c], page[(first + j) * columns + c])
                            << layout.rows_per_strip << " " << layout.tile << " rows " << first << "+" << count;
                    for (std::size_t c = columns; c < step; ++c) ASSERT_EQ(out[j * step + c], -1);
                }
            }
        }
    }
}

// Peak resident memory of this process so far, in KiB.
long PeakKib() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(TiffPages, AStripThatClaimsGigabytesCostsWhatItHolds) {
    // One deflated strip said to decode to 16384 x 16384 floats (1 GiB),
    // holding 8 bytes: the read fails, and the room made for the strip is
    // never filled in advance.
    Scratch scratch;
    TIFF *lie = TIFFOpen(scratch.Path("lie.tif").c_str(), "w");
    ASSERT_NE(lie, nullptr);
    TIFFSetField(lie, TIFFTAG_IMAGEWIDTH, 16384u);
    TIFFSetField(lie, TIFFTAG_IMAGELENGTH, 16384u);
    TIFFSetField(lie, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(lie, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(lie, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(lie, TIFFTAG_ROWSPERSTRIP, 16384u);
    unsigned char bytes[8] = {0x78, 0x9c, 1, 2, 3, 4, 5, 6};
    TIFFWriteRawStrip(lie, 0, bytes, sizeof bytes);
    TIFFWriteDirectory(lie);
    TIFFClose(lie);

    QuietTiff();
    TiffHandle tif = OpenTiff(scratch.Path("lie.tif").c_str());
    ASSERT_TRUE(tif);
    PageFormat format;
    ASSERT_TRUE(ReadPageFormat(tif.get(), &format).ok());
    std::vector<double> row(16384);
    long before = PeakKib();
    TiffScratch scratch_bytes;
    Status failure = ReadPageRows(tif.get(), format, 0, 1, row.data(), row.size(), &scratch_bytes);
    long grown = PeakKib() - before;
    EXPECT_EQ(failure.message, "data read error.");
    EXPECT_LT(grown, 256 * 1024) << "KiB";
    // Only the row asked for is decoded, so only its room is taken (an
    // address space of gigabytes fails outright under a sanitizer).
    EXPECT_LE(scratch_bytes.size(), 16384u * 4u);
}

TEST(TiffPages, AnUncompressedPieceDeclaredShortIsAReadError) {
    // libtiff reads an uncompressed strip or tile by its decoded size, so a
    // piece whose byte count is short would take the bytes after it (here
    // the next piece) as samples.
    Scratch scratch;
    for (bool tiled : {false, true}) {
        TIFF *tif = TIFFOpen(scratch.Path("short.tif").c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 32u);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        if (tiled) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16u);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, 16u);
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16u);
        }
        std::vector<std::uint16_t> piece(16 * 16, 500);
        if (tiled) {
            TIFFWriteRawTile(tif, 0, piece.data(), 4);
            TIFFWriteRawTile(tif, 1, piece.data(), 512);
        } else {
            TIFFWriteRawStrip(tif, 0, piece.data(), 4);
            TIFFWriteRawStrip(tif, 1, piece.data(), 512);
        }
        TIFFWriteDirectory(tif);
        TIFFClose(tif);

        QuietTiff();
        TiffHandle in = OpenTiff(scratch.Path("short.tif").c_str());
        ASSERT_TRUE(in);
        PageFormat format;
        ASSERT_TRUE(ReadPageFormat(in.get(), &format).ok());
        std::vector<double> rows(32 * 16);
        TiffScratch scratch_bytes;
        EXPECT_TRUE(ReadPageRows(in.get(), format, 16, 16, rows.data(), 16, &scratch_bytes).ok()) << tiled;
        EXPECT_EQ(rows[255], 500) << tiled;
        EXPECT_EQ(ReadPageRows(in.get(), format, 0, 1, rows.data(), 16, &scratch_bytes).message, "data read error.")
            << tiled;
    }
}

// A page of 7 x 6 doubles in two strips of 3 rows, as bytes.
std::string TwoStripPage() {
    Scratch scratch;
    std::vector<double> page(7 * 6);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<double>(i);
    EXPECT_TRUE(WriteTiff(scratch.Path("p.tif"), {page, page}, 7, 6, SampleKind::kF64, TiffLayout{3}));
    return scratch.Read("p.tif");
}

// CheckPieces on the first page of a TIFF in memory.
std::string PiecesMessage(const std::string &bytes) {
    QuietTiff();
    TiffBytes tiff{std::vector<unsigned char>(bytes.begin(), bytes.end()), 0};
    TiffHandle tif = OpenTiffBytes(&tiff);
    if (!tif) return "not opened";
    RawTiff raw{-1, tiff.bytes.data(), tiff.bytes.size()};
    return CheckPieces(tif.get(), ReadTiffStructure(raw)).message;
}

TEST(TiffStructure, HeaderDirectoriesAndOutOfLineValues) {
    std::string bytes = TwoStripPage();
    RawTiff raw{-1, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size()};
    TiffStructure structure = ReadTiffStructure(raw);
    EXPECT_EQ(structure.size, bytes.size());
    // What the structure must hold, from the file's own entries: the
    // header, both directories (2 + 12 n + 4 bytes) and, out of line, the
    // two strips' offsets and byte counts (two LONGs each).
    std::vector<std::pair<std::uint64_t, std::uint64_t>> expected = {{0, 8}};
    for (int page = 0; page < 2; ++page) {
        std::uint64_t at = DirectoryOffsets(bytes)[page];
        std::uint64_t entries = static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
        expected.push_back({at, at + 2 + 12 * entries + 4});
        for (int tag : {273, 279}) {
            std::uint64_t values = TagValueOffset(bytes, page, tag, 0);
            expected.push_back({values, values + 8});
        }
    }
    for (const auto &range : expected) {
        // Every byte of each range is structure, and the byte before the
        // first strip is not.
        bool inside = false;
        for (const ByteRange &r : structure.ranges) inside = inside || (r.begin <= range.first && range.second <= r.end);
        EXPECT_TRUE(inside) << range.first << " " << range.second;
    }
    std::uint64_t first_strip = TagValue(bytes, 0, 273, 0);
    for (const ByteRange &r : structure.ranges) EXPECT_FALSE(r.begin <= first_strip && first_strip < r.end);
}

TEST(TiffStructure, PiecesThatPointIntoTheStructureOrEachOtherAreRefused) {
    const std::string good = TwoStripPage();
    EXPECT_EQ(PiecesMessage(good), "");
    std::uint32_t first = TagValue(good, 0, 273, 0), second = TagValue(good, 0, 273, 1);
    std::uint32_t directory = static_cast<std::uint32_t>(DirectoryOffsets(good)[0]);
    std::uint32_t later_directory = static_cast<std::uint32_t>(DirectoryOffsets(good)[1]);
    const struct {
        int strip;
        std::uint32_t offset;
        const char *message;
    } cases[] = {
        {0, 0, "data read error."},                   // the header
        {1, 4, "data read error."},                   // across the header's end
        {1, directory, "data read error."},           // its own directory
        {0, later_directory + 10, "data read error."},  // the next page's directory
        {1, TagValue(good, 0, 279, 0) + first - 100, "data read error."},  // half over the first strip
        {1, first + 167, "data read error."},         // the first strip's last byte
        {0, second, "data read error."},              // both strips on the same bytes
        {1, first + 168, ""},                         // right after it
    };
    for (const auto &c : cases) {
        std::string bytes = good;
        SetTagValue(&bytes, 0, 273, c.strip, c.offset);
        EXPECT_EQ(PiecesMessage(bytes), c.message) << c.strip << " at " << c.offset;
    }
    // Strips out of order but apart are fine.
    std::string swapped = good;
    SetTagValue(&swapped, 0, 273, 0, second);
    SetTagValue(&swapped, 0, 273, 1, first);
    EXPECT_EQ(PiecesMessage(swapped), "");
    // The out-of-line array of the strips' offsets is structure too.
    std::string into_values = good;
    SetTagValue(&into_values, 0, 273, 1, static_cast<std::uint32_t>(TagValueOffset(good, 0, 273, 0)));
    EXPECT_EQ(PiecesMessage(into_values), "data read error.");
}

// A BigTIFF's directories have 8-byte counts and 20-byte entries.
TEST(TiffStructure, BigTiffDirectoriesToo) {
    Scratch scratch;
    TIFF *tif = TIFFOpen(scratch.Path("big.tif").c_str(), "w8");
    ASSERT_NE(tif, nullptr);
    std::vector<double> page(7 * 6, 1.5);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 7u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 6u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 64);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3u);
    for (int strip = 0; strip < 2; ++strip) TIFFWriteEncodedStrip(tif, strip, page.data() + 21 * strip, 168);
    ASSERT_TRUE(TIFFWriteDirectory(tif));
    TIFFClose(tif);
    std::string bytes = scratch.Read("big.tif");
    auto number = [&](std::uint64_t at, int count) {
        std::uint64_t v = 0;
        for (int i = count - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    ASSERT_EQ(number(2, 2), 43u);
    std::uint64_t directory = number(8, 8), entries = number(directory, 8);
    RawTiff raw{-1, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size()};
    TiffStructure structure = ReadTiffStructure(raw);
    bool header = false, whole = false;
    for (const ByteRange &r : structure.ranges) {
        header = header || (r.begin == 0 && r.end >= 16);
        whole = whole || (r.begin <= directory && directory + 8 + 20 * entries + 8 <= r.end);
    }
    EXPECT_TRUE(header);
    EXPECT_TRUE(whole);
    EXPECT_EQ(PiecesMessage(bytes), "");
    // The second strip's offset, wherever the entry keeps it, moved into
    // the directory.
    for (std::uint64_t e = directory + 8; e < directory + 8 + 20 * entries; e += 20) {
        if (number(e, 2) != 273) continue;
        int size = number(e + 2, 2) == 16 ? 8 : 4;
        std::uint64_t values = 2 * size <= 8 ? e + 12 : number(e + 12, 8);
        for (int i = 0; i < size; ++i) bytes[values + size + i] = static_cast<char>((directory + 4) >> (8 * i));
    }
    EXPECT_EQ(PiecesMessage(bytes), "data read error.");
}

// The in-memory handle's seek, through libtiff's own pointers to it.
TEST(TiffMemory, SeeksFromTheStartTheCurrentPlaceAndTheEnd) {
    const double samples[] = {1, 2, 3, 4, 5, 6};
    std::string bytes = FloatTiff(samples, 3, 2, 64);
    QuietTiff();
    TiffBytes tiff{std::vector<unsigned char>(bytes.begin(), bytes.end()), 0};
    TiffHandle tif = OpenTiffBytes(&tiff);
    ASSERT_TRUE(tif);
    TIFFSeekProc seek = TIFFGetSeekProc(tif.get());
    TIFFReadWriteProc read = TIFFGetReadProc(tif.get());
    thandle_t handle = TIFFClientdata(tif.get());
    const toff_t size = bytes.size();
    unsigned char got[8];
    EXPECT_EQ(seek(handle, 152, SEEK_SET), 152u);
    ASSERT_EQ(read(handle, got, 8), 8);
    EXPECT_EQ(std::memcmp(got, &samples[0], 8), 0);
    // From the place after that read: the third sample.
    EXPECT_EQ(seek(handle, 8, SEEK_CUR), 168u);
    ASSERT_EQ(read(handle, got, 8), 8);
    EXPECT_EQ(std::memcmp(got, &samples[2], 8), 0);
    EXPECT_EQ(seek(handle, 0, SEEK_CUR), 176u);
    // From the end: libtiff asks for 0 (the size); an offset before the end
    // comes as its two's complement.
    EXPECT_EQ(seek(handle, 0, SEEK_END), size);
    EXPECT_EQ(seek(handle, static_cast<toff_t>(-8), SEEK_END), size - 8);
    ASSERT_EQ(read(handle, got, 8), 8);
    EXPECT_EQ(std::memcmp(got, &samples[5], 8), 0);
    // Past the end, as with a file: reads there get nothing.
    EXPECT_EQ(seek(handle, size + 100, SEEK_SET), size + 100);
    EXPECT_EQ(read(handle, got, 8), 0);
}

TEST(Normalise, LineIntegralsAndTheFloor) {
    bool clamped = false;
    EXPECT_EQ(LineIntegral(1.0, &clamped), 0.0);
    EXPECT_DOUBLE_EQ(LineIntegral(std::exp(-2.0), &clamped), 2.0);
    EXPECT_DOUBLE_EQ(LineIntegral(4.0, &clamped), -std::log(4.0));
    EXPECT_FALSE(clamped);
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {0.0, -0.0, -1.0, inf, -inf, std::nan("")}) {
        clamped = false;
        EXPECT_DOUBLE_EQ(LineIntegral(bad, &clamped), -std::log(1e-6)) << bad;
        EXPECT_TRUE(clamped) << bad;
    }
}

TEST(Normalise, BandAgainstFlatAndDark) {
    // Two rows, two views, two columns. Row 0: flat 12, dark 2; row 1:
    // flat 5 and dark 5 in column 1 (a dead pixel).
    double band[] = {7, 12, 3, 2,  //
                     5, 9, 1, 5};
    const double flat[] = {12, 12, 3, 5};
    const double dark[] = {2, 2, 1, 5};
    EXPECT_EQ(NormaliseBand(band, 2, 2, 2, flat, dark), 4);
    EXPECT_DOUBLE_EQ(band[0], std::log(2.0));  // (7 - 2) / 10
    EXPECT_EQ(band[1], 0.0);                   // (12 - 2) / 10
    EXPECT_DOUBLE_EQ(band[2], std::log(10.0));
    EXPECT_DOUBLE_EQ(band[3], -std::log(1e-6));  // 0 / 10
    EXPECT_DOUBLE_EQ(band[4], -std::log(2.0));   // (5 - 1) / 2 = 2
    EXPECT_DOUBLE_EQ(band[5], -std::log(1e-6));  // 4 / 0
    EXPECT_DOUBLE_EQ(band[6], -std::log(1e-6));  // 0 / 2
    EXPECT_DOUBLE_EQ(band[7], -std::log(1e-6));  // 0 / 0

    // No dark: D = 0; no flat: F = 1.
    double plain[] = {0.5, 2};
    EXPECT_EQ(NormaliseBand(plain, 1, 1, 2, nullptr, nullptr), 0);
    EXPECT_DOUBLE_EQ(plain[0], std::log(2.0));
    EXPECT_DOUBLE_EQ(plain[1], -std::log(2.0));
    double flat_only[] = {2, 8};
    const double open[] = {4, 4};
    EXPECT_EQ(NormaliseBand(flat_only, 1, 1, 2, open, nullptr), 0);
    EXPECT_DOUBLE_EQ(flat_only[0], std::log(2.0));
    EXPECT_DOUBLE_EQ(flat_only[1], -std::log(2.0));
}

TEST(Band, RowsWithinTheBudget) {
    // 10 views of 4 columns: (10 + 3) * 4 * 8 = 416 bytes a row.
    EXPECT_EQ(BandRowBytes(10, 4), 416.0);
    EXPECT_EQ(BandRows(416, 10, 4, 100), 1);
    EXPECT_EQ(BandRows(415, 10, 4, 100), 0);
    EXPECT_EQ(BandRows(416 * 7 + 415, 10, 4, 100), 7);
    EXPECT_EQ(BandRows(1e30, 10, 4, 100), 100);
    // 1800 views of 2048 columns in the default 1 GiB: 36 rows.
    EXPECT_EQ(BandRows(kDefaultBudgetMiB * 1048576, 1800, 2048, 2048), 36);
}

// A dataset of 10 images of 10 rows x 12 columns of 2-byte samples in
// chunks of 4 images x 3 rows x 5 columns: 3 chunks across, each 120 bytes.
Images ChunkedImages() {
    Images images{};
    images.hdf5 = true;
    images.h5 = H5Images{"f.h5", "/exchange/data", 10, 10, 12, 4, 3, 5, 2};
    images.images = 10;
    images.rows = 10;
    images.columns = 12;
    return images;
}

TEST(Hdf5Chunks, TheCacheHoldsTheChunksOfOneImagesRows) {
    Images images = ChunkedImages();
    const double set = 3 * 4 * 3 * 5 * 2;  // one row of chunks across: 360 bytes
    EXPECT_EQ(H5ChunkBytes(images.h5, 0, 1), set);
    EXPECT_EQ(H5ChunkBytes(images.h5, 0, 3), set);
    EXPECT_EQ(H5ChunkBytes(images.h5, 2, 2), 2 * set);  // rows 2 and 3
    EXPECT_EQ(H5ChunkBytes(images.h5, 3, 3), set);
    EXPECT_EQ(H5ChunkBytes(images.h5, 9, 1), set);
    EXPECT_EQ(H5ChunkBytes(images.h5, 0, 10), 4 * set);
    // Wherever they start: 1 row, one chunk down; 2 to 4 rows, two; ...
    EXPECT_EQ(H5ChunkBytesAnyRows(images.h5, 1), set);
    EXPECT_EQ(H5ChunkBytesAnyRows(images.h5, 2), 2 * set);
    EXPECT_EQ(H5ChunkBytesAnyRows(images.h5, 4), 2 * set);
    EXPECT_EQ(H5ChunkBytesAnyRows(images.h5, 5), 3 * set);
    EXPECT_EQ(H5ChunkBytesAnyRows(images.h5, 10), 4 * set);  // no more than there are
    EXPECT_EQ(ReadCacheBytes(images, 5), 3 * set);
    // Chunks of one image each, or no chunks: no cache.
    images.h5.chunk_images = 1;
    EXPECT_EQ(H5ChunkBytesAnyRows(images.h5, 5), 0.0);
    images.h5.chunk_images = 0;
    EXPECT_EQ(H5ChunkBytes(images.h5, 0, 5), 0.0);
}

TEST(Hdf5Chunks, BandsLeaveRoomForTheCaches) {
    Images stack = ChunkedImages();
    Images tiff{};
    // 10 views of 12 columns: (10 + 3) * 12 * 8 = 1248 bytes a row.
    EXPECT_EQ(BandRowsWithCaches(1248 * 5, 10, 12, 10, {&tiff, nullptr}), 5);
    // Five rows touch three chunk rows (1080 bytes): four rows and their
    // two chunk rows fit, five do not.
    EXPECT_EQ(BandRowsWithCaches(1248 * 5, 10, 12, 10, {&stack}), 4);
    EXPECT_EQ(BandRowsWithCaches(1248 * 4 + 720, 10, 12, 10, {&stack}), 4);
    EXPECT_EQ(BandRowsWithCaches(1248 * 4 + 719, 10, 12, 10, {&stack}), 3);
    // Flats in the same chunks count again.
    EXPECT_EQ(BandRowsWithCaches(1248 * 4 + 720, 10, 12, 10, {&stack, &stack}), 3);
    EXPECT_EQ(BandRowsWithCaches(1248 + 359, 10, 12, 10, {&stack}), 0);
}

TEST(AnglesFile, ReadsTheViewsAndNamesEachFailure) {
    Scratch scratch;
    // numpy.savetxt's form, a header comment and comments at line ends, one
    // right after a number.
    scratch.Write("good.txt", "# angles\n0.000000000000000000e+00\n4.500000000000000000e+01 # note\n\n90\t-45#right after\n");
    ViewSet views;
    ASSERT_TRUE(ReadAngles(scratch.Path("good.txt").c_str(), 4, &views).ok());
    EXPECT_EQ(views.angles[1], 45 * kPi / 180);
    EXPECT_EQ(views.angles[3], -45 * kPi / 180);
    ReleaseViews(&views);
    struct Case {
        std::string text;
        int count;
        std::string message;  // after "<file>: "
    };
    const Case cases[] = {
        {"0 1 2", 4, "3 angles for 4 views."},
        {"0 1 2 3 4", 4, "5 angles for 4 views."},
        {"", 1, "0 angles for 1 views."},
        {"0 1 x 3", 4, "data read error."},
        {"0 1 2,5 3", 4, "decimal comma in 2,5: angles take a point."},
        {"0 1 2,5x 3", 4, "data read error."},
        {"0 inf 2 3", 4, "bad angle."},
        {"0 nan 2 3", 4, "bad angle."},
    };
    for (const Case &c : cases) {
        scratch.Write("a.txt", c.text);
        std::string name = scratch.Path("a.txt");
        EXPECT_EQ(ReadAngles(name.c_str(), c.count, &views).message, name + ": " + c.message) << c.text;
    }
    std::string missing = scratch.Path("missing.txt");
    EXPECT_EQ(ReadAngles(missing.c_str(), 1, &views).message, missing + ": file not found.");
}

// The unit an angle list's values say: radians for a half or whole turn or
// a limited range packed too close for degrees; any scan in degrees stays
// degrees.
TEST(AnglesFile, RadiansAreToldByTheValuesShape) {
    const double pi = 3.141592653589793;
    auto even = [](int count, double first, double step) {
        std::vector<double> v(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) v[static_cast<std::size_t>(k)] = first + k * step;
        return v;
    };
    std::vector<double> golden(500);
    for (int k = 0; k < 500; ++k) golden[static_cast<std::size_t>(k)] = std::fmod(k * 111.24611797498108, 180.0);
    struct Case {
        const char *name;
        std::vector<double> values;
        const char *span;  // nullptr: degrees
    };
    const Case cases[] = {
        {"0..179 degrees", even(180, 0, 1), nullptr},
        {"0..120 degrees", even(360, 0, 1.0 / 3), nullptr},
        {"golden angle degrees", golden, nullptr},
        {"-60..60 degrees", even(121, -60, 1), nullptr},
        {"4 degrees in 9 views", even(9, 0, 0.5), nullptr},
        {"0.1 radians in 100 views", even(100, 0, 0.001), nullptr},
        {"3 views of a half turn", even(3, 0, pi / 3), nullptr},
        {"7 views over 1 radian", even(7, 0, 1.0 / 6), nullptr},
        {"beyond 2 pi", even(10, 0, 0.7), nullptr},
        {"half turn", even(180, 0, pi / 180), "span about pi"},
        {"whole turn", even(360, 0, pi / 180), "span about 2 pi"},
        {"120 degrees", even(360, 0, pi / 540), "span only 2.08858, 119.667 degrees as radians"},
        {"-60..60 as radians", even(121, -pi / 3, pi / 180), "span only 2.0944, 120 degrees as radians"},
        {"15 degrees in 8 views", even(8, 0, pi / 84), "span only 0.261799, 15 degrees as radians"},
    };
    for (const Case &c : cases) {
        std::string span;
        bool radians = RadiansSpan(c.values.data(), static_cast<int>(c.values.size()), &span);
        EXPECT_EQ(radians, c.span != nullptr) << c.name;
        if (c.span != nullptr) {
            EXPECT_EQ(span, c.span) << c.name;
        }
    }
}

}  // namespace
