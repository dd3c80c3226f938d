// img_sino run as users run it: every failure, the projection of a disk
// image approaching disk_sino's chords as the pixels shrink, the angles of
// -a, and the same sinogram for any number of threads.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char *const kUsage = "usage : img_sino [-a ANGLES] [-p PIXEL] IMG N c M SG";

TEST(ImgSinoCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string image = SinogramBytes(4, 4, Ramp(16, 0.5, 5, 0).data());
    const std::vector<double> huge(16, 1e308);
    const FailureCase cases[] = {
        {"", "", kUsage},
        {{"in.txt 8 3.5 6", "in.txt 8 3.5 6 out.txt extra"}, image, kUsage},
        {"missing.img 8 3.5 6 out.txt", "", "missing.img: file not found."},
        {"in.txt 8 3.5 6 out.txt", "", "in.txt: bad number of pixels."},
        {"in.txt 8 3.5 6 out.txt", "4 4\n1234", "in.txt: data read error."},
        {"in.txt 8 3.5 6 out.txt", SinogramBytes(4, 2, Ramp(8, 1, 3, 0).data()), "in.txt: image not square."},
        {"in.txt 0 3.5 6 out.txt", image, "bad detector number."},
        {"in.txt x 3.5 6 out.txt", image, "bad detector number: x."},
        {{"in.txt 8 0 6 out.txt", "in.txt 8 7 6 out.txt", "in.txt 8 nan 6 out.txt"},
         image, "bad position of rotation center."},
        {"in.txt 8 3,5 6 out.txt", image, "bad position of rotation center: 3,5."},
        {"in.txt 8 3.5 6.0 out.txt", image, "bad projection number: 6.0."},
        {"-p 1px in.txt 8 3.5 6 out.txt", image, "bad pixel size: 1px."},
        {{"in.txt 8 3.5 0 out.txt", "in.txt 8 3.5 -6 out.txt"}, image, "bad projection number."},
        {{"-p 0 in.txt 8 3.5 6 out.txt", "-p inf in.txt 8 3.5 6 out.txt"}, image, "bad pixel size."},
        {"-a - in.txt 8 3.5 6 out.txt", image, "angles: 0 angles for 6 views."},
        {"-a missing.txt in.txt 8 3.5 6 out.txt", image, "missing.txt: file not found."},
        {"in.txt 8 3.5 6 out.txt", SinogramBytes(4, 4, huge.data()), "result out of range."},
        // An output name forgotten or mistyped is refused, not replaced.
        {"in.txt 8 3.5 6 ./in.txt", image, "./in.txt: output is an input."},
        {"in.txt 8 3.5 6 " TIFF_FILE("s.tif"), image, "s.tif: exists and is not a sinogram; give the sinogram a new name."},
    };
    ExpectFailures("img_sino", cases);
}

// The RMS difference of two sinograms of the same size.
double Rms(const std::vector<double> &a, const std::vector<double> &b) {
    double squares = 0;
    for (std::size_t i = 0; i < a.size(); ++i) squares += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(squares / a.size());
}

TEST(ImgSinoCli, TrueImagesProjectToTheAnalyticLineIntegrals) {
    // A ring (disk_image against disk_sino's chords, up to 88) and the
    // Shepp-Logan head (phantom_image against phantom_sino) at pixels of 2,
    // 1, 1/2 and 1/4 detector intervals: the error against the exact line
    // integrals falls with the pixel (about in proportion).
    struct Phantom {
        const char *name;
        const char *exact;                             // writes exact.sg, 128 x 90
        std::string (*image)(double pixel, int size);  // writes img.img
        double per_pixel;                              // the RMS error's bound, per pixel side
    };
    const Phantom phantoms[] = {
        {"ring", "\"$BIN/disk_sino\" 128 10 5 30 -20 90 exact.sg",
         [](double pixel, int size) {
             return "\"$BIN/disk_image\" " + std::to_string(size) + " " + std::to_string(10 / pixel) + " " +
                    std::to_string(5 / pixel) + " " + std::to_string(30 / pixel) + " " + std::to_string(-20 / pixel) +
                    " img.img";
         },
         0.5},
        {"head", "\"$BIN/phantom_sino\" shepp-logan:60 128 63.5 90 exact.sg",
         [](double pixel, int size) {
             return "\"$BIN/phantom_image\" -p " + std::to_string(pixel) + " shepp-logan:60 " + std::to_string(size) +
                    " img.img";
         },
         0.6},  // a thin skull of density 1: line integrals up to 33
    };
    Scratch scratch;
    for (const Phantom &phantom : phantoms) {
        ASSERT_EQ(scratch.Run(phantom.exact).status, 0) << phantom.name;
        std::vector<double> exact = SamplesAfterHeader(scratch.Read("exact.sg"));
        double before = 1e300;
        for (int step = 0; step < 4; ++step) {
            double pixel = 2.0 / (1 << step);
            int size = 64 << step;
            RunResult r = scratch.Run(phantom.image(pixel, size) + " && \"$BIN/img_sino\" -p " + std::to_string(pixel) +
                                      " img.img 128 63.5 90 p.sg");
            ASSERT_EQ(r.status, 0) << phantom.name << ": " << r.err;
            std::vector<double> projected = SamplesAfterHeader(scratch.Read("p.sg"));
            ASSERT_EQ(projected.size(), exact.size());
            double error = Rms(projected, exact);
            EXPECT_LT(error, 0.7 * before) << phantom.name << ", pixel " << pixel;
            EXPECT_LT(error, phantom.per_pixel * pixel) << phantom.name << ", pixel " << pixel;
            std::printf("%s, pixel %g: RMS %.4f\n", phantom.name, pixel, error);
            before = error;
        }
    }
}

TEST(ImgSinoCli, AnglesAndThreadsGiveTheSameSamples) {
    // Evenly spread angles given with -a are the default views to
    // rounding; any thread count gives the same bytes.
    Scratch scratch;
    std::string angles;
    for (int k = 0; k < 60; ++k) angles += std::to_string(k * 3) + "\n";
    scratch.Write("angles.txt", angles);
    RunResult r = scratch.Run(
        "\"$BIN/disk_image\" 100 5 -8 30 img.img && \"$BIN/img_sino\" img.img 120 59.5 60 even.sg && "
        "\"$BIN/img_sino\" -a angles.txt img.img 120 59.5 60 given.sg && "
        "OMP_NUM_THREADS=1 \"$BIN/img_sino\" img.img 120 59.5 60 one.sg && "
        "OMP_NUM_THREADS=3 \"$BIN/img_sino\" img.img 120 59.5 60 three.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> even = SamplesAfterHeader(scratch.Read("even.sg"));
    std::vector<double> given = SamplesAfterHeader(scratch.Read("given.sg"));
    ASSERT_EQ(even.size(), 120u * 60);
    EXPECT_LT(Rms(even, given), 1e-9);
    EXPECT_TRUE(scratch.Read("one.sg") == scratch.Read("even.sg"));
    EXPECT_TRUE(scratch.Read("three.sg") == scratch.Read("even.sg"));
    EXPECT_EQ(scratch.Read("even.sg").substr(0, 7), "120\t60\n");
}

}  // namespace
