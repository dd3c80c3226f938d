// stack_recon's parts on their own: the rows the axis is found on, the
// median and the line through the centers, the half turn within a list of
// angles, the progress line, the volume's kind from its name, and the two
// volume writers read back with libtiff and HDF5.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hdf5.h>
#include <tiffio.h>
#include <unistd.h>

#include "cli/run.h"
#include "stack_recon/centers.h"
#include "stack_recon/progress.h"
#include "stack_recon/volume.h"
#include "volume_hdf5.h"
#include "volume_tiff.h"

namespace {


TEST(StackReconCenters, RowsAreTheMiddlesOfEqualParts) {
    const struct {
        int first, count;
        std::vector<int> rows;
    } cases[] = {
        {0, 8, {0, 2, 4, 5, 7}},            // 8 rows in five parts of 1.6
        {0, 3, {0, 1, 2}},                  // fewer rows than parts: each one
        {10, 1, {10}},
        {5, 100, {15, 35, 55, 75, 95}},     // parts of 20, middles at 10, 30 ...
        {0, 2147483647, {214748364, 644245094, 1073741823, 1503238552, 1932735282}},  // no overflow
    };
    for (const auto &c : cases) EXPECT_EQ(CenterRows(c.first, c.count), c.rows) << c.first << "," << c.count;
}

TEST(StackReconCenters, MedianAndLine) {
    EXPECT_EQ(Median({3, 1, 2}), 2);
    EXPECT_EQ(Median({4, 1, 3, 2}), 2.5);
    EXPECT_EQ(Median({7}), 7);
    // An outlier moves the median not at all.
    EXPECT_EQ(Median({130.9, 130.8, 250, 131.0, 130.9}), 130.9);
    double a = 0, b = 0;
    // Points on 100 + 0.25 row: the line itself.
    FitLine({0, 4, 8, 12}, {100, 101, 102, 103}, &a, &b);
    EXPECT_DOUBLE_EQ(a, 100);
    EXPECT_DOUBLE_EQ(b, 0.25);
    // Symmetric scatter about 50 + 0.5 row: residuals +1, -1, -1, +1 cancel.
    FitLine({0, 2, 4, 6}, {51, 50, 51, 54}, &a, &b);
    EXPECT_DOUBLE_EQ(b, 0.5);
    EXPECT_DOUBLE_EQ(a, 50.0);
    FitLine({3}, {42}, &a, &b);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(a, 42);
}

TEST(StackReconProgress, LineAndClock) {
    EXPECT_EQ(ProgressText(3, 8, 12), "3 of 8 rows, 0:12 elapsed, 0:20 left");
    EXPECT_EQ(ProgressText(0, 8, 0.4), "0 of 8 rows, 0:00 elapsed, ? left");
    EXPECT_EQ(ProgressText(512, 512, 3725), "512 of 512 rows, 1:02:05 elapsed, 0:00 left");
    EXPECT_EQ(Clock(59.6), "1:00");
    EXPECT_EQ(Clock(-3), "0:00");
}

TEST(StackReconVolume, KindFromTheName) {
    const struct {
        const char *name;
        VolumeKind kind;
    } cases[] = {
        {"vol.tif", VolumeKind::kTiff},       {"a/b.tiff", VolumeKind::kTiff},
        {"vol.h5", VolumeKind::kHdf5},        {"s_%04d.img", VolumeKind::kPattern},
        {"s_%d.tif", VolumeKind::kPattern},   {"100%%_%d.img", VolumeKind::kPattern},
        {"vol%s.tif", VolumeKind::kBad},      {"s_%d_%d.img", VolumeKind::kBad},
        {"vol.sg", VolumeKind::kBad},         {".tif", VolumeKind::kBad},
        {"-", VolumeKind::kBad},              {"-vol.tif", VolumeKind::kBad},
        {"", VolumeKind::kBad},               {"vol.h5.bak", VolumeKind::kBad},
    };
    for (const auto &c : cases) {
        NamePattern pattern;
        EXPECT_EQ(KindOfVolume(c.name, &pattern), c.kind) << c.name;
    }
}

// Slices whose sample (row r, column j) of slice k is k + r / 8 + j / 64:
// exact in float, so every value read back is known.
std::vector<double> Slice(int k, int size) {
    std::vector<double> image(static_cast<std::size_t>(size) * size);
    for (int r = 0; r < size; ++r)
        for (int j = 0; j < size; ++j) image[static_cast<std::size_t>(r) * size + j] = k + r / 8.0 + j / 64.0;
    return image;
}

TEST(StackReconVolume, TiffPagesReadBackWithLibtiff) {
    Scratch scratch;
    const int pages = 5, size = 12;
    for (double pixel : {0.0, 0.65}) {
        std::string name = scratch.Path("v.tif");
        VolumeTiff tiff;
        ASSERT_TRUE(BeginVolumeTiff(name.c_str(), pages, size, pixel, &tiff).ok());
        for (int k = 0; k < pages; ++k) ASSERT_TRUE(WriteVolumeTiffSlice(&tiff, Slice(k, size).data()).ok());
        ASSERT_TRUE(FinishVolumeTiff(&tiff).ok());
        std::string bytes = scratch.Read("v.tif");
        std::size_t head = VolumeTiffHead(pages, size, pixel).size();
        ASSERT_EQ(bytes.size(), head + pages * size * size * 4u);
        EXPECT_EQ(head % 16, 0u);
        TIFF *tif = TIFFOpen(name.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        int page = 0;
        do {
            std::uint32_t width = 0, length = 0;
            std::uint16_t bits = 0, format = 0, spp = 0, planar = 0, compression = 0;
            TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
            TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
            TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
            TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &format);
            TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
            TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
            TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
            EXPECT_EQ(width, static_cast<std::uint32_t>(size));
            EXPECT_EQ(length, static_cast<std::uint32_t>(size));
            EXPECT_EQ(bits, 32);
            EXPECT_EQ(format, SAMPLEFORMAT_IEEEFP);
            EXPECT_EQ(spp, 1);
            EXPECT_EQ(planar, PLANARCONFIG_CONTIG);
            EXPECT_EQ(compression, COMPRESSION_NONE);
            EXPECT_EQ(TIFFNumberOfStrips(tif), 1u);
            // Contiguous: page k's samples right after page k - 1's.
            toff_t *offsets = nullptr;
            ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets));
            EXPECT_EQ(offsets[0], head + static_cast<toff_t>(page) * size * size * 4);
            std::vector<float> samples(static_cast<std::size_t>(size) * size);
            ASSERT_EQ(TIFFReadEncodedStrip(tif, 0, samples.data(), static_cast<tmsize_t>(samples.size() * 4)),
                      static_cast<tmsize_t>(samples.size() * 4));
            std::vector<double> expected = Slice(page, size);
            for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i], expected[i]) << i;
            char *description = nullptr;
            bool has = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description);
            EXPECT_EQ(has, page == 0);
            if (page == 0) {
                std::string text = description;
                EXPECT_NE(text.find("ImageJ="), std::string::npos);
                EXPECT_NE(text.find("images=5\n"), std::string::npos);
                EXPECT_EQ(text.find("unit=micron") != std::string::npos, pixel > 0);
                if (pixel > 0) {
                    EXPECT_NE(text.find("spacing=0.65"), std::string::npos);
                }
            }
            float xres = 0, yres = 0;
            EXPECT_EQ(TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres) == 1, pixel > 0);
            if (pixel > 0) {
                TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
                EXPECT_NEAR(xres, 1 / 0.65, 1e-6);  // pixels per micron
                EXPECT_NEAR(yres, 1 / 0.65, 1e-6);
            }
            ++page;
        } while (TIFFReadDirectory(tif));
        TIFFClose(tif);
        EXPECT_EQ(page, pages);
    }
}

