// stack_recon on a synthetic scan, 512 rows of 512 detectors and 720
// views of 16-bit counts, into a 512^3 volume, against what it replaces:
// proj_sino writing every row's sinogram, then sino_recon of each row one
// after the other, with the same axis. One thread and two.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <tiffio.h>

#include "bench.h"

namespace {

constexpr int kSide = 512, kViews = 720;

// One disk_sino sinogram (720 views of 512 columns, axis 255.5).
std::vector<double> Phantom(const std::string &scratch) {
    std::string path = scratch + "/stack_phantom.sg";
    RunOrDie(std::string("\"" CT_BIN_DIR "/disk_sino\" 512 10 -20 200 -150 60 720 ") + path);
    std::vector<double> samples(static_cast<std::size_t>(kSide) * kViews);
    FILE *in = std::fopen(path.c_str(), "rb");
    int columns = 0, rows = 0;
    if (in == nullptr || std::fscanf(in, "%d %d", &columns, &rows) != 2 || std::fgetc(in) != '\n' ||
        std::fread(samples.data(), sizeof(double), samples.size(), in) != samples.size())
        std::exit(1);
    std::fclose(in);
    std::remove(path.c_str());
    return samples;
}

// A multi-page 16-bit TIFF in strips of 16 rows, counts 60000 exp(-s p)
// with s growing over the rows; a flat page of 60000 when `flat`.
void WriteStack(const std::string &path, const std::vector<double> &sinogram, bool flat) {
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr) std::exit(1);
    std::vector<std::uint16_t> page(static_cast<std::size_t>(kSide) * kSide);
    for (int v = 0; v < (flat ? 1 : kViews); ++v) {
        for (int r = 0; r < kSide; ++r) {
            double scale = 0.002 * (1 + r / double(kSide));
            for (int c = 0; c < kSide; ++c) {
                double p = flat ? 0 : scale * sinogram[static_cast<std::size_t>(v) * kSide + c];
                page[static_cast<std::size_t>(r) * kSide + c] = static_cast<std::uint16_t>(std::lround(60000 * std::exp(-p)));
            }
        }
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kSide);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kSide);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        for (int s = 0; s < kSide / 16; ++s)
            TIFFWriteEncodedStrip(tif, s, &page[static_cast<std::size_t>(s) * 16 * kSide], 16 * kSide * 2);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

}  // namespace

void BenchStackRecon(const std::string &scratch) {
    std::string stack = scratch + "/stack_scan.tif", flat = scratch + "/stack_flat.tif";
    std::string work = scratch + "/stack_work";
    WriteStack(stack, Phantom(scratch), false);
    WriteStack(flat, {}, true);
    std::string bin = "\"" CT_BIN_DIR "/";
    for (int threads : {1, 2}) {
        std::string env = "OMP_NUM_THREADS=" + std::to_string(threads) + " ";
        RunOrDie("rm -rf " + work + " && mkdir -p " + work + "/sino " + work + "/img");
        // The two steps it replaces, every row one after the other.
        double steps = BestSeconds(1, [&] {
            RunOrDie(env + bin + "proj_sino\" -f " + flat + " " + stack + " " + work + "/sino/s%04d.sg");
            RunOrDie("for f in " + work + "/sino/*.sg; do " + env + bin + "sino_recon\" \"$f\" 255.5 1 " + work +
                     "/img/$(basename \"$f\" .sg).img || exit 1; done");
        });
        RunOrDie("rm -rf " + work + "/sino " + work + "/img");
        double one = BestSeconds(1, [&] {
            RunOrDie(env + bin + "stack_recon\" -c 255.5 -f " + flat + " " + stack + " " + work + "/volume.tif 2>/dev/null");
        });
        std::printf("stack_recon 512 rows x 512 x 720 views (16-bit) into 512^3, %d thread%s: %.1f s; proj_sino then "
                    "sino_recon of every row %.1f s; ratio %.3f (goal: at most 1.15)\n",
                    threads, threads == 1 ? "" : "s", one, steps, one / steps);
    }
    RunOrDie("rm -rf " + work + " " + stack + " " + flat);
}
