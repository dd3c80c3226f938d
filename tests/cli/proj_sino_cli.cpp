// proj_sino run as users run it: stacks written with libtiff from known
// sinograms, in every sample format and layout, read back as sinograms of
// line integrals; bands, row ranges, the half turn, clamping; and every
// failure, with no complete-looking sinogram left behind.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
    EXPECT_EQ(r.err, "2 flats, 2 darks.\n");
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
        EXPECT_EQ(r.err, "1 flat, 1 dark.\n");
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
    EXPECT_EQ(r.err, "1 flat, 1 dark.\n");
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

// Stacks without flats are intensities already normalised.
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

    // Words of counts read without their flat: the line integrals are
    // negative, and the run says why at its end; with -l the counts are
    // far beyond any line integral, and that is said too.
    r = ProjSino(scratch, "w.tif nf%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "warning: many samples are above 1.5 and there are no flats: they were read as transmissions "
                     "(give the flats with -f, or -l for line integrals).\n");
    EXPECT_EQ(ProjSino(scratch, "-l w.tif nl%d.sg").err,
              "warning: nine tenths of the samples are above 50 and -l was given: counts? leave out -l and give the "
              "flats and darks.\n");
    // Line integrals given without -l: as many of them above 1.5 as not.
    Page integrals(static_cast<std::size_t>(kColumns) * kRows, 0.2);
    for (std::size_t i = 0; i < integrals.size(); i += 2) integrals[i] = 2.5;
    ASSERT_TRUE(WriteTiff(scratch.Path("li.tif"), {integrals}, kColumns, kRows, SampleKind::kF64));
    EXPECT_EQ(ProjSino(scratch, "li.tif li%d.sg").err,
              "warning: many samples are above 1.5 and there are no flats: they were read as transmissions "
              "(give the flats with -f, or -l for line integrals).\n");

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

// A budget in MiB for bands of `rows` rows of kViews views (a band row
// takes (8 + 3) * 7 * 8 = 616 bytes), with a little room to spare.
std::string BudgetForRows(int rows) { return std::to_string((616.0 * rows + 100) / 1048576.0); }