// A volume beyond 4 GiB is a BigTIFF: its directories, written before a
// sparse file of that size, read back with libtiff (no samples written).
TEST(StackReconVolume, LargeVolumeIsABigTiff) {
    const int pages = 5, size = 16384;  // 5 GiB of floats
    EXPECT_FALSE(VolumeFitsClassicTiff(pages, size));
    EXPECT_TRUE(VolumeFitsClassicTiff(3, size));
    std::vector<unsigned char> head = VolumeTiffHead(pages, size, 2.5);
    EXPECT_EQ(head[2], 43);  // BigTIFF
    Scratch scratch;
    std::string name = scratch.Path("big.tif");
    FILE *out = std::fopen(name.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(head.data(), 1, head.size(), out);
    std::fclose(out);
    std::uint64_t slice = 4ull * size * size;
    ASSERT_EQ(truncate(name.c_str(), static_cast<off_t>(head.size() + pages * slice)), 0);
    // "c": the one strip as it is written, not chopped into rows by libtiff.
    TIFF *tif = TIFFOpen(name.c_str(), "rc");
    ASSERT_NE(tif, nullptr);
    EXPECT_TRUE(TIFFIsBigEndian(tif) == 0);
    int page = 0;
    do {
        std::uint32_t width = 0;
        std::uint16_t format = 0;
        toff_t *offsets = nullptr, *counts = nullptr;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets);
        TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts);
        EXPECT_EQ(width, static_cast<std::uint32_t>(size));
        EXPECT_EQ(format, SAMPLEFORMAT_IEEEFP);
        EXPECT_EQ(offsets[0], head.size() + page * slice);
        EXPECT_EQ(counts[0], slice);
        ++page;
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    EXPECT_EQ(page, pages);
}

