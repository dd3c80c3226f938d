// The synthetic scan proj_sino and stack_recon are timed on: 720 views of
// 512 x 512 16-bit counts made from one disk_sino sinogram.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <tiffio.h>

#include "bench.h"

std::vector<double> StackPhantom(const std::string &scratch) {
    std::string path = scratch + "/stack_phantom.sg";
    RunOrDie(std::string("\"" CT_BIN_DIR "/disk_sino\" 512 10 -20 200 -150 60 720 ") + path);
    std::vector<double> samples(static_cast<std::size_t>(kStackSide) * kStackViews);
    FILE *in = std::fopen(path.c_str(), "rb");
    int columns = 0, rows = 0;
    if (in == nullptr || std::fscanf(in, "%d %d", &columns, &rows) != 2 || std::fgetc(in) != '\n' ||
        std::fread(samples.data(), sizeof(double), samples.size(), in) != samples.size())
        std::exit(1);
    std::fclose(in);
    std::remove(path.c_str());
    return samples;
}

void WriteStack(const std::string &path, const std::vector<double> &sinogram, bool flat) {
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr) std::exit(1);
    std::vector<std::uint16_t> page(static_cast<std::size_t>(kStackSide) * kStackSide);
    for (int v = 0; v < (flat ? 1 : kStackViews); ++v) {
        for (int r = 0; r < kStackSide; ++r) {
            double scale = 0.002 * (1 + r / double(kStackSide));
            for (int c = 0; c < kStackSide; ++c) {
                double p = flat ? 0 : scale * sinogram[static_cast<std::size_t>(v) * kStackSide + c];
                page[static_cast<std::size_t>(r) * kStackSide + c] =
                    static_cast<std::uint16_t>(std::lround(60000 * std::exp(-p)));
            }
        }
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kStackSide);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kStackSide);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        for (int s = 0; s < kStackSide / 16; ++s)
            TIFFWriteEncodedStrip(tif, s, &page[static_cast<std::size_t>(s) * 16 * kStackSide], 16 * kStackSide * 2);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}
