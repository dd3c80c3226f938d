// sino_tiff run as users run it: round trips through 64-bit TIFF byte for
// byte and through 32-bit within float precision, TIFFs from other writers
// (16-bit, tiles, compression), pipes, and every failure.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tiffio.h>

#include "cli/run.h"
#include "cli/tiff_stack.h"

namespace {

RunResult SinoTiff(const Scratch &scratch, const std::string &args) {
    return scratch.Run("\"$BIN/sino_tiff\" " + args);
}

// A sinogram with awkward values: tiny, huge, negative zero, not finite.
std::vector<double> Awkward() {
    return {0.1, -2.5, 1e-310, 1e300, -0.0, 3.0, NAN, INFINITY, -INFINITY, 1.0 / 3, 7e-46, 65504.0};
}

TEST(SinoTiffCli, SixtyFourBitRoundTripIsByteExact) {
    Scratch scratch;
    std::vector<double> s = Awkward();
    scratch.Write("in.sg", SinogramBytes(4, 3, s.data()));
    RunResult r = SinoTiff(scratch, "in.sg 64 out.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = SinoTiff(scratch, "out.tif back.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(scratch.Read("back.sg"), scratch.Read("in.sg"));
    // Through pipes both ways, and a phantom from disk_sino.
    r = scratch.Run("\"$BIN/disk_sino\" 101 0 0 30 40 -20 12 - > d.sg && \"$BIN/sino_tiff\" - 64 - < d.sg | "
                    "\"$BIN/sino_tiff\" - - > d2.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(scratch.Read("d2.sg"), scratch.Read("d.sg"));
}

// The tags as stored in the file: readers such as libtiff re-estimate a
// strip byte count that looks wrong, so only the bytes themselves show it.
TEST(SinoTiffCli, TheTagsGiveTheSamplesTheirBytes) {
    Scratch scratch;
    std::vector<double> s = Awkward();
    scratch.Write("in.sg", SinogramBytes(4, 3, s.data()));
    for (int bits : {32, 64}) {
        RunResult r = SinoTiff(scratch, "in.sg " + std::to_string(bits) + " out.tif");
        ASSERT_EQ(r.status, 0) << r.err;
        std::string tiff = scratch.Read("out.tif");
        const std::uint32_t bytes = 4 * 3 * static_cast<std::uint32_t>(bits / 8);
        EXPECT_EQ(TagValue(tiff, 0, 256, 0), 4u) << bits;
        EXPECT_EQ(TagValue(tiff, 0, 257, 0), 3u) << bits;
        EXPECT_EQ(TagValue(tiff, 0, 258, 0), static_cast<std::uint32_t>(bits));
        EXPECT_EQ(TagValue(tiff, 0, 273, 0), 152u) << bits;
        EXPECT_EQ(TagValue(tiff, 0, 278, 0), 3u) << bits;
        EXPECT_EQ(TagValue(tiff, 0, 279, 0), bytes) << bits;
        EXPECT_EQ(tiff.size(), 152u + bytes) << bits;
        EXPECT_EQ(DirectoryOffsets(tiff).size(), 1u) << bits;
    }
}

TEST(SinoTiffCli, ThirtyTwoBitRoundTripRoundsToFloats) {
    Scratch scratch;
    std::vector<double> s = Awkward();
    scratch.Write("in.sg", SinogramBytes(4, 3, s.data()));
    RunResult r = SinoTiff(scratch, "in.sg out.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    r = SinoTiff(scratch, "out.tif back.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    int columns = 0, rows = 0;
    std::vector<double> back = SinogramSamples(scratch.Read("back.sg"), &columns, &rows);
    EXPECT_EQ(columns, 4);
    EXPECT_EQ(rows, 3);
    ASSERT_EQ(back.size(), s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        double expected = static_cast<float>(s[i]);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(back[i])) << i;
        } else {
            EXPECT_EQ(back[i], expected) << i;
            if (std::isfinite(s[i]) && std::fabs(s[i]) > 1e-30 && std::fabs(s[i]) < 1e30) {
                EXPECT_LE(std::fabs(back[i] - s[i]), 0x1p-24 * std::fabs(s[i])) << i;
            }
        }
    }
    // 1e300 is beyond the float range: infinity; 1e-310 and 7e-46 underflow to zero.
    EXPECT_EQ(back[3], INFINITY);
    EXPECT_EQ(back[2], 0.0);
}

TEST(SinoTiffCli, ReadsTiffsFromOtherWriters) {
    const int columns = 19, rows = 21;
    std::vector<double> page(columns * rows);
    for (int i = 0; i < columns * rows; ++i) page[i] = (i * 37) % 65536;
    for (SampleKind kind : {SampleKind::kU8, SampleKind::kU16, SampleKind::kU32, SampleKind::kF32, SampleKind::kF64}) {
        for (TiffLayout layout : {TiffLayout{}, TiffLayout{5, 0, COMPRESSION_LZW}, TiffLayout{0, 16, COMPRESSION_ADOBE_DEFLATE}}) {
            Scratch scratch;
            std::vector<double> stored = page;
            if (kind == SampleKind::kU8)
                for (double &v : stored) v = std::fmod(v, 256);
            // A second page is not read.
            ASSERT_TRUE(WriteTiff(scratch.Path("in.tif"), {stored, page}, columns, rows, kind, layout));
            RunResult r = SinoTiff(scratch, "in.tif out.sg");
            ASSERT_EQ(r.status, 0) << r.err;
            int c = 0, n = 0;
            std::vector<double> back = SinogramSamples(scratch.Read("out.sg"), &c, &n);
            EXPECT_EQ(c, columns);
            EXPECT_EQ(n, rows);
            EXPECT_EQ(back, stored) << static_cast<int>(kind) << " " << layout.rows_per_strip << " " << layout.tile;
            // From standard input too.
            r = scratch.Run("\"$BIN/sino_tiff\" - - < in.tif | cmp - out.sg");
            EXPECT_EQ(r.status, 0) << r.err << r.out;
        }
    }
}

TEST(SinoTiffCli, EveryFailureHasItsMessageAndExitStatus) {
    Scratch tiffs;
    const double two[] = {1, 2};
    const std::string small = SinogramBytes(2, 1, two);
    std::vector<double> page(4 * 3, 1);
    ASSERT_TRUE(WriteTiff(tiffs.Path("t.tif"), {page}, 4, 3, SampleKind::kF32));
    ASSERT_TRUE(WriteTiff(tiffs.Path("s.tif"), {page}, 4, 3, SampleKind::kS16));
    ASSERT_TRUE(WriteTiff(tiffs.Path("z.tif"), {page}, 4, 3, SampleKind::kF64, TiffLayout{1, 0, COMPRESSION_ADOBE_DEFLATE}));
    const std::string tiff = tiffs.Read("t.tif");
    const std::string signed16 = tiffs.Read("s.tif");
    std::string broken = tiffs.Read("z.tif");
    // The first strip's bytes, just after the 8-byte header: garbage for zlib.
    for (int i = 8; i < 16; ++i) broken[i] = static_cast<char>(0xff);
    // The strip pointed into the header, into its directory (followed by a
    // second page), and a second strip over the first one.
    std::string into_header = tiff;
    SetTagValue(&into_header, 0, 273, 0, 2);
    ASSERT_TRUE(WriteTiff(tiffs.Path("two.tif"), {page, page}, 4, 3, SampleKind::kF32));
    std::string into_directory = tiffs.Read("two.tif");
    SetTagValue(&into_directory, 0, 273, 0, static_cast<std::uint32_t>(DirectoryOffsets(into_directory)[0]));
    ASSERT_TRUE(WriteTiff(tiffs.Path("rows.tif"), {page}, 4, 3, SampleKind::kF32, TiffLayout{1}));
    std::string overlap = tiffs.Read("rows.tif");
    SetTagValue(&overlap, 0, 273, 1, TagValue(overlap, 0, 273, 0) + 4);
    const FailureCase cases[] = {
        {{"", "in.txt", "in.txt 32 64 out.txt"}, "", "usage : sino_tiff IN {32|64} OUT"},
        {"in.txt 32 out.txt", tiff, "usage : sino_tiff IN {32|64} OUT"},
        {"in.txt 16 out.txt", small, "bad number of bits."},
        {"in.txt x out.txt", small, "bad number of bits: x."},
        {"in.txt 0x20 out.txt", small, "bad number of bits: 0x20."},
        {"missing.sg out.txt", "", "missing.sg: file not found."},
        {"in.txt out.txt", "", "in.txt: bad number of pixels."},
        {"in.txt out.txt", "0 3\n", "in.txt: bad number of pixels."},
        {"in.txt out.txt", "2 2\n12345678", "in.txt: data read error."},
        {"in.txt 64 out.txt", "65536 8192\n", "in.txt: image too large."},
        {"in.txt out.txt", "II+\n", "in.txt: not a tiff file."},
        {"in.txt out.txt", "Mmm", "in.txt: not a tiff file."},
        // libtiff writes the directory after the samples: these cut it.
        {"in.txt out.txt", tiff.substr(0, tiff.size() - 2), "in.txt: data read error."},
        {"in.txt out.txt", tiff.substr(0, tiff.size() - 20), "in.txt: data read error."},
        {"in.txt out.txt", tiff.substr(0, 8), "in.txt: data read error."},
        {"in.txt out.txt", broken, "in.txt: data read error."},
        {"in.txt out.txt", into_header, "in.txt: data read error."},
        {"in.txt out.txt", into_directory, "in.txt: data read error."},
        {"in.txt out.txt", overlap, "in.txt: data read error."},
        {"in.txt out.txt", signed16, "in.txt: unsupported sample format."},
        {"in.txt no/such/dir/out.txt", tiff, "no/such/dir/out.txt: cannot create (No such file or directory)."},
        {"in.txt /dev/full", tiff, "/dev/full: data write error."},
        {{"in.txt - >/dev/full", "in.txt - >&-"}, tiff, "data write error."},
        // An output name forgotten or mistyped is refused, not replaced: a
        // TIFF replaces only a TIFF of one page, never a projection stack.
        {{"in.txt in.txt", "in.txt 64 in.txt"}, small, "in.txt: output is an input."},
        {"in.txt ./in.txt", tiff, "./in.txt: output is an input."},
        {"in.txt " PNG_FILE("p.tif"), small, "p.tif: exists and is not an image; give the image a new name."},
        {"in.txt $(\"$BIN/phase_stack\" shepp-logan:4 8 2 1e-6,1e-9,0.1,20,1e-6 st.tif; echo st.tif)", small,
         "st.tif: exists and is not an image; give the image a new name."},
        {"in.txt " TIFF_FILE("s.tif"), tiff, "s.tif: exists and is not a sinogram; give the sinogram a new name."},
    };
    ExpectFailures("sino_tiff", cases);
}

TEST(SinoTiffCli, ATiffOrASinogramReplacesOnlyItsOwnKind) {
    Scratch scratch;
    std::vector<double> s = Awkward();
    scratch.Write("x", SinogramBytes(4, 3, s.data()));
    std::string original = scratch.Read("x");
    // The output is never the input; an earlier TIFF, or sinogram, is replaced.
    EXPECT_EQ(SinoTiff(scratch, "x 64 x").status, 1);
    ASSERT_EQ(SinoTiff(scratch, "x 64 x.tif").status, 0);
    ASSERT_EQ(SinoTiff(scratch, "x 32 x.tif").status, 0);
    EXPECT_EQ(SinoTiff(scratch, "x.tif x.tif").status, 1);
    ASSERT_EQ(SinoTiff(scratch, "x 64 x.tif").status, 0);
    ASSERT_EQ(SinoTiff(scratch, "x.tif y").status, 0);
    ASSERT_EQ(SinoTiff(scratch, "x.tif y").status, 0);
    EXPECT_EQ(scratch.Read("x"), original);
    EXPECT_EQ(scratch.Read("y"), original);
}

}  // namespace