TEST(StackReconVolume, Hdf5ReadsBackWithItsFacts) {
    Scratch scratch;
    const int rows = 3, size = 10;
    std::string name = scratch.Path("v.h5");
    double centers[rows] = {31.5, 31.25, 31.0};
    double theta[4] = {0, 45, 90, 135};
    VolumeHdf5 h5;
    ASSERT_TRUE(BeginVolumeHdf5(name.c_str(), VolumeFacts{rows, size, 7, 0.65, centers, theta, 4}, &h5).ok());
    for (int k = 0; k < rows; ++k) ASSERT_TRUE(WriteVolumeHdf5Slice(&h5, k, Slice(k, size).data()).ok());
    ASSERT_TRUE(FinishVolumeHdf5(&h5).ok());

    hid_t file = H5Fopen(name.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    ASSERT_GE(file, 0);
    hid_t data = H5Dopen2(file, "/exchange/data", H5P_DEFAULT);
    ASSERT_GE(data, 0);
    hid_t space = H5Dget_space(data), type = H5Dget_type(data), create = H5Dget_create_plist(data);
    hsize_t dims[3] = {}, chunk[3] = {};
    EXPECT_EQ(H5Sget_simple_extent_dims(space, dims, nullptr), 3);
    EXPECT_EQ(dims[0], 3u);
    EXPECT_EQ(dims[1], 10u);
    EXPECT_EQ(dims[2], 10u);
    EXPECT_EQ(H5Tget_class(type), H5T_FLOAT);
    EXPECT_EQ(H5Tget_size(type), 4u);
    EXPECT_EQ(H5Pget_chunk(create, 3, chunk), 3);
    EXPECT_EQ(chunk[0], 1u);
    EXPECT_EQ(chunk[1], 10u);
    std::vector<float> all(rows * size * size);
    ASSERT_GE(H5Dread(data, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, all.data()), 0);
    for (int k = 0; k < rows; ++k) {
        std::vector<double> expected = Slice(k, size);
        for (int i = 0; i < size * size; ++i) ASSERT_EQ(all[k * size * size + i], expected[i]);
    }
    int first_row = 0;
    double pixel = 0;
    hid_t a = H5Aopen(data, "first_row", H5P_DEFAULT);
    H5Aread(a, H5T_NATIVE_INT, &first_row);
    H5Aclose(a);
    a = H5Aopen(data, "pixel_size", H5P_DEFAULT);
    H5Aread(a, H5T_NATIVE_DOUBLE, &pixel);
    H5Aclose(a);
    EXPECT_EQ(first_row, 7);
    EXPECT_EQ(pixel, 0.65);
    double read_centers[rows] = {}, read_theta[4] = {};
    hid_t c = H5Dopen2(file, "/exchange/center", H5P_DEFAULT);
    H5Dread(c, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, read_centers);
    H5Dclose(c);
    hid_t t = H5Dopen2(file, "/exchange/theta", H5P_DEFAULT);
    H5Dread(t, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, read_theta);
    H5Dclose(t);
    for (int k = 0; k < rows; ++k) EXPECT_EQ(read_centers[k], centers[k]);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(read_theta[k], theta[k]);
    H5Pclose(create);
    H5Tclose(type);
    H5Sclose(space);
    H5Dclose(data);
    H5Fclose(file);

    // Read back as a part of a split stack.
    VolumePart part;
    ASSERT_TRUE(OpenVolumePart(name.c_str(), &part).ok());
    EXPECT_EQ(part.rows, rows);
    EXPECT_EQ(part.first_row, 7);
    EXPECT_EQ(part.centers, std::vector<double>(centers, centers + rows));
    std::vector<double> slice(size * size);
    ASSERT_TRUE(ReadVolumePartSlice(part, 2, slice.data()).ok());
    EXPECT_EQ(slice, Slice(2, size));
}

// A volume short of slices is never renamed into place.
TEST(StackReconVolume, ShortVolumesStayTemporary) {
    Scratch scratch;
    std::string tif = scratch.Path("v.tif"), h5 = scratch.Path("v.h5");
    VolumeTiff tiff;
    ASSERT_TRUE(BeginVolumeTiff(tif.c_str(), 3, 4, 0, &tiff).ok());
    ASSERT_TRUE(WriteVolumeTiffSlice(&tiff, Slice(0, 4).data()).ok());
    EXPECT_EQ(FinishVolumeTiff(&tiff).message, tif + ": data write error.");
    double centers[3] = {1.5, 1.5, 1.5}, theta[1] = {0};
    VolumeHdf5 volume;
    ASSERT_TRUE(BeginVolumeHdf5(h5.c_str(), VolumeFacts{3, 4, 0, 0, centers, theta, 1}, &volume).ok());
    ASSERT_TRUE(WriteVolumeHdf5Slice(&volume, 0, Slice(0, 4).data()).ok());
    EXPECT_EQ(FinishVolumeHdf5(&volume).message, h5 + ": data write error.");
    RemovePendingOutputs();
    EXPECT_FALSE(scratch.Exists("v.tif"));
    EXPECT_FALSE(scratch.Exists("v.h5"));
    EXPECT_EQ(scratch.Run("ls -A | grep -v '^\\.std' | wc -l").out, "0\n");
}

}  // namespace
