// proj_sino's pieces: output names, line integrals and their floor, band
// sizes, sample conversion.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include "band.h"
#include "normalise.h"
#include "pattern.h"
#include "cli/run.h"
#include "cli/tiff_stack.h"
#include "kind.h"
#include "tiff_pages.h"

namespace {

std::string Named(const char *text, int row) {
    NamePattern pattern;
    EXPECT_TRUE(ParsePattern(text, &pattern)) << text;
    return PatternName(pattern, row);
}

TEST(ProjSinoPattern, NamesRowsAsPrintfWould) {
    EXPECT_EQ(Named("slice_%04d.sg", 7), "slice_0007.sg");
    EXPECT_EQ(Named("slice_%04d.sg", 12345), "slice_12345.sg");
    EXPECT_EQ(Named("%d", 0), "0");
    EXPECT_EQ(Named("r%3d", 5), "r  5");
    EXPECT_EQ(Named("100%%_%d.sg", 2), "100%_2.sg");
    EXPECT_EQ(Named("a/%02d/b", 3), "a/03/b");
}

TEST(ProjSinoPattern, RefusesAnyOtherPattern) {
    NamePattern pattern;
    for (const char *text : {"", "slice.sg", "%%d", "%d%d", "%s", "%-4d", "%ld", "%", "a%", "%04", "%.3d",
                             "%1000d"}) {
        EXPECT_FALSE(ParsePattern(text, &pattern)) << text;
    }
}

TEST(ProjSinoNormalise, LineIntegralsAndTheFloor) {
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

TEST(ProjSinoNormalise, BandAgainstFlatAndDark) {
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
    EXPECT_DOUBLE_EQ(band[4], -std::log(2.0));  // (5 - 1) / 2 = 2
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

TEST(ProjSinoBand, RowsWithinTheBudget) {
    // 10 views of 4 columns: (10 + 3) * 4 * 8 = 416 bytes a row.
    EXPECT_EQ(BandRowBytes(10, 4), 416.0);
    EXPECT_EQ(BandRows(416, 10, 4, 100), 1);
    EXPECT_EQ(BandRows(415, 10, 4, 100), 0);
    EXPECT_EQ(BandRows(416 * 7 + 415, 10, 4, 100), 7);
    EXPECT_EQ(BandRows(1e30, 10, 4, 100), 100);
    // 1800 views of 2048 columns in the default 1 GiB: 36 rows.
    EXPECT_EQ(BandRows(kDefaultBudgetMiB * 1048576, 1800, 2048, 2048), 36);
}

TEST(ProjSinoTiff, SamplesBecomeDoublesExactly) {
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
TEST(ProjSinoTiff, ReadsAnyRowsOfStripsAndTiles) {
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
        ASSERT_TRUE(DirectoryInFile(tif.get()));
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

TEST(ProjSinoTiff, AStripThatClaimsGigabytesCostsWhatItHolds) {
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

TEST(ProjSinoTiff, AnUncompressedPieceDeclaredShortIsAReadError) {
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

}  // namespace
