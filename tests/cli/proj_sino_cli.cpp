
// HDF5 files in the Data Exchange layout, written with the HDF5 library.
namespace {

struct Dataset {
    const char *name;   // under /exchange
    hid_t type;         // the file's sample type
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
    const Failure cases[] = {
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
