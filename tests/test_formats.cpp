// sino_tiff's writer: the preamble byte by byte, the size limit, and what
// libtiff makes of a written file.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tiffio.h>

#include "cli/run.h"
#include "tiff_write.h"

namespace {

std::uint32_t Get(const unsigned char *at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | at[i];
    return v;
}

TEST(SinoTiffWrite, PreambleHoldsTheTagsInOrder) {
    unsigned char p[kTiffPreamble];
    TiffPreamble(5, 3, 32, p);
    EXPECT_EQ(std::memcmp(p, "II*\0", 4), 0);
    EXPECT_EQ(Get(p + 4, 4), 8u);
    ASSERT_EQ(Get(p + 8, 2), 11u);
    // tag, type, value: width 5, length 3, 32 bits, no compression,
    // black is zero, samples at 152, one sample, 3 rows a strip, 60 bytes,
    // contiguous, IEEE floats.
    const std::uint32_t expected[11][3] = {{256, 4, 5},   {257, 4, 3}, {258, 3, 32}, {259, 3, 1},
                                           {262, 3, 1},   {273, 4, 152}, {277, 3, 1}, {278, 4, 3},
                                           {279, 4, 60},  {284, 3, 1}, {339, 3, 3}};
    for (int i = 0; i < 11; ++i) {
        const unsigned char *e = p + 10 + 12 * i;
        EXPECT_EQ(Get(e, 2), expected[i][0]) << i;
        EXPECT_EQ(Get(e + 2, 2), expected[i][1]) << i;
        EXPECT_EQ(Get(e + 4, 4), 1u) << i;
        EXPECT_EQ(Get(e + 8, expected[i][1] == 3 ? 2 : 4), expected[i][2]) << i;
    }
    EXPECT_EQ(Get(p + 10 + 12 * 11, 4), 0u);  // one page
}

TEST(SinoTiffWrite, ClassicTiffSizeLimit) {
    // 2^32 - 1 bytes in all, preamble included.
    EXPECT_TRUE(FitsClassicTiff(65536, 16383, 32));
    EXPECT_FALSE(FitsClassicTiff(65536, 16384, 32));
    EXPECT_TRUE(FitsClassicTiff(65536, 8191, 64));
    EXPECT_FALSE(FitsClassicTiff(65536, 8192, 64));
    EXPECT_FALSE(FitsClassicTiff(2147483647, 2147483647, 64));
}

TEST(SinoTiffWrite, LibtiffReadsWhatIsWritten) {
    const double samples[] = {0.1, -2, 1e30, 3.5, 1e300, -0.0};
    for (int bits : {32, 64}) {
        char path[] = "/tmp/ct_sino_tiff_XXXXXX";
        int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        FILE *out = fdopen(fd, "wb");
        WriteFloatTiff(out, samples, 3, 2, bits, "data write error.");
        std::fclose(out);
        TIFF *tif = TIFFOpen(path, "r");
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
        std::remove(path);
    }
}

}  // namespace