TEST(ProjSinoCli, AShortLastBandWritesEveryRow) {
    Scratch scratch;
    const double i0 = 100;
    ASSERT_TRUE(WriteTiff(scratch.Path("s.tif"), Projections(kViews, i0, 0, false), kColumns, kRows, SampleKind::kF64,
                          TiffLayout{4}));
    ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), {Flat(i0)}, kColumns, kRows, SampleKind::kF64));
    // Six rows in bands of four: rows 0 ... 3, then 4 and 5; rows 1 ... 5 in
    // bands of two: the last band has one row.
    RunResult r = ProjSino(scratch, "-m " + BudgetForRows(4) + " -f f.tif s.tif a%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int row = 0; row < kRows; ++row)
        ExpectRow(scratch, Name(row, "a%d.sg"), row, kViews, [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
    r = ProjSino(scratch, "-m " + BudgetForRows(2) + " -r 1,5 -f f.tif s.tif b%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(scratch.Exists("b0.sg"));
    for (int row = 1; row < kRows; ++row)
        ExpectRow(scratch, Name(row, "b%d.sg"), row, kViews, [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
}

// The angles file: one number a line, as numpy.loadtxt reads it.
std::vector<double> Angles(const std::string &text) {
    std::vector<double> angles;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        angles.push_back(std::stod(text.substr(at, end - at)));
        at = end + 1;
    }
    EXPECT_EQ(at, text.size()) << "every line ends with a line feed";
    return angles;
}

TEST(ProjSinoCli, AnglesOfTiffStacksAreEvenOverTheHalfTurn) {
    Scratch scratch;
    ASSERT_TRUE(WriteTiff(scratch.Path("s.tif"), Projections(2 * kViews, 100, 0, false), kColumns, kRows,
                          SampleKind::kF64));
    RunResult r = ProjSino(scratch, "-l -r 0,1 -A angles.txt s.tif o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    // 16 views: k 180 / 16 = 11.25 k degrees, exactly.
    std::vector<double> angles = Angles(scratch.Read("angles.txt"));
    ASSERT_EQ(angles.size(), 16u);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(angles[k], 11.25 * k);
    EXPECT_EQ(scratch.Read("angles.txt").substr(0, 13), "0\n11.25\n22.5\n");
    // The first half of a full turn: the same spacing over 8 views, to
    // standard output after the sinograms' files are written.
    r = ProjSino(scratch, "-t -l -r 0,1 -A - s.tif t%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    angles = Angles(r.out);
    ASSERT_EQ(angles.size(), 8u);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(angles[k], 22.5 * k);
}

}  // namespace

// HDF5 files in the Data Exchange layout, written with the HDF5 library.
namespace {

struct Dataset {
    const char *name;  // under /exchange
    hid_t type;        // the file's sample type
    int images, rows, columns;
    std::vector<double> values;   // already rounded for integer types
    int rank = 3;
    std::vector<hsize_t> chunk{};  // empty: contiguous
    int written = -1;              // images written (all when -1)
};

bool WriteH5(const std::string &path, const std::vector<Dataset> &datasets) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file < 0) return false;
    hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    bool ok = group >= 0;
    for (const Dataset &d : datasets) {
        hsize_t dims[3] = {static_cast<hsize_t>(d.images), static_cast<hsize_t>(d.rows),
                           static_cast<hsize_t>(d.columns)};
        const hsize_t *shape = dims + 3 - d.rank;
        hid_t space = H5Screate_simple(d.rank, shape, nullptr);
        hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
        if (!d.chunk.empty()) {
            H5Pset_chunk(properties, d.rank, d.chunk.data());
            H5Pset_deflate(properties, 6);
        }
        hid_t set = H5Dcreate2(group, d.name, d.type, space, H5P_DEFAULT, properties, H5P_DEFAULT);
        ok = ok && set >= 0;
        if (d.written < 0) {
            ok = ok && H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, d.values.data()) >= 0;
        } else if (d.written > 0) {
            hsize_t start[3] = {0, 0, 0}, count[3] = {static_cast<hsize_t>(d.written), dims[1], dims[2]};
            H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, count, nullptr);
            hid_t memory = H5Screate_simple(3, count, nullptr);
            ok = ok && H5Dwrite(set, H5T_NATIVE_DOUBLE, memory, space, H5P_DEFAULT, d.values.data()) >= 0;
            H5Sclose(memory);
        }
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
    // A file without its flats and darks takes them from TIFF files: the
    // same sinograms.
    ASSERT_TRUE(WriteH5(scratch.Path("bare.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns,
                                                   Joined(Projections(kViews, i0, dark, false))}}));
    ASSERT_TRUE(WriteTiff(scratch.Path("w.tif"), {Flat(i0 + dark + 3), Flat(i0 + dark - 3)}, kColumns, kRows,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("d.tif"), {Flat(dark + 0.5), Flat(dark - 0.5)}, kColumns, kRows,
                          SampleKind::kF64));
    r = ProjSino(scratch, "-f w.tif -d d.tif bare.h5 bare_%04d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "2 flats, 2 darks.\n");
    for (int row = 0; row < kRows; ++row)
        EXPECT_TRUE(scratch.Read(Name(row, "bare_%04d.sg")) == scratch.Read(Name(row))) << row;
}

TEST(ProjSinoCli, Hdf5SixteenBitChunksInBandsAreWithinTheQuantisation) {
    Scratch scratch;
    const double i0 = 60000, dark = 100;
    const std::vector<hsize_t> chunk = {1, 2, kColumns};
    ASSERT_TRUE(WriteH5(scratch.Path("scan.h5"),
                        {{"data", H5T_STD_U16LE, 2 * kViews, kRows, kColumns,
                          Joined(Projections(2 * kViews, i0, dark, true)), 3, chunk},
                         {"data_white", H5T_STD_U16LE, 1, kRows, kColumns, Flat(i0 + dark), 3, chunk},
                         {"data_dark", H5T_STD_U16LE, 1, kRows, kColumns, Flat(dark), 3, chunk}}));
    // Bands of one row, rows 1 ... 3, the first half of a full turn.
    RunResult r = ProjSino(scratch, "-t -m " + BudgetForRows(1) + " -r 1,3 scan.h5 s%d.sg");
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

// Chunks of any shape, read through a cache sized to hold a band's chunks,
// give the sinograms of the same data stored in one piece, byte for byte,
// in bands of every size.
TEST(ProjSinoCli, Hdf5ChunksOfAnyShapeGiveTheSameSinograms) {
    Scratch scratch;
    const int views = 3 * kViews;
    std::vector<double> data = Joined(Projections(views, 1000, 0, true));
    ASSERT_TRUE(WriteH5(scratch.Path("plain.h5"),
                        {{"data", H5T_STD_U16LE, views, kRows, kColumns, data},
                         {"data_white", H5T_STD_U16LE, 3, kRows, kColumns, Joined({Flat(999), Flat(1000), Flat(1001)})}}));
    const std::vector<std::vector<hsize_t>> chunkings = {
        {1, kRows, kColumns},      // one image a chunk
        {views, kRows, kColumns},  // one chunk for all
        {5, 4, 3},                 // none of them aligned
        {views, 1, kColumns},      // one sinogram a chunk
        {2, 2, 2}};
    // A band row takes (24 + 3) * 7 * 8 = 1512 bytes; the cache of the
    // largest chunks (all 24 views) 2016 bytes and their whites' 252: bands
    // of 1 to 3 rows, 2 to 5, and all six.
    for (const char *budget : {"0.0045", "0.0075", "1024"}) {
        RunResult r = ProjSino(scratch, std::string("-m ") + budget + " plain.h5 p%d.sg");
        ASSERT_EQ(r.status, 0) << r.err;
        for (const auto &chunk : chunkings) {
            std::vector<hsize_t> white = {chunk[0] < 3 ? chunk[0] : 3, chunk[1], chunk[2]};
            ASSERT_TRUE(WriteH5(scratch.Path("c.h5"),
                                {{"data", H5T_STD_U16LE, views, kRows, kColumns, data, 3, chunk},
                                 {"data_white", H5T_STD_U16LE, 3, kRows, kColumns,
                                  Joined({Flat(999), Flat(1000), Flat(1001)}), 3, white}}));
            r = ProjSino(scratch, std::string("-m ") + budget + " c.h5 c%d.sg");
            ASSERT_EQ(r.status, 0) << r.err << budget << " " << chunk[0] << " " << chunk[1] << " " << chunk[2];
            for (int row = 0; row < kRows; ++row)
                EXPECT_EQ(scratch.Read(Name(row, "c%d.sg")), scratch.Read(Name(row, "p%d.sg")))
                    << budget << " " << chunk[0] << " " << chunk[1] << " " << chunk[2] << " row " << row;
        }
    }
}

// /exchange/theta as degrees, one per image: a list, or with `columns`
// a table of as many numbers in rows of that many.
bool WriteTheta(const std::string &path, const std::vector<double> &degrees, hsize_t columns = 0) {
    hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
    if (file < 0) return false;
    hsize_t count[2] = {columns > 0 ? degrees.size() / columns : degrees.size(), columns};
    hid_t space = H5Screate_simple(columns > 0 ? 2 : 1, count, nullptr);
    hid_t set = H5Dcreate2(file, "/exchange/theta", H5T_IEEE_F32LE, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    bool ok = set >= 0 && H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, degrees.data()) >= 0;
    H5Dclose(set);
    H5Sclose(space);
    return H5Fclose(file) >= 0 && ok;
}

TEST(ProjSinoCli, Hdf5AnglesComeFromTheta) {
    Scratch scratch;
    // A full turn of 16 views, 0 ... 337.5 degrees, stored as floats.
    const int views = 2 * kViews;
    ASSERT_TRUE(WriteH5(scratch.Path("turn.h5"),
                        {{"data", H5T_IEEE_F64LE, views, kRows, kColumns, Joined(Projections(views, 1, 0, false))}}));
    std::vector<double> theta;
    for (int k = 0; k < views; ++k) theta.push_back(22.5 * k);
    ASSERT_TRUE(WriteTheta(scratch.Path("turn.h5"), theta));
    // Kept whole without -t, its angles written as they are.
    RunResult r = ProjSino(scratch, "-r 0,1 -A a.txt turn.h5 o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Angles(scratch.Read("a.txt")), theta);
    int columns = 0, rows = 0;
    SinogramSamples(scratch.Read("o0.sg"), &columns, &rows);
    EXPECT_EQ(rows, views);
    // With -t, the first half.
    r = ProjSino(scratch, "-t -r 0,1 -A a.txt turn.h5 o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Angles(scratch.Read("a.txt")), std::vector<double>(theta.begin(), theta.begin() + kViews));
    // Without theta, the half turn; theta that does not match is refused.
    ASSERT_TRUE(WriteH5(scratch.Path("plain.h5"),
                        {{"data", H5T_IEEE_F64LE, views, kRows, kColumns, Joined(Projections(views, 1, 0, false))}}));
    r = ProjSino(scratch, "-r 0,1 -A b.txt plain.h5 o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> even = Angles(scratch.Read("b.txt"));
    ASSERT_EQ(even.size(), 16u);
    EXPECT_EQ(even[15], 168.75);
    // Theta in radians over a half turn: told from its values, with a
    // warning, and written in degrees; -u says either unit outright.
    std::vector<double> radians;
    for (int k = 0; k < views; ++k) radians.push_back(k * 3.141592653589793 / views);
    ASSERT_TRUE(WriteH5(scratch.Path("rad.h5"),
                        {{"data", H5T_IEEE_F64LE, views, kRows, kColumns, Joined(Projections(views, 1, 0, false))}}));
    ASSERT_TRUE(WriteTheta(scratch.Path("rad.h5"), radians));
    r = ProjSino(scratch, "-r 0,1 -A c.txt rad.h5 o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "warning: rad.h5: /exchange/theta read as radians (its values span about pi); -u degrees reads "
                     "them as degrees.\n");
    std::vector<double> told = Angles(scratch.Read("c.txt"));
    ASSERT_EQ(told.size(), radians.size());
    // theta is stored as floats.
    for (int k = 0; k < views; ++k) EXPECT_NEAR(told[k], k * 180.0 / views, 1e-5) << k;
    r = ProjSino(scratch, "-r 0,1 -u radians -A d.txt rad.h5 o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(scratch.Read("d.txt"), scratch.Read("c.txt"));
    r = ProjSino(scratch, "-r 0,1 -u degrees -A e.txt rad.h5 o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<double> kept = Angles(scratch.Read("e.txt"));
    ASSERT_EQ(kept.size(), radians.size());
    for (int k = 0; k < views; ++k) EXPECT_EQ(kept[k], static_cast<float>(radians[k])) << k;
    // A full turn in radians is told too; the degrees of turn.h5 never are.
    for (double &angle : radians) angle *= 2;
    ASSERT_TRUE(WriteH5(scratch.Path("rad.h5"),
                        {{"data", H5T_IEEE_F64LE, views, kRows, kColumns, Joined(Projections(views, 1, 0, false))}}));
    ASSERT_TRUE(WriteTheta(scratch.Path("rad.h5"), radians));
    r = ProjSino(scratch, "-r 0,1 -A c.txt rad.h5 o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("span about 2 pi"), std::string::npos) << r.err;
}

// Data Exchange files compressed by the filters beamlines use, as h5py
// writes them (tests/data/make_h5py_files.py): LZF and Blosc, read through
// HDF5's plugins; a filter that cannot be loaded is named.
TEST(ProjSinoCli, CompressedHdf5FromH5pyReadsThroughThePlugins) {
    Scratch scratch;
    for (const char *filter : {"lzf", "blosc"}) {
        std::string file = std::string(CT_SOURCE_DIR) + "/tests/data/h5py_" + filter + ".h5";
        RunResult r = ProjSino(scratch, "-l '" + file + "' o%d.sg");
        ASSERT_EQ(r.status, 0) << filter << ": " << r.err;
        for (int row = 0; row < 3; ++row) {
            int columns = 0, rows = 0;
            std::vector<double> sinogram =
                SinogramSamples(scratch.Read(std::string("o") + std::to_string(row) + ".sg"), &columns, &rows);
            ASSERT_EQ(columns, 16);
            ASSERT_EQ(rows, 8);
            for (int k = 0; k < 8; ++k)
                for (int c = 0; c < 16; ++c) ASSERT_EQ(sinogram[k * 16 + c], 100 * k + 10 * row + c / 2.0) << filter;
        }
    }
    // Plugins switched off: Blosc is loaded only as a plugin.
    RunResult r = scratch.Run(std::string("HDF5_PLUGIN_PRELOAD=:: \"$BIN/proj_sino\" -l '") + CT_SOURCE_DIR +
                              "/tests/data/h5py_blosc.h5' x%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("h5py_blosc.h5: the HDF5 filter blosc (32001) is not available: install its plugin "
                         "(tools/setup.sh installs lzf, blosc, lz4, bitshuffle, bzip2 and zfp) or name its folder "
                         "in HDF5_PLUGIN_PATH.\n"), std::string::npos) << r.err;
    EXPECT_FALSE(scratch.Exists("x0.sg"));
}

// Counts with a few zingers: each replaced by the median of its
// neighbours, counted on standard error beside the zingers removed from
// the flat and the clamped samples.
TEST(ProjSinoCli, ZingersAreReplacedAndCounted) {
    Scratch scratch;
    // About 1000 counts with photon noise (spread 32), one dead sample
    // (clamped), two zingers, one of them in the first view, and a sample
    // two spreads high, which stays; the flat is 1000 with one hot pixel.
    std::mt19937 random(5);
    std::poisson_distribution<int> photons(1000);
    std::vector<Page> pages(kViews, Page(static_cast<std::size_t>(kColumns) * kRows));
    for (Page &page : pages)
        for (double &v : page) v = photons(random);
    pages[3][2 * kColumns + 4] = 20000;
    pages[0][3] = 60000;
    pages[5][kColumns + 1] = 0;
    pages[6][2 * kColumns + 2] += 64;
    double high = pages[6][2 * kColumns + 2];
    Page flat = Flat(1000);
    flat[2 * kColumns + 1] = 5000;
    ASSERT_TRUE(WriteTiff(scratch.Path("z.tif"), pages, kColumns, kRows, SampleKind::kU16));
    ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), {flat}, kColumns, kRows, SampleKind::kU16));
    RunResult r = ProjSino(scratch, "-z 6 -f f.tif z.tif z%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "2 zingers replaced.\n1 zingers removed from the flats.\n1 samples clamped.\n1 flat.\n");
    for (int row : {0, 2}) {
        int columns = 0, rows = 0;
        std::vector<double> s = SinogramSamples(scratch.Read(Name(row, "z%d.sg")), &columns, &rows);
        ASSERT_EQ(s.size(), static_cast<std::size_t>(kViews * kColumns));
        // Photon noise alone: within 5 spreads of 0.
        for (double p : s) EXPECT_LT(std::fabs(p), 0.16) << row;
    }
    EXPECT_DOUBLE_EQ(SamplesAfterHeader(scratch.Read("z2.sg"))[6 * kColumns + 2], -std::log(high / 1000));
    // A dead sample is dark, not bright: it stays and is clamped.
    r = ProjSino(scratch, "-z 6 -r 1,1 -f f.tif z.tif - > one.sg");
    EXPECT_EQ(r.err, "0 zingers replaced.\n0 zingers removed from the flats.\n1 samples clamped.\n1 flat.\n");
    // Without -z the zingers stay: ln(1000 / 20000) in row 2, view 3, and
    // the hot pixel of the flat in every view of row 2, column 1.
    r = ProjSino(scratch, "-r 2,1 -f f.tif z.tif - > two.sg");
    EXPECT_EQ(r.err, "1 flat.\n");
    std::vector<double> two = SamplesAfterHeader(scratch.Read("two.sg"));
    EXPECT_DOUBLE_EQ(two[3 * kColumns + 4], -std::log(20.0));
    EXPECT_GT(two[1], 1.2);
}

struct Failure {
    std::string args;
    const char *message;
};

// A zlib stream's first bytes overwritten: deflate refuses it.
void BreakBytes(std::string *bytes, std::uint64_t at) {
    for (int i = 0; i < 8; ++i) (*bytes)[at + i] = static_cast<char>(0xff);
}

// Odd HDF5 files: datasets not wholly stored in the file, and one broken.
void WriteOddHdf5(const Scratch &scratch) {
    std::vector<double> data = Joined(Projections(kViews, 100, 0, false));
    // 20000 x 2000 x 2000 floats in chunks of 50 x 50, one chunk written:
    // a few kilobytes that would read as 320 GB of zeros.
    std::vector<double> chunk(50 * 50, 1.0);
    hid_t file = H5Fcreate(scratch.Path("huge.h5").c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    hsize_t dims[3] = {20000, 2000, 2000}, extent[3] = {1, 50, 50}, start[3] = {0, 0, 0};
    hid_t space = H5Screate_simple(3, dims, nullptr);
    hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(properties, 3, extent);
    H5Pset_deflate(properties, 6);
    hid_t set = H5Dcreate2(group, "data", H5T_IEEE_F32LE, space, H5P_DEFAULT, properties, H5P_DEFAULT);
    H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, extent, nullptr);
    hid_t memory = H5Screate_simple(3, extent, nullptr);
    ASSERT_GE(H5Dwrite(set, H5T_NATIVE_DOUBLE, memory, space, H5P_DEFAULT, chunk.data()), 0);
    H5Sclose(memory);
    H5Dclose(set);
    H5Pclose(properties);
    H5Sclose(space);
    H5Gclose(group);
    ASSERT_GE(H5Fclose(file), 0);

    // 90 views in a chunk each, 45 of them written.
    ASSERT_TRUE(WriteH5(scratch.Path("half.h5"), {{"data", H5T_STD_U16LE, 90, kRows, kColumns,
                                                   Joined(Projections(45, 100, 0, true)), 3, {1, kRows, kColumns}, 45}}));
    // Declared and never written.
    ASSERT_TRUE(WriteH5(scratch.Path("unwritten.h5"), {{"data", H5T_IEEE_F32LE, 8, 20000, 20000, {}, 3, {}, 0}}));

    // Samples in an external raw file of half the declared length, and a
    // virtual dataset whose source file does not exist.
    for (const char *name : {"external.h5", "virtual.h5"}) {
        file = H5Fcreate(scratch.Path(name).c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
        group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        hsize_t shape[3] = {kViews, kRows, kColumns};
        space = H5Screate_simple(3, shape, nullptr);
        properties = H5Pcreate(H5P_DATASET_CREATE);
        if (std::string(name) == "external.h5") {
            H5Pset_external(properties, "raw.bin", 0, data.size() * 8);
        } else {
            H5Pset_virtual(properties, space, "source.h5", "/data", space);
        }
        set = H5Dcreate2(group, "data", H5T_IEEE_F64LE, space, H5P_DEFAULT, properties, H5P_DEFAULT);
        ASSERT_GE(set, 0) << name;
        H5Dclose(set);
        H5Pclose(properties);
        H5Sclose(space);
        H5Gclose(group);
        ASSERT_GE(H5Fclose(file), 0);
    }
    scratch.Write("raw.bin", std::string(data.size() * 4, '\0'));

    // Chunks of two rows, deflated; the chunk of rows 4 and 5 of the last
    // view overwritten: found only when the band of row 4 is read.
    ASSERT_TRUE(WriteH5(scratch.Path("broken.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data, 3,
                                                     {1, 2, kColumns}}}));
    file = H5Fopen(scratch.Path("broken.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    set = H5Dopen2(file, "/exchange/data", H5P_DEFAULT);
    hsize_t last[3] = {kViews - 1, 4, 0};
    unsigned filters = 0;
    haddr_t address = 0;
    hsize_t size = 0;
    ASSERT_GE(H5Dget_chunk_info_by_coord(set, last, &filters, &address, &size), 0);
    ASSERT_GE(size, 8u);
    H5Dclose(set);
    H5Fclose(file);
    std::string bytes = scratch.Read("broken.h5");
    BreakBytes(&bytes, address);
    scratch.Write("broken.h5", bytes);

    // Theta with one angle too few; as many numbers in a table of two
    // columns; in one column, which is a list.
    ASSERT_TRUE(WriteH5(scratch.Path("theta.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data}}));
    ASSERT_TRUE(WriteTheta(scratch.Path("theta.h5"), std::vector<double>(kViews - 1, 1.0)));
    // Theta with an angle that is not a number.
    std::vector<double> nan_theta(kViews, 1.0);
    nan_theta[3] = NAN;
    ASSERT_TRUE(WriteH5(scratch.Path("nan_theta.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data}}));
    ASSERT_TRUE(WriteTheta(scratch.Path("nan_theta.h5"), nan_theta));
    std::vector<double> even(kViews);
    for (int k = 0; k < kViews; ++k) even[static_cast<std::size_t>(k)] = k * 180.0 / kViews;
    ASSERT_TRUE(WriteH5(scratch.Path("table.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data}}));
    ASSERT_TRUE(WriteTheta(scratch.Path("table.h5"), even, 2));
    ASSERT_TRUE(WriteH5(scratch.Path("column.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data}}));
    ASSERT_TRUE(WriteTheta(scratch.Path("column.h5"), even, 1));
}

// `pages` pages of columns x rows samples of `bits` in strips of
// `strip_rows` rows or in square tiles of side `tile`, each piece holding 8
// bytes: garbage for zlib, or far too few uncompressed.
void WriteLyingPages(const std::string &path, int pages, std::uint32_t columns, std::uint32_t rows, int bits,
                     int compression, std::uint32_t strip_rows, std::uint32_t tile = 0) {
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    unsigned char garbage[8] = {0x78, 0x9c, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, columns);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
        if (bits == 32) TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
        if (tile > 0) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
            for (std::uint32_t t = 0; t < TIFFNumberOfTiles(tif); ++t) TIFFWriteRawTile(tif, t, garbage, 8);
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, strip_rows);
            for (std::uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) TIFFWriteRawStrip(tif, s, garbage, 8);
        }
        ASSERT_TRUE(TIFFWriteDirectory(tif));
    }
    TIFFClose(tif);
}

// A folder of good inputs and bad ones, for the failures.
void WriteInputs(const Scratch &scratch) {
    std::vector<Page> pages = Projections(kViews, 100, 0, false);
    ASSERT_TRUE(WriteTiff(scratch.Path("s.tif"), pages, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("odd.tif"), {pages[0]}, kColumns, kRows, SampleKind::kF64));
    Page dead = Flat(0.5);
    dead[10] = 0;
    ASSERT_TRUE(WriteTiff(scratch.Path("dead.tif"), {dead}, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("o4.sg"), {Flat(100)}, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("wide.tif"), {Page((kColumns + 1) * kRows, 100)}, kColumns + 1, kRows,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("short.tif"), {Page(kColumns * (kRows - 1), 100)}, kColumns, kRows - 1,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("signed.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kS16));
    ASSERT_TRUE(WriteTiff(scratch.Path("rgb.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kU8,
                          TiffLayout{0, 0, COMPRESSION_NONE, 3}));
    // A page that claims 2147483647 x 2147483647 bytes and holds eight.
    WriteLyingPages(scratch.Path("huge.tif"), 1, 2147483647u, 2147483647u, 8, COMPRESSION_ADOBE_DEFLATE, 2147483647u);
    std::string whole = scratch.Read("s.tif");
    scratch.Write("cut.tif", whole.substr(0, whole.size() / 2));
    scratch.Write("header.tif", whole.substr(0, 6));
    scratch.Write("text.txt", "8\t8\n");

    // Strips of the last page pointed into the header, into the first
    // page's directory and over one another; a tile into that directory.
    ASSERT_TRUE(WriteTiff(scratch.Path("strips.tif"), pages, kColumns, kRows, SampleKind::kF64, TiffLayout{3}));
    std::string strips = scratch.Read("strips.tif");
    std::vector<std::uint64_t> directories = DirectoryOffsets(strips);
    std::string bytes = strips;
    SetTagValue(&bytes, kViews - 1, 273, 1, 0);
    scratch.Write("into_header.tif", bytes);
    bytes = strips;
    SetTagValue(&bytes, kViews - 1, 273, 0, static_cast<std::uint32_t>(directories[0]));
    scratch.Write("into_directory.tif", bytes);
    bytes = strips;
    SetTagValue(&bytes, kViews - 1, 273, 1, TagValue(strips, kViews - 1, 273, 0) + 8);
    scratch.Write("overlap.tif", bytes);
    ASSERT_TRUE(WriteTiff(scratch.Path("tiles.tif"), pages, kColumns, kRows, SampleKind::kU16, TiffLayout{0, 16}));
    bytes = scratch.Read("tiles.tif");
    SetTagValue(&bytes, 3, 324, 0, static_cast<std::uint32_t>(DirectoryOffsets(bytes)[0]) + 4);
    scratch.Write("tiles.tif", bytes);
    // A page of width 0, of length 0, of 0 bits a sample; the third page
    // of width 0.
    for (int tag : {256, 257, 258}) {
        bytes = whole;
        SetTagValue(&bytes, 0, tag, 0, 0);
        scratch.Write("zero_" + std::to_string(tag) + ".tif", bytes);
    }
    bytes = whole;
    SetTagValue(&bytes, 2, 256, 0, 0);
    scratch.Write("zero_page.tif", bytes);

    // The last strip of the last page, deflated, overwritten: found only
    // when its band is read.
    ASSERT_TRUE(WriteTiff(scratch.Path("z.tif"), pages, kColumns, kRows, SampleKind::kF64,
                          TiffLayout{1, 0, COMPRESSION_ADOBE_DEFLATE}));
    bytes = scratch.Read("z.tif");
    BreakBytes(&bytes, TagValue(bytes, kViews - 1, 273, kRows - 1));
    scratch.Write("z.tif", bytes);

    std::vector<double> data = Joined(pages);
    ASSERT_TRUE(WriteH5(scratch.Path("good.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data}}));
    ASSERT_TRUE(WriteH5(scratch.Path("none.h5"), {{"data_white", H5T_IEEE_F64LE, 1, kRows, kColumns, Flat(1)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("wide.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data},
                                                  {"data_white", H5T_IEEE_F64LE, 1, kRows - 1, kColumns,
                                                   Page(kColumns * (kRows - 1), 100)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("dark.h5"), {{"data", H5T_IEEE_F64LE, kViews, kRows, kColumns, data},
                                                  {"data_dark", H5T_IEEE_F64LE, 1, kRows, kColumns, Flat(1)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("signed.h5"), {{"data", H5T_STD_I16LE, 1, kRows, kColumns, Flat(1)}}));
    ASSERT_TRUE(WriteH5(scratch.Path("flat.h5"), {{"data", H5T_IEEE_F64LE, 1, kRows, kColumns, Flat(1), 2}}));
    whole = scratch.Read("good.h5");
    scratch.Write("cut.h5", whole.substr(0, whole.size() / 2));
    scratch.Write("empty.h5", "");
    WriteOddHdf5(scratch);

    // A sinogram from an earlier run, which a failure must leave as it is.
    scratch.Write("o1.sg", "an earlier sinogram");
}

// Every file of the folder (a link as its target's name) and its bytes.
std::map<std::string, std::string> Contents(const Scratch &scratch) {
    std::map<std::string, std::string> files;
    DIR *folder = opendir(scratch.dir.c_str());
    while (dirent *entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || name == ".stdin" || name == ".stdout" || name == ".stderr") continue;
        char target[256] = {};
        if (readlink(scratch.Path(name).c_str(), target, sizeof target - 1) > 0) {
            files[name] = std::string("-> ") + target;
        } else {
            files[name] = scratch.Read(name);
        }
    }
    closedir(folder);
    return files;
}

// Several flats by a quoted pattern or repeated -f, counted at the end.
TEST(ProjSinoCli, FlatsAndDarksByPatternAreCounted) {
    Scratch scratch;
    WriteInputs(scratch);
    ASSERT_EQ(scratch.Run("cp f.tif f_1.tif && cp f.tif f_2.tif").status, 0);
    RunResult r = ProjSino(scratch, "-r 0,1 -f 'f_*.tif' -f f.tif s.tif a%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "3 flats.\n");
    r = ProjSino(scratch, "-r 0,1 -f f.tif s.tif b%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "1 flat.\n");
    EXPECT_EQ(scratch.Read("a0.sg"), scratch.Read("b0.sg"));
}

// Each failure: its one line, nothing on standard output, and the folder
// as it was: no sinogram and no temporary file left, the earlier o1.sg
// untouched.
TEST(ProjSinoCli, EveryFailureHasItsMessageAndLeavesTheFolderAsItWas) {
    const std::string usage = std::string(
        "usage : proj_sino [-f FLAT] [-d DARK] [-r FIRST,COUNT] [-m MIB] [-l] [-s] [-t] [-z T] "
        "[-P DELTA_BETA,DISTANCE,ENERGY,PIXEL] [-A ANGLES] [-u UNIT] STACK... PATTERN");
    const std::string one_row = "-m " + BudgetForRows(1);
    const Failure cases[] = {
        {"", usage.c_str()},
        {"s.tif", usage.c_str()},
        {"-x s.tif o%d.sg", "unknown option -x."},
        {"-f", "option -f needs a value (FLAT)."},
        {"-z", "option -z needs a value (T)."},
        {"-f f.tif s.tif", usage.c_str()},
        {"-m 0 s.tif o%d.sg", "bad memory budget."},
        {"-m -1 s.tif o%d.sg", "bad memory budget."},
        {"-m nan s.tif o%d.sg", "bad memory budget."},
        {"-m inf s.tif o%d.sg", "bad memory budget."},
        {"-m 0x100 s.tif o%d.sg", "bad memory budget: 0x100."},
        {"-z 4,5 s.tif o%d.sg", "bad zinger threshold: 4,5."},
        {"-r 3 s.tif o%d.sg", "bad row range: 3 (FIRST,COUNT)."},
        {"-r -1,2 s.tif o%d.sg", "bad row range -1,2: the first row is 0 or more, the count 1 or more."},
        {"-r 0,0 s.tif o%d.sg", "bad row range 0,0: the first row is 0 or more, the count 1 or more."},
        {"-r 1.5,2 s.tif o%d.sg", "bad row range: 1.5,2."},
        {"-r 0x1,2 s.tif o%d.sg", "bad row range: 0x1,2."},
        {"-r 1,2x s.tif o%d.sg", "bad row range: 1,2x."},
        {"-r 6,1 s.tif o%d.sg", "bad row range 6,1: the stack has rows 0 to 5."},
        {"-u grads s.tif o%d.sg", "bad angle unit (degrees or radians)."},
        {"-f 'none_*.tif' s.tif o%d.sg", "none_*.tif: no file matches."},
        {"-f f.tif -d 'd[0-9].tif' s.tif o%d.sg", "d[0-9].tif: no file matches."},
        {"-z 0 s.tif o%d.sg", "bad zinger threshold."},
        {"-z -3 s.tif o%d.sg", "bad zinger threshold."},
        {"-z nan s.tif o%d.sg", "bad zinger threshold."},
        {"-z inf s.tif o%d.sg", "bad zinger threshold."},
        {"s.tif o.sg", "bad output pattern (it needs one %d)."},
        {"s.tif o%d_%d.sg", "bad output pattern (it needs one %d)."},
        {"s.tif o%s.sg", "bad output pattern (it needs one %d)."},
        {"s.tif o%", "bad output pattern (it needs one %d)."},
        {"s.tif o%-4d", "bad output pattern (it needs one %d)."},
        {"s.tif s%c.tif", "bad output pattern (it needs one %d)."},
        // The sinograms under a TIFF name no TIFF reader opens.
        {"s.tif o_%d.tif", "bad output pattern: the sinograms are the toolkit's files, not TIFF (name them .sg; "
                           "sino_tiff makes a TIFF of one)."},
        {"s.tif o_%d.TIFF", "bad output pattern: the sinograms are the toolkit's files, not TIFF (name them .sg; "
                            "sino_tiff makes a TIFF of one)."},
        {"-l -f f.tif s.tif o%d.sg", "line integrals take no flats or darks."},
        {"-d f.tif s.tif o%d.sg", "darks need flats."},
        {"-A - s.tif -", "angles and sinograms both to standard output."},
        {"missing.tif o%d.sg", "missing.tif: file not found."},
        {"text.txt o%d.sg", "text.txt: not a tiff file."},
        {"empty.h5 o%d.sg", "empty.h5: not a tiff file."},
        {"cut.tif o%d.sg", "cut.tif: data read error."},
        {"header.tif o%d.sg", "header.tif: data read error."},
        {"into_header.tif o%d.sg", "into_header.tif: data read error."},
        {"into_directory.tif o%d.sg", "into_directory.tif: data read error."},
        {"overlap.tif o%d.sg", "overlap.tif: data read error."},
        {"tiles.tif o%d.sg", "tiles.tif: data read error."},
        {"s.tif wide.tif o%d.sg", "wide.tif: sizes differ."},
        {"-f short.tif s.tif o%d.sg", "short.tif: sizes differ."},
        {"-f f.tif -d wide.tif s.tif o%d.sg", "wide.tif: sizes differ."},
        {"-f f.tif -d cut.tif s.tif o%d.sg", "cut.tif: data read error."},
        {"signed.tif o%d.sg", "signed.tif: unsupported sample format."},
        {"s.tif rgb.tif o%d.sg", "rgb.tif: unsupported sample format."},
        {"-t odd.tif o%d.sg", "odd number of views for a full turn."},
        {"-m 0.0001 s.tif o%d.sg", "memory budget too small: -m 1 will do."},
        {"huge.tif o%d.sg", "memory budget too small: -m 65536 will do."},
        {"-m 1e30 huge.tif o%d.sg", "memory allocation error."},
        {one_row + " z.tif o%d.sg", "z.tif: data read error."},
        {"-s dead.tif o%d.sg", "ratio out of range."},
        // Flats at or below their darks in every column of a row: the same
        // file twice, the two the wrong way round.
        {"-f f.tif -d f.tif s.tif o%d.sg", "flat at or below the dark in every column of row 0."},
        {"-f dead.tif -d f.tif s.tif o%d.sg", "flat at or below the dark in every column of row 0."},
        {"-r 3,2 -f f.tif -d f.tif s.tif o%d.sg", "flat at or below the dark in every column of row 3."},
        {one_row + " -f o4.sg s.tif o%d.sg", "o4.sg: output is an input."},
        {"-A s.tif s.tif o%d.sg", "s.tif: output is an input."},
        {"s.tif no/such/dir/o%d.sg", "no/such/dir/o0.sg: cannot create (No such file or directory)."},
        {"-A no/such/dir/a.txt s.tif o%d.sg", "no/such/dir/a.txt: cannot create (No such file or directory)."},
        // Two outputs of one run naming one file, however spelled.
        {"-A o1.sg s.tif o%d.sg", "o1.sg: two outputs name this file."},
        {"-A ./o0.sg s.tif o%d.sg", "o0.sg: two outputs name this file."},
        {"-r 0,1 -A o1.sg s.tif - >> o1.sg", "o1.sg: two outputs name this file."},
        {"-A ../$(basename $PWD)/o2.sg s.tif o%d.sg", "o2.sg: two outputs name this file."},
        {"-r 0,1 s.tif - >/dev/full", "data write error."},
        {"-r 0,1 -A - s.tif o%d.sg >/dev/full", "data write error."},
        {"-r 0,1 s.tif - 1<>s.tif", "output is an input."},
        {"-r 0,1 -A - s.tif o%d.sg 1<>s.tif", "output is an input."},
        {"-r 0,1 -f f.tif s.tif - >>f.tif", "output is an input."},
        {"-r 0,1 s.tif - >&-", "data write error."},
        // HDF5: the stack, its flats and darks and its angles.
        {"good.h5 good.h5 o%d.sg", "one hdf5 file at a time."},
        {"-f f.tif wide.h5 o%d.sg", "wide.h5: flats and darks are in the file."},
        {"-f f.tif -d f.tif dark.h5 o%d.sg", "dark.h5: flats and darks are in the file."},
        {"none.h5 o%d.sg", "none.h5: no /exchange/data."},
        {"wide.h5 o%d.sg", "wide.h5: sizes differ."},
        {"dark.h5 o%d.sg", "darks need flats."},
        {"signed.h5 o%d.sg", "signed.h5: unsupported sample format."},
        {"flat.h5 o%d.sg", "flat.h5: bad number of pixels."},
        {"cut.h5 o%d.sg", "cut.h5: data read error."},
        {"-r 0,1 unwritten.h5 o%d.sg", "unwritten.h5: data read error."},
        {"-r 0,1 huge.h5 o%d.sg", "huge.h5: data read error."},
        {"half.h5 o%d.sg", "half.h5: data read error."},
        {"external.h5 o%d.sg", "external.h5: unsupported dataset layout."},
        {"virtual.h5 o%d.sg", "virtual.h5: unsupported dataset layout."},
        {one_row + " broken.h5 o%d.sg", "broken.h5: data read error."},
        {"-A a.txt theta.h5 o%d.sg", "theta.h5: 7 angles in /exchange/theta for 8 views."},
        {"-A a.txt nan_theta.h5 o%d.sg", "nan_theta.h5: bad /exchange/theta."},
        {"-A a.txt table.h5 o%d.sg", "table.h5: bad /exchange/theta."},
        {"zero_256.tif o%d.sg", "zero_256.tif: bad number of pixels."},
        {"zero_257.tif o%d.sg", "zero_257.tif: bad number of pixels."},
        {"zero_258.tif o%d.sg", "zero_258.tif: bad number of pixels."},
        {"s.tif zero_page.tif o%d.sg", "zero_page.tif: bad number of pixels."},
        // An unquoted -f or -d pattern: the shell hands the other flats
        // (darks) over as projections.
        {"-f zero_256.tif zero_257.tif s.tif o%d.sg",
         "zero_257.tif: a flat among the projections (named like -f zero_256.tif); quote the pattern: -f 'zero_*.tif'."},
        {"-f f.tif -d zero_256.tif zero_258.tif s.tif o%d.sg",
         "zero_258.tif: a dark among the projections (named like -d zero_256.tif); quote the pattern: -d 'zero_*.tif'."},
    };
    Scratch scratch;
    WriteInputs(scratch);
    const std::map<std::string, std::string> before = Contents(scratch);
    for (const Failure &c : cases) {
        RunResult r = ProjSino(scratch, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        std::map<std::string, std::string> after = Contents(scratch);
        EXPECT_TRUE(after == before) << c.args;
        // What a case changed is put back, so that the next one starts
        // from the same folder.
        for (const auto &file : after) {
            if (before.count(file.first) == 0) {
                ADD_FAILURE() << c.args << " left " << file.first;
                unlink(scratch.Path(file.first).c_str());
            } else if (before.at(file.first) != file.second) {
                scratch.Write(file.first, before.at(file.first));
            }
        }
    }
}

// Columns whose flat is at or below the dark have no ratio: their samples
// take the floor and are counted, as clamped ones are, whatever the
// samples themselves (here above the dark, once giving negative line
// integrals); with -s the run fails.
TEST(ProjSinoCli, SamplesWhoseFlatIsAtOrBelowTheDarkAreCounted) {
    Scratch scratch;
    ASSERT_TRUE(WriteTiff(scratch.Path("s.tif"), Projections(kViews, 1000, 10, false), kColumns, kRows,
                          SampleKind::kF64));
    // Column 0: the flat at the dark; column 1: the dark above the flat and
    // above every sample, whose ratios are then positive.
    Page flat = Flat(1010), dark = Flat(10);
    for (int r = 0; r < kRows; ++r) {
        flat[static_cast<std::size_t>(r) * kColumns] = 10;
        dark[static_cast<std::size_t>(r) * kColumns + 1] = 2000;
    }
    ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), {flat}, kColumns, kRows, SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("d.tif"), {dark}, kColumns, kRows, SampleKind::kF64));
    RunResult r = ProjSino(scratch, "-f f.tif -d d.tif s.tif o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, std::to_string(2 * kViews * kRows) + " samples clamped.\n1 flat, 1 dark.\n");
    std::vector<double> samples = SamplesAfterHeader(scratch.Read("o2.sg"));
    ASSERT_EQ(samples.size(), static_cast<std::size_t>(kViews * kColumns));
    for (int v = 0; v < kViews; ++v) {
        EXPECT_DOUBLE_EQ(samples[static_cast<std::size_t>(v) * kColumns], -std::log(1e-6)) << v;
        EXPECT_DOUBLE_EQ(samples[static_cast<std::size_t>(v) * kColumns + 1], -std::log(1e-6)) << v;
        EXPECT_NEAR(samples[static_cast<std::size_t>(v) * kColumns + 2], Known(2, v, 2), 1e-12) << v;
    }
    r = ProjSino(scratch, "-s -f f.tif -d d.tif s.tif p%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ratio out of range.\n");
}

TEST(ProjSinoCli, AFailureLeavesEarlierFilesAndWritesThroughLinks) {
    Scratch scratch;
    ASSERT_TRUE(WriteTiff(scratch.Path("s.tif"), Projections(kViews, 100, 0, false), kColumns, kRows,
                          SampleKind::kF64));
    ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), {Flat(100)}, kColumns, kRows, SampleKind::kF64));
    scratch.Write("o1.sg", "an earlier sinogram");
    scratch.Write("target.sg", "the file a link names");
    ASSERT_EQ(symlink("/dev/full", scratch.Path("o2.sg").c_str()), 0);
    ASSERT_EQ(symlink("target.sg", scratch.Path("o3.sg").c_str()), 0);
    // Row 2 goes through the link to a full device, in the first band.
    RunResult r = ProjSino(scratch, "-f f.tif s.tif o%d.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "o2.sg: data write error.\n");
    std::map<std::string, std::string> files = Contents(scratch);
    EXPECT_EQ(files["o1.sg"], "an earlier sinogram");
    EXPECT_EQ(files["o2.sg"], "-> /dev/full");
    EXPECT_EQ(files["o3.sg"], "-> target.sg");
    EXPECT_EQ(files["target.sg"], "the file a link names");
    EXPECT_EQ(files.size(), 6u) << "no sinogram and no temporary file left";
    // Rows 0, 1 and 3 alone succeed: the link to a file keeps pointing at
    // it, and the file gets the sinogram.
    ASSERT_EQ(unlink(scratch.Path("o2.sg").c_str()), 0);
    r = ProjSino(scratch, "-f f.tif -r 0,4 s.tif o%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    files = Contents(scratch);
    EXPECT_EQ(files["o3.sg"], "-> target.sg");
    ExpectRow(scratch, "target.sg", 3, kViews, [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
    ExpectRow(scratch, "o1.sg", 1, kViews, [](int r, int v, int c) { return 1e-12 * Known(r, v, c); });
}

// Standard output takes each band's sinograms as they are made: a failure
// in a later band leaves the earlier ones there, and only the exit status
// tells.
TEST(ProjSinoCli, StandardOutputTakesTheSinogramsInOrder) {
    Scratch scratch;
    WriteInputs(scratch);
    RunResult r = ProjSino(scratch, "-m " + BudgetForRows(2) + " -r 1,3 s.tif -");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string one = r.out;
    r = ProjSino(scratch, "-r 1,1 s.tif -");
    std::string sinogram = r.out;
    ASSERT_EQ(sinogram.size(), 4 + kViews * kColumns * 8u);  // "7\t8\n" and the samples
    EXPECT_EQ(one.substr(0, sinogram.size()), sinogram);
    EXPECT_EQ(one.size(), 3 * sinogram.size());
    r = ProjSino(scratch, "-m " + BudgetForRows(1) + " z.tif -");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z.tif: data read error.\n");
    EXPECT_EQ(r.out.size(), (kRows - 1) * sinogram.size());
}

// Runs proj_sino with these arguments in the scratch folder, as the shell
// would, and measures that process alone: its exit status, its standard
// error and its peak resident memory in KiB.
struct Measured {
    int status;
    std::string err;
    long peak_kib;
};

Measured MeasuredRun(const Scratch &scratch, const std::vector<std::string> &args) {
    std::vector<std::string> words = {"proj_sino"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::string program = std::string(CT_BIN_DIR) + "/proj_sino";
    std::string errors = scratch.Path(".stderr");
    pid_t child = fork();
    if (child == 0) {
        int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int out = open("/dev/null", O_WRONLY);
        if (err < 0 || out < 0 || dup2(err, 2) < 0 || dup2(out, 1) < 0 || chdir(scratch.dir.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return Measured{-1, "", 0};
    return Measured{WIFEXITED(status) ? WEXITSTATUS(status) : 128, scratch.Read(".stderr"), usage.ru_maxrss};
}

TEST(ProjSinoCli, LyingStacksCostWhatTheyHold) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own memory would be measured too";
#endif
    Scratch scratch;
    // 500 pages claiming 100000 x 64 samples each, a few bytes each: about
    // 90 KB claiming 6.4 GB; tiled, the same; one page claiming 1 GiB of
    // floats; uncompressed pages in strips of one row, 8 bytes each.
    WriteLyingPages(scratch.Path("wide.tif"), 500, 100000, 64, 16, COMPRESSION_ADOBE_DEFLATE, 64);
    WriteLyingPages(scratch.Path("tiles.tif"), 20, 100000, 64, 16, COMPRESSION_ADOBE_DEFLATE, 0, 64);
    WriteLyingPages(scratch.Path("one.tif"), 1, 16384, 16384, 32, COMPRESSION_ADOBE_DEFLATE, 16384);
    WriteLyingPages(scratch.Path("rows.tif"), 50, 100000, 64, 16, COMPRESSION_NONE, 1);
    const struct {
        std::vector<std::string> args;
        std::string file;
        const char *err;
    } cases[] = {
        {{"wide.tif", "o%d.sg"}, "wide.tif", "wide.tif: data read error.\n"},
        {{"-f", "wide.tif", "wide.tif", "o%d.sg"}, "wide.tif", "wide.tif: data read error.\n"},
        {{"tiles.tif", "o%d.sg"}, "tiles.tif", "tiles.tif: data read error.\n"},
        {{"one.tif", "o%d.sg"}, "one.tif", "one.tif: data read error.\n"},
        {{"rows.tif", "o%d.sg"}, "rows.tif", "rows.tif: data read error.\n"},
    };
    for (const auto &c : cases) {
        Measured m = MeasuredRun(scratch, c.args);
        EXPECT_EQ(m.status, 1) << c.file;
        EXPECT_EQ(m.err, c.err) << c.file;
        long held_kib = static_cast<long>(scratch.Read(c.file).size() / 1024) + 1;
        EXPECT_LE(m.peak_kib, 64 * 1024 + 2 * held_kib) << c.file << ": peak KiB for " << held_kib << " KiB held";
        std::printf("%s: %ld KiB held, peak %ld KiB\n", c.file.c_str(), held_kib, m.peak_kib);
    }
}

// Chunks that span many views: 400 views of 400 x 400 in chunks of 100
// views (31 MiB each). The run needs one chunk at a time, which its budget
// counts; HDF5 keeps every chunk a dataset read until it is closed, so
// the views are read a chunk's depth at a time, each run with the dataset
// opened afresh: the peak stays within the budget and 64 MiB.
TEST(ProjSinoCli, ChunksOfManyViewsStayWithinTheBudget) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own memory would be measured too";
#endif
    Scratch scratch;
    const hsize_t views = 400, side = 400, depth = 100;
    hid_t file = H5Fcreate(scratch.Path("deep.h5").c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    hsize_t dims[3] = {views, side, side}, chunk[3] = {depth, side, side};
    hid_t space = H5Screate_simple(3, dims, nullptr);
    hid_t create = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(create, 3, chunk);
    hid_t data = H5Dcreate2(group, "data", H5T_STD_U16LE, space, H5P_DEFAULT, create, H5P_DEFAULT);
    std::vector<std::uint16_t> block(depth * side * side);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint16_t>(1000 + i % 300);
    for (hsize_t first = 0; first < views; first += depth) {
        hsize_t start[3] = {first, 0, 0};
        hid_t memory = H5Screate_simple(3, chunk, nullptr);
        H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, chunk, nullptr);
        ASSERT_GE(H5Dwrite(data, H5T_NATIVE_UINT16, memory, space, H5P_DEFAULT, block.data()), 0);
        H5Sclose(memory);
    }
    H5Dclose(data);
    H5Pclose(create);
    H5Sclose(space);
    H5Gclose(group);
    ASSERT_GE(H5Fclose(file), 0);
    Measured m = MeasuredRun(scratch, {"-l", "-m", "48", "-r", "0,8", "deep.h5", "-"});
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_LE(m.peak_kib, (48 + 64) * 1024) << "peak KiB";
    std::printf("chunks of 100 views, -m 48: peak %ld KiB\n", m.peak_kib);
}

TEST(ProjSinoCli, ManySinogramsCostOneStreamBuffer) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own memory would be measured too";
#endif
    // 800 rows of 16 columns in 4 views: 800 small sinograms, written one
    // after another. Each through a fresh 256 KiB buffer would take 200 MiB;
    // the closed files' buffers serve the next ones.
    Scratch scratch;
    const int columns = 16, rows = 800;
    std::vector<std::vector<double>> pages(4, std::vector<double>(static_cast<std::size_t>(columns) * rows, 1.5));
    ASSERT_TRUE(WriteTiff(scratch.Path("tall.tif"), pages, columns, rows, SampleKind::kF32));
    Measured m = MeasuredRun(scratch, {"-l", "tall.tif", "o%d.sg"});
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_TRUE(scratch.Exists("o799.sg"));
    EXPECT_LE(m.peak_kib, 48 * 1024) << "peak KiB";
    std::printf("800 sinograms: peak %ld KiB\n", m.peak_kib);
}

// The zinger filter on scans that have them: 0.1 % of the samples of a
// phantom's counts, with photon noise, struck at 20 times their value, a
// tenth of them two columns wide. Reconstructed, the filtered scan is
// within 5 % of the clean one, on many views and on few (45: judged
// within each projection), and the clean scan is left nearly as it is.
double Rms(const std::vector<double> &a, const std::vector<double> *b = nullptr) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        double d = a[i] - (b != nullptr ? (*b)[i] : 0);
        sum += d * d;
    }
    return std::sqrt(sum / static_cast<double>(a.size()));
}

TEST(ProjSinoCli, ZingerFilterBringsTheReconstructionBack) {
    const struct Case {
        const char *name;
        const char *make;  // writes p.sg, 128 columns
        int views;
        double i0, attenuation;  // counts i0 exp(-attenuation p)
    } cases[] = {
        {"ring, 180 views", "\"$BIN/disk_sino\" 128 0 0 40 -30 180 p.sg", 180, 10000, 0.02},
        {"shepp-logan, 45 views", "\"$BIN/phantom_sino\" shepp-logan:57.6 128 63.5 45 p.sg", 45, 20000, 0.02},
        {"shepp-logan, 360 views", "\"$BIN/phantom_sino\" shepp-logan:57.6 128 63.5 360 p.sg", 360, 20000, 0.02},
    };
    for (const Case &c : cases) {
        Scratch scratch;
        const int columns = 128, views = c.views, rows = 3;
        RunResult r = scratch.Run(c.make);
        ASSERT_EQ(r.status, 0) << r.err;
        int n = 0, m = 0;
        std::vector<double> p = SinogramSamples(scratch.Read("p.sg"), &n, &m);
        ASSERT_EQ(p.size(), static_cast<std::size_t>(columns * views));
        std::mt19937 random(2024);
        std::vector<Page> clean(views, Page(static_cast<std::size_t>(columns) * rows));
        for (int v = 0; v < views; ++v)
            for (int j = 0; j < rows; ++j)
                for (int col = 0; col < columns; ++col) {
                    std::poisson_distribution<int> counts(c.i0 * std::exp(-c.attenuation * p[v * columns + col]));
                    clean[v][j * columns + col] = counts(random);
                }
        std::vector<Page> struck = clean;
        std::uniform_int_distribution<std::size_t> anywhere(0, static_cast<std::size_t>(columns) * rows - 2);
        const int zingers = views * columns * rows / 1000;
        for (int z = 0; z < zingers; ++z) {
            Page &page = struck[z % views];
            std::size_t at = anywhere(random);
            page[at] *= 20;
            if (z % 10 == 0) page[at + 1] *= 20;
        }
        ASSERT_TRUE(WriteTiff(scratch.Path("clean.tif"), clean, columns, rows, SampleKind::kU32));
        ASSERT_TRUE(WriteTiff(scratch.Path("struck.tif"), struck, columns, rows, SampleKind::kU32));
        ASSERT_TRUE(WriteTiff(scratch.Path("flat.tif"), {Page(static_cast<std::size_t>(columns) * rows, c.i0)}, columns,
                              rows, SampleKind::kU32));
        const struct {
            const char *options;
            const char *name;
        } runs[] = {{"", "clean"}, {"", "struck"}, {"-z 6", "struck"}, {"-z 6", "clean"}};
        std::vector<std::vector<double>> images;
        for (const auto &run : runs) {
            r = scratch.Run(std::string("\"$BIN/proj_sino\" ") + run.options + " -r 1,1 -f flat.tif " + run.name +
                            ".tif - | \"$BIN/sino_recon\" - 63.5 1 - > image");
            ASSERT_EQ(r.status, 0) << r.err;
            images.push_back(SamplesAfterHeader(scratch.Read("image")));
            ASSERT_EQ(images.back().size(), static_cast<std::size_t>(columns * columns));
        }
        double scale = Rms(images[0]);
        double unfiltered = Rms(images[1], &images[0]) / scale, filtered = Rms(images[2], &images[0]) / scale,
               untouched = Rms(images[3], &images[0]) / scale;
        std::printf("%s: RMS difference from the clean reconstruction, relative to its RMS: zingers %.4f, filtered "
                    "%.4f; the clean scan filtered %.5f\n",
                    c.name, unfiltered, filtered, untouched);
        EXPECT_GT(unfiltered, 0.1) << c.name;
        EXPECT_LT(filtered, 0.05) << c.name;
        EXPECT_LT(untouched, 0.005) << c.name;  // noise alone is left as it is
    }
}

}  // namespace
