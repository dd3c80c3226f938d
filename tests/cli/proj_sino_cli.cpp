// proj_sino run as users run it: stacks written with libtiff from known
// sinograms, in every sample format and layout, read back as sinograms of
// line integrals; bands, row ranges, the half turn, clamping; and every
// failure, with no complete-looking sinogram left behind.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hdf5.h>
#include <tiffio.h>

#include "cli/run.h"
#include "cli/tiff_stack.h"

namespace {

// The known sinograms: row r of the detector, view v, column c. Values
// stay well away from 0, so relative comparisons mean something.
double Known(int r, int v, int c) { return 0.05 + 0.1 * r + 0.02 * v + 0.03 * c; }

constexpr int kColumns = 7, kRows = 6, kViews = 8;

using Page = std::vector<double>;

// View v of the stack: I = I0 exp(-p) + D, rounded when `round`.
Page Projection(int v, double i0, double dark, bool round, int views_rows = kRows) {
    Page page(static_cast<std::size_t>(kColumns) * views_rows);
    for (int r = 0; r < views_rows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            double i = i0 * std::exp(-Known(r, v, c)) + dark;
            page[static_cast<std::size_t>(r) * kColumns + c] = round ? std::nearbyint(i) : i;
        }
    return page;
}

Page Flat(double value) { return Page(static_cast<std::size_t>(kColumns) * kRows, value); }

std::vector<Page> Projections(int views, double i0, double dark, bool round) {
    std::vector<Page> pages;
    for (int v = 0; v < views; ++v) pages.push_back(Projection(v, i0, dark, round));
    return pages;
}

// Checks the sinogram of detector row r in `file` against the known one:
// every sample within `tolerance(r, v, c)`.
void ExpectRow(const Scratch &scratch, const std::string &file, int r, int views,
               const std::function<double(int, int, int)> &tolerance) {
    ASSERT_TRUE(scratch.Exists(file)) << file;
    int columns = 0, rows = 0;
    std::vector<double> samples = SinogramSamples(scratch.Read(file), &columns, &rows);
    ASSERT_EQ(columns, kColumns) << file;
    ASSERT_EQ(rows, views) << file;
    ASSERT_EQ(samples.size(), static_cast<std::size_t>(kColumns) * views) << file;
    for (int v = 0; v < views; ++v)
        for (int c = 0; c < kColumns; ++c)
            EXPECT_NEAR(samples[static_cast<std::size_t>(v) * kColumns + c], Known(r, v, c), tolerance(r, v, c))
                << file << " view " << v << " column " << c;
}

// The name a pattern gives a row, formed here with printf itself.
std::string Name(int row, const char *pattern = "slice_%04d.sg") {
    char name[64];
    std::snprintf(name, sizeof name, pattern, row);
    return name;
}

RunResult ProjSino(const Scratch &scratch, const std::string &args) {
    return scratch.Run("\"$BIN/proj_sino\" " + args);
}

TEST(ProjSinoCli, DoublePagesWithFlatsAndDarksGiveTheKnownSinograms) {
    Scratch scratch;
    const double i0 = 1000, dark = 10;
    // Two flats and two darks whose means are exactly I0 + D and D.
    ASSERT_TRUE(WriteTiff(scratch.Path("stack.tif"), Projections(kViews, i0, dark, false), kColumns, kRows,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("flat.tif"), {Flat(i0 + dark + 3), Flat(i0 + dark - 3)}, kColumns, kRows,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("dark_a.tif"), {Flat(dark + 0.5)}, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("dark_b.tif"), {Flat(dark - 0.5)}, kColumns, kRows, SampleKind::kF64));
    RunResult r = ProjSino(scratch, "-f flat.tif -d dark_a.tif -d dark_b.tif stack.tif slice_%04d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    for (int row = 0; row < kRows; ++row)
        ExpectRow(scratch, Name(row), row, kViews, [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
    EXPECT_FALSE(scratch.Exists(Name(kRows)));
}

// 16-bit counts: a count is off by at most 1/2, so a line integral by at
// most 0.5 / (I - D) (and the flat's, 0.5 / (F - D), which is exact here).
TEST(ProjSinoCli, SixteenBitFilesInTilesAreWithinTheQuantisation) {
    for (int compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
        Scratch scratch;
        const double i0 = 60000, dark = 100;
        std::string names;
        for (int v = 0; v < kViews; ++v) {
            std::string name = Name(v, "p%d.tif");
            ASSERT_TRUE(WriteTiff(scratch.Path(name), {Projection(v, i0, dark, true)}, kColumns, kRows,
                                  SampleKind::kU16, TiffLayout{0, 16, compression}));
            names += " " + name;
        }
        ASSERT_TRUE(WriteTiff(scratch.Path("flat.tif"), {Flat(i0 + dark)}, kColumns, kRows, SampleKind::kU16));
        ASSERT_TRUE(WriteTiff(scratch.Path("dark.tif"), {Flat(dark)}, kColumns, kRows, SampleKind::kU16));
        RunResult r = ProjSino(scratch, "-f flat.tif -d dark.tif" + names + " slice_%04d.sg");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (int row = 0; row < kRows; ++row)
            ExpectRow(scratch, Name(row), row, kViews,
                      [&](int r, int v, int c) { return 0.5 / (i0 * std::exp(-Known(r, v, c)) - 0.5) * 1.0001; });
    }
}

// Floats: each stored sample is the double rounded to 24 bits; line
// integrals are within a few float roundings of the known ones.
TEST(ProjSinoCli, FloatStripsInSmallBandsAndARowRange) {
    Scratch scratch;
    const double i0 = 5, dark = 0.25;
    ASSERT_TRUE(WriteTiff(scratch.Path("stack.tif"), Projections(kViews, i0, dark, false), kColumns, kRows,
                          SampleKind::kF32, TiffLayout{4}));
    ASSERT_TRUE(WriteTiff(scratch.Path("flat.tif"), {Flat(i0 + dark)}, kColumns, kRows, SampleKind::kF32));
    ASSERT_TRUE(WriteTiff(scratch.Path("dark.tif"), {Flat(dark)}, kColumns, kRows, SampleKind::kF32));
    // One band row takes (8 + 3) * 7 * 8 = 616 bytes: a budget of 1300
    // bytes makes bands of two rows; rows 1 ... 4 cross a strip boundary.
    std::string budget = std::to_string(1300.0 / 1048576.0);
    RunResult r = ProjSino(scratch, "-m " + budget + " -r 1,4 -f flat.tif -d dark.tif stack.tif out%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(scratch.Exists("out0.sg"));
    EXPECT_FALSE(scratch.Exists("out5.sg"));
    for (int row = 1; row <= 4; ++row)
        ExpectRow(scratch, Name(row, "out%d.sg"), row, kViews, [&](int r, int v, int c) {
            double i = i0 * std::exp(-Known(r, v, c));
            return 4 * 0x1p-24 * (i + 2 * dark + i0) / i;
        });
    // A range past the last row is cut there.
    r = ProjSino(scratch, "-r 5,100 -f flat.tif -d dark.tif stack.tif end%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Exists("end5.sg"));
    EXPECT_FALSE(scratch.Exists("end4.sg"));
}

// The same floats, compared with the line integrals of the stored floats
// themselves: the program adds no error of its own beyond 1e-12.
TEST(ProjSinoCli, FloatStackAddsNoErrorOfItsOwn) {
    Scratch scratch;
    const double i0 = 5;
    std::vector<Page> pages = Projections(kViews, i0, 0, false);
    ASSERT_TRUE(WriteTiff(scratch.Path("stack.tif"), pages, kColumns, kRows, SampleKind::kF32));
    ASSERT_TRUE(WriteTiff(scratch.Path("flat.tif"), {Flat(i0)}, kColumns, kRows, SampleKind::kF32));
    RunResult r = ProjSino(scratch, "-f flat.tif stack.tif s%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int row = 0; row < kRows; ++row) {
        int columns = 0, rows = 0;
        std::vector<double> samples = SinogramSamples(scratch.Read(Name(row, "s%d.sg")), &columns, &rows);
        ASSERT_EQ(samples.size(), static_cast<std::size_t>(kColumns) * kViews);
        for (int v = 0; v < kViews; ++v)
            for (int c = 0; c < kColumns; ++c) {
                double stored = static_cast<float>(pages[v][static_cast<std::size_t>(row) * kColumns + c]);
                double expected = -std::log(stored / i0);
                EXPECT_NEAR(samples[static_cast<std::size_t>(v) * kColumns + c], expected, 1e-12 * expected);
            }
    }
}

TEST(ProjSinoCli, UnsignedBytesAndWordsWithoutFlats) {
    Scratch scratch;
    // Bytes as normalised intensities: -ln(I); a zero is clamped to the
    // floor 1e-6 and counted.
    Page bytes(static_cast<std::size_t>(kColumns) * kRows, 1);
    bytes[3] = 0;
    bytes[4] = 255;
    ASSERT_TRUE(WriteTiff(scratch.Path("b.tif"), {bytes, bytes}, kColumns, kRows, SampleKind::kU8));
    RunResult r = ProjSino(scratch, "b.tif b%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "2 samples clamped.\n");
    int columns = 0, rows = 0;
    std::vector<double> row0 = SinogramSamples(scratch.Read("b0.sg"), &columns, &rows);
    ASSERT_EQ(row0.size(), static_cast<std::size_t>(2 * kColumns));
    EXPECT_EQ(row0[0], 0.0);
    EXPECT_DOUBLE_EQ(row0[3], -std::log(1e-6));
    EXPECT_DOUBLE_EQ(row0[4], -std::log(255.0));
    EXPECT_EQ(row0[kColumns + 3], row0[3]);
    // Strict: the same stack fails and leaves nothing.
    r = ProjSino(scratch, "-s b.tif strict%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ratio out of range.\n");
    EXPECT_FALSE(scratch.Exists("strict0.sg"));

    // 32-bit words with a flat beyond 16 bits.
    const double i0 = 3e6;
    ASSERT_TRUE(WriteTiff(scratch.Path("w.tif"), Projections(kViews, i0, 0, true), kColumns, kRows, SampleKind::kU32));
    ASSERT_TRUE(WriteTiff(scratch.Path("wf.tif"), {Flat(i0)}, kColumns, kRows, SampleKind::kU32));
    r = ProjSino(scratch, "-f wf.tif w.tif w%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int row = 0; row < kRows; ++row)
        ExpectRow(scratch, Name(row, "w%d.sg"), row, kViews,
                  [&](int r, int v, int c) { return 0.5 / (i0 * std::exp(-Known(r, v, c)) - 0.5) * 1.0001; });

    // Line integrals already: copied as they are.
    Page p(static_cast<std::size_t>(kColumns) * kRows, -2.5);
    ASSERT_TRUE(WriteTiff(scratch.Path("p.tif"), {p}, kColumns, kRows, SampleKind::kF64));
    r = ProjSino(scratch, "-l -r 0,1 p.tif l%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SinogramSamples(scratch.Read("l0.sg"), &columns, &rows), std::vector<double>(kColumns, -2.5));
}

TEST(ProjSinoCli, HalfTurnKeepsTheFirstHalfAndStandardOutputTakesOneRow) {
    Scratch scratch;
    const double i0 = 100;
    ASSERT_TRUE(WriteTiff(scratch.Path("full.tif"), Projections(2 * kViews, i0, 0, false), kColumns, kRows,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("flat.tif"), {Flat(i0)}, kColumns, kRows, SampleKind::kF64));
    RunResult r = ProjSino(scratch, "-t -f flat.tif full.tif h%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int row = 0; row < kRows; ++row)
        ExpectRow(scratch, Name(row, "h%d.sg"), row, kViews,
                  [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
    r = ProjSino(scratch, "-r 2,1 -f flat.tif full.tif - > two.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectRow(scratch, "two.sg", 2, 2 * kViews, [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
}

struct Failure {
    const char *args;
    const char *message;
};

// A scratch folder with good inputs and a few bad ones, for the failures.
void WriteInputs(const Scratch &scratch) {
    std::vector<Page> pages = Projections(kViews, 100, 0, false);
    ASSERT_TRUE(WriteTiff(scratch.Path("s.tif"), pages, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("odd.tif"), {pages[0]}, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("wide.tif"), {Page((kColumns + 1) * kRows, 100)}, kColumns + 1, kRows,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("short.tif"), {Page(kColumns * (kRows - 1), 100)}, kColumns, kRows - 1,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("signed.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kS16));
    ASSERT_TRUE(WriteTiff(scratch.Path("rgb.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kU8,
                          TiffLayout{0, 0, COMPRESSION_NONE, 3}));
    // A page that claims 2147483647 x 2147483647 bytes and holds one.
    TIFF *huge = TIFFOpen(scratch.Path("huge.tif").c_str(), "w");
    ASSERT_NE(huge, nullptr);
    TIFFSetField(huge, TIFFTAG_IMAGEWIDTH, 2147483647u);
    TIFFSetField(huge, TIFFTAG_IMAGELENGTH, 2147483647u);
    TIFFSetField(huge, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(huge, TIFFTAG_ROWSPERSTRIP, 2147483647u);
    unsigned char byte = 0;
    TIFFWriteRawStrip(huge, 0, &byte, 1);
    TIFFWriteDirectory(huge);
    TIFFClose(huge);
    std::string whole = scratch.Read("s.tif");
    scratch.Write("cut.tif", whole.substr(0, whole.size() / 2));
    scratch.Write("header.tif", whole.substr(0, 6));
    scratch.Write("text.txt", "8\t8\n");
}

TEST(ProjSinoCli, EveryFailureHasItsMessageAndLeavesNoSinogram) {
    const char *usage = "usage : proj_sino [-f FLAT] [-d DARK] [-r FIRST,COUNT] [-m MIB] [-l] [-s] [-t] STACK... PATTERN";
    const Failure cases[] = {
        {"", usage},
        {"s.tif", usage},
        {"-x s.tif o%d.sg", usage},
        {"-f", usage},
        {"-f f.tif s.tif", usage},
        {"-m 0 s.tif o%d.sg", "bad memory budget."},
        {"-m -1 s.tif o%d.sg", "bad memory budget."},
        {"-m nan s.tif o%d.sg", "bad memory budget."},
        {"-m inf s.tif o%d.sg", "bad memory budget."},
        {"-r 3 s.tif o%d.sg", "bad row range."},
        {"-r -1,2 s.tif o%d.sg", "bad row range."},
        {"-r 0,0 s.tif o%d.sg", "bad row range."},
        {"-r 6,1 s.tif o%d.sg", "bad row range."},
        {"s.tif o.sg", "bad output pattern."},
        {"s.tif o%d_%d.sg", "bad output pattern."},
        {"s.tif o%s.sg", "bad output pattern."},
        {"s.tif o%", "bad output pattern."},
        {"s.tif o%-4d", "bad output pattern."},
        {"-l -f f.tif s.tif o%d.sg", "line integrals take no flats or darks."},
        {"-d f.tif s.tif o%d.sg", "darks need flats."},
        {"missing.tif o%d.sg", "missing.tif: file not found."},
        {"text.txt o%d.sg", "text.txt: not a tiff file."},
        {"cut.tif o%d.sg", "cut.tif: data read error."},
        {"header.tif o%d.sg", "header.tif: data read error."},
        {"s.tif wide.tif o%d.sg", "wide.tif: sizes differ."},
        {"-f short.tif s.tif o%d.sg", "short.tif: sizes differ."},
        {"-f f.tif -d wide.tif s.tif o%d.sg", "wide.tif: sizes differ."},
        {"-f f.tif -d cut.tif s.tif o%d.sg", "cut.tif: data read error."},
        {"signed.tif o%d.sg", "signed.tif: unsupported sample format."},
        {"s.tif rgb.tif o%d.sg", "rgb.tif: unsupported sample format."},
        {"-t odd.tif o%d.sg", "odd number of views for a full turn."},
        {"-m 0.0001 s.tif o%d.sg", "memory budget too small."},
        {"huge.tif o%d.sg", "memory budget too small."},
        {"-m 1e30 huge.tif o%d.sg", "memory allocation error."},
        {"s.tif no/such/dir/o%d.sg", "no/such/dir/o0.sg: file not open."},
        {"-r 0,1 s.tif - >/dev/full", "data write error."},
        {"-r 0,1 s.tif - 1<>s.tif", "output is an input."},
        {"-r 0,1 -f f.tif s.tif - >>f.tif", "output is an input."},
        {"-r 0,1 s.tif - >&-", "data write error."},
        {"s.tif s%c.tif", "bad output pattern."},
    };
    for (const Failure &c : cases) {
        Scratch scratch;
        WriteInputs(scratch);
        RunResult r = ProjSino(scratch, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_FALSE(scratch.Exists("o0.sg")) << c.args;
    }
}

TEST(ProjSinoCli, AFailureAfterSomeBandsRemovesTheirSinograms) {
    Scratch scratch;
    WriteInputs(scratch);
    // Row 4 would overwrite an input: rows 0 ... 3, written in bands of one
    // row, are removed again.
    ASSERT_TRUE(WriteTiff(scratch.Path("o4.sg"), {Flat(100)}, kColumns, kRows, SampleKind::kF64));
    std::string budget = std::to_string(700.0 / 1048576.0);
    RunResult r = ProjSino(scratch, "-m " + budget + " -f o4.sg s.tif o%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "o4.sg: output is an input.\n");
    for (int row = 0; row < kRows; ++row) EXPECT_FALSE(scratch.Exists(Name(row)));
    for (int row = 0; row < 4; ++row) EXPECT_FALSE(scratch.Exists(Name(row, "o%d.sg")));
    EXPECT_TRUE(scratch.Exists("o4.sg"));

    // A full disk on row 2 (a link to /dev/full): rows 0 and 1 are removed.
    ASSERT_EQ(std::system(("ln -s /dev/full " + scratch.Path("d2.sg")).c_str()), 0);
    r = ProjSino(scratch, "-m " + budget + " s.tif d%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "d2.sg: data write error.\n");
    EXPECT_FALSE(scratch.Exists("d0.sg"));
    EXPECT_FALSE(scratch.Exists("d1.sg"));
    EXPECT_FALSE(scratch.Exists("d3.sg"));
}

// A strip that cannot be decoded is found only when its band is read: the
// sinograms of the bands before it are removed.
TEST(ProjSinoCli, ABrokenStripInALaterBandRemovesEarlierSinograms) {
    Scratch scratch;
    ASSERT_TRUE(WriteTiff(scratch.Path("z.tif"), Projections(kViews, 100, 0, false), kColumns, kRows,
                          SampleKind::kF64, TiffLayout{1, 0, COMPRESSION_ADOBE_DEFLATE}));
    // Overwrite the last strip of the last page with bytes zlib refuses.
    TIFF *tif = TIFFOpen(scratch.Path("z.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    ASSERT_TRUE(TIFFSetDirectory(tif, kViews - 1));
    toff_t *offsets = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets));
    toff_t last = offsets[kRows - 1];
    TIFFClose(tif);
    std::string bytes = scratch.Read("z.tif");
    for (int i = 0; i < 8; ++i) bytes[last + i] = static_cast<char>(0xff);
    scratch.Write("z.tif", bytes);
    std::string budget = std::to_string(700.0 / 1048576.0);
    RunResult r = ProjSino(scratch, "-m " + budget + " z.tif z%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z.tif: data read error.\n");
    for (int row = 0; row < kRows; ++row) EXPECT_FALSE(scratch.Exists(Name(row, "z%d.sg")));
    // The rows before the broken strip alone are fine.
    r = ProjSino(scratch, "-r 0,5 z.tif z%d.sg");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Exists("z4.sg"));
}

}  // namespace

// HDF5 files in the Data Exchange layout, written with the HDF5 library.
namespace {

struct Dataset {
    const char *name;  // under /exchange
    hid_t type;        // the file's sample type
    int images, rows, columns;
    std::vector<double> values;  // already rounded for integer types
    int rank = 3;
};

bool WriteH5(const std::string &path, const std::vector<Dataset> &datasets, bool chunked = false) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file < 0) return false;
    hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    bool ok = group >= 0;
    for (const Dataset &d : datasets) {
        hsize_t dims[3] = {static_cast<hsize_t>(d.images), static_cast<hsize_t>(d.rows),
                           static_cast<hsize_t>(d.columns)};
        const hsize_t *shape = d.rank == 3 ? dims : dims + 1;
        hid_t space = H5Screate_simple(d.rank, shape, nullptr);
        hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
        if (chunked && d.rank == 3) {
            hsize_t chunk[3] = {1, 2, static_cast<hsize_t>(d.columns)};
            H5Pset_chunk(properties, 3, chunk);
            if (H5Zfilter_avail(H5Z_FILTER_DEFLATE) > 0) H5Pset_deflate(properties, 6);
        }
        hid_t set = H5Dcreate2(group, d.name, d.type, space, H5P_DEFAULT, properties, H5P_DEFAULT);
        ok = ok && set >= 0 && H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, d.values.data()) >= 0;
        H5Dclose(set);
        H5Pclose(properties);
        H5Sclose(space);
    }
    H5Gclose(group);
    return H5Fclose(file) >= 0 && ok;
}

std::vector<double> Joined(const std::vector<Page> &pages) {
    std::vector<double> all;
    for (const Page &p : pages) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(ProjSinoCli, Hdf5DoublesWithWhitesAndDarksGiveTheKnownSinograms) {
    Scratch scratch;
    const double i0 = 1000, dark = 10;
    ASSERT_TRUE(WriteH5(scratch.Path("scan.h5"),
                        {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns,
                          Joined(Projections(kViews, i0, dark, false))},
                         {"data_white", H5T_IEEE_F64LE, 2, kRows, kColumns,
                          Joined({Flat(i0 + dark + 3), Flat(i0 + dark - 3)})},
                         {"data_dark", H5T_IEEE_F64LE, 2, kRows, kColumns,
                          Joined({Flat(dark + 0.5), Flat(dark - 0.5)})}}));
    RunResult r = ProjSino(scratch, "scan.h5 slice_%04d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (int row = 0; row < kRows; ++row)
        ExpectRow(scratch, Name(row), row, kViews, [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
}

TEST(ProjSinoCli, Hdf5SixteenBitChunksInBandsAreWithinTheQuantisation) {
    Scratch scratch;
    const double i0 = 60000, dark = 100;
    ASSERT_TRUE(WriteH5(scratch.Path("scan.h5"),
                        {{"data", H5T_STD_U16LE, 2 * kViews, kRows, kColumns,
                          Joined(Projections(2 * kViews, i0, dark, true))},
                         {"data_white", H5T_STD_U16LE, 1, kRows, kColumns, Flat(i0 + dark)},
                         {"data_dark", H5T_STD_U16LE, 1, kRows, kColumns, Flat(dark)}},
                        true));
    // Bands of one row, rows 1 ... 3, the first half of a full turn.
    std::string budget = std::to_string(700.0 / 1048576.0);
    RunResult r = ProjSino(scratch, "-t -m " + budget + " -r 1,3 scan.h5 s%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(scratch.Exists("s0.sg"));
    EXPECT_FALSE(scratch.Exists("s4.sg"));
    for (int row = 1; row <= 3; ++row)
        ExpectRow(scratch, Name(row, "s%d.sg"), row, kViews,
                  [&](int r, int v, int c) { return 0.5 / (i0 * std::exp(-Known(r, v, c)) - 0.5) * 1.0001; });
    // Line integrals: the whites and darks are not used.
    r = ProjSino(scratch, "-l -r 0,1 scan.h5 l%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    int columns = 0, rows = 0;
    std::vector<double> raw = SinogramSamples(scratch.Read("l0.sg"), &columns, &rows);
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(2 * kViews * kColumns));
    EXPECT_EQ(raw[1], std::nearbyint(i0 * std::exp(-Known(0, 0, 1)) + dark));
}

TEST(ProjSinoCli, Hdf5FailuresHaveTheirMessages) {
    Scratch scratch;
    std::vector<double> data = Joined(Projections(kViews, 100, 0, false));
    ASSERT_TRUE(WriteH5(scratch.Path("good.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data}}));
    ASSERT_TRUE(WriteH5(scratch.Path("none.h5"), {{"data_white", H5T_IEEE_F64LE, 1, kRows, kColumns, Flat(1)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("wide.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data},
                                                  {"data_white", H5T_IEEE_F64LE, 1, kRows - 1, kColumns,
                                                   Page(kColumns * (kRows - 1), 100)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("dark.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data},
                                                  {"data_dark", H5T_IEEE_F64LE, 1, kRows, kColumns, Flat(1)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("signed.h5"), {{"data", H5T_STD_I16LE, 1, kRows, kColumns, Flat(1)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("flat.h5"), {{"data", H5T_IEEE_F64LE, 1, kRows, kColumns, Flat(1), 2}}));
    std::string whole = scratch.Read("good.h5");
    scratch.Write("cut.h5", whole.substr(0, whole.size() / 2));
    ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kF64));
    // A dataset of 8 x 20000 x 20000 floats declared and never written: a
    // few hundred bytes that HDF5 would read as gigabytes of fill value.
    {
        hid_t file = H5Fcreate(scratch.Path("unwritten.h5").c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
        hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        hsize_t dims[3] = {8, 20000, 20000};
        hid_t space = H5Screate_simple(3, dims, nullptr);
        hid_t set = H5Dcreate2(group, "data", H5T_IEEE_F32LE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        ASSERT_GE(set, 0);
        H5Dclose(set);
        H5Sclose(space);
        H5Gclose(group);
        ASSERT_GE(H5Fclose(file), 0);
    }
    const Failure cases[] = {
        {"-r 0,1 unwritten.h5 o%d.sg", "unwritten.h5: data read error."},
        {"none.h5 o%d.sg", "none.h5: no /exchange/data."},
        {"wide.h5 o%d.sg", "wide.h5: sizes differ."},
        {"dark.h5 o%d.sg", "darks need flats."},
        {"signed.h5 o%d.sg", "signed.h5: unsupported sample format."},
        {"flat.h5 o%d.sg", "flat.h5: bad number of pixels."},
        {"cut.h5 o%d.sg", "cut.h5: data read error."},
        {"good.h5 good.h5 o%d.sg", "one hdf5 file at a time."},
        {"-f f.tif good.h5 o%d.sg", "good.h5: flats and darks are in the file."},
    };
    for (const Failure &c : cases) {
        RunResult r = ProjSino(scratch, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.args;
        EXPECT_FALSE(scratch.Exists("o0.sg")) << c.args;
    }
    // An empty file with an HDF5 name is not one: the TIFF reader says so.
    scratch.Write("empty.h5", "");
    RunResult r = ProjSino(scratch, "empty.h5 o%d.sg");
    EXPECT_EQ(r.err, "empty.h5: not a tiff file.\n");
}

}  // namespace
