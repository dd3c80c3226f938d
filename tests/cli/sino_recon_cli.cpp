// sino_recon run as users run it: every failure, faults from outside, the
// same image for any number of threads, a ring phantom reconstructed to its
// densities, agreement with ax_recon, and the guide's batch recipes.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char *const kUsage =
    "usage : sino_recon [-a ANGLES] [-w GAP] [-p PIXEL] [-o X,Y] [-M METHOD] SG c interval {size {kernel}} IMG";

TEST(SinoReconCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string small = SinogramBytes(5, 4, Ramp(20, 0.25, 7, -0.5).data());
    const std::vector<double> huge(20, 1e308);
    std::vector<double> with_nan = Ramp(20, 0.25, 7, -0.5), with_inf = with_nan;
    with_nan[13] = NAN;
    with_inf[4] = -INFINITY;
    const std::string nan_sg = SinogramBytes(5, 4, with_nan.data()), inf_sg = SinogramBytes(5, 4, with_inf.data());
    const FailureCase cases[] = {
        {{"", "in.txt 2 1", "in.txt 2 1 5 chesler 7 out.txt"}, "", kUsage},
        {"missing.sg 2 1 out.txt", "", "missing.sg: file not found."},
        {"in.txt 2 1 out.txt", "", "in.txt: bad number of pixels."},
        {"in.txt 2 1 out.txt", "0 3\n", "in.txt: bad number of pixels."},
        {"in.txt 2 1 out.txt", "5\n", "in.txt: bad number of pixels."},
        {"in.txt 2 1 out.txt", "5 4\n1234567", "in.txt: data read error."},
        {"in.txt 0 0 0 x out.txt", "5 4\n", "in.txt: data read error."},  // the sinogram first
        {"in.txt 0 1 out.txt", small, "bad position of rotation center."},
        {"in.txt 4 1 out.txt", small, "bad position of rotation center."},  // N - 1
        {{"in.txt -1 1 out.txt", "in.txt nan 1 out.txt", "in.txt inf 1 out.txt"},
         small, "bad position of rotation center."},
        {"in.txt axis 1 out.txt", small, "bad position of rotation center: axis."},
        {"in.txt 1,5 1 out.txt", small, "bad position of rotation center: 1,5."},
        {"in.txt 1.5px 1 out.txt", small, "bad position of rotation center: 1.5px."},
        {"in.txt 0x1 1 out.txt", small, "bad position of rotation center: 0x1."},
        {"in.txt 2 0x10 out.txt", small, "bad detector interval: 0x10."},
        {"in.txt 2 1,0 out.txt", small, "bad detector interval: 1,0."},
        {"in.txt 2 1 4.0 out.txt", small, "bad image size: 4.0."},
        {"in.txt 0 0 0 x out.txt", small, "bad position of rotation center."},
        {{"in.txt 2 0 out.txt", "in.txt 2 -0.5 out.txt", "in.txt 2 nan out.txt", "in.txt 2 1e999 out.txt",
          "in.txt 2 0 0 x out.txt"}, small, "bad detector interval."},
        {{"in.txt 2 1 0 out.txt", "in.txt 2 1 -4 out.txt"}, small, "bad image size."},
        {"in.txt 2 1 big out.txt", small, "bad image size: big."},
        {"in.txt 2 1 2000000000 out.txt", small, "bad image size."},  // 8 K^2 beyond 2^64
        {"in.txt 2 1 0 x out.txt", small, "bad image size."},
        {{"in.txt 2 1 4 hann out.txt", "in.txt 2 1 4 Chesler out.txt", "in.txt 2 1 4 '' out.txt"},
         small, "unknown kernel (chesler, shepp or ramachandran)."},
        {"in.txt 2 1 600 /dev/full", small, "/dev/full: data write error."},
        {"in.txt 2 1 600 - >/dev/full", small, "data write error."},
        // An interval so small that the image could not be finite; samples
        // so large that it is not.
        {"in.txt 2 1e-320 out.txt", small, "bad detector interval."},
        {"in.txt 2 1 out.txt", SinogramBytes(5, 4, huge.data()), "result out of range."},
        // The scan's geometry: angles, pixel and center of the image.
        {"-a - in.txt 2 1 out.txt", small, "angles: 0 angles for 4 views."},
        {"-a missing.txt in.txt 2 1 out.txt", small, "missing.txt: file not found."},
        {"-a in.txt in.txt 2 1 out.txt", small, "in.txt: data read error."},
        {"-a /dev/zero in.txt 2 1 out.txt", small, "/dev/zero: data read error."},
        {"-a", small, "option -a needs a value (ANGLES)."},
        {"-w half in.txt 2 1 out.txt", small, "unknown gap weights (part, even or ends)."},
        {{"-p 0 in.txt 2 1 out.txt", "-p -1 in.txt 2 1 out.txt", "-p inf in.txt 2 1 out.txt"},
         small, "bad pixel size."},
        {"-p 0x1 in.txt 2 1 out.txt", small, "bad pixel size: 0x1."},
        {"-o 1,2x in.txt 2 1 out.txt", small, "bad image center: 1,2x."},
        {"-o 3 in.txt 2 1 out.txt", small, "bad image center: 3."},
        {{"-o nan,0 in.txt 2 1 out.txt", "-o 0,1e999 in.txt 2 1 out.txt"}, small, "bad image center."},
        {{"-M fft in.txt 2 1 out.txt", "-M FBP in.txt 2 1 out.txt"}, small, "unknown method (fbp or fourier)."},
        {"-M", small, "option -M needs a value (METHOD)."},
        {"-M fourier in.txt 2 1 /dev/full", small, "/dev/full: data write error."},
        {"-M fourier in.txt 2 1 out.txt", SinogramBytes(5, 4, huge.data()), "result out of range."},
        // A sample that is not finite would spread over the whole image:
        // named after the arguments are checked.
        {{"in.txt 2 1 out.txt", "-M fourier in.txt 2 1 out.txt"}, nan_sg, "in.txt: sample not finite (view 2, column 3)."},
        {"in.txt 2 1 4 shepp out.txt", inf_sg, "in.txt: sample not finite (view 0, column 4)."},
        {"- 2 1 out.txt < in.txt", nan_sg, "sample not finite (view 2, column 3)."},
        {"in.txt 2 0 out.txt", nan_sg, "bad detector interval."},
        {"-o 3 in.txt 2 1 out.txt", nan_sg, "bad image center: 3."},
        // A mistyped option is the usage; after "--" the word is a name for
        // standard input (empty here).
        {"-x in.txt 2 1 out.txt", small, "unknown option -x."},
        {"-- -x 2 1 out.txt", "", "bad number of pixels."},
        // An output name forgotten or mistyped: the kernel, the sinogram or
        // a file of another kind in its place is refused, not replaced.
        {"in.txt 2 1 4 chesler", small, "chesler: is a kernel; give the image a new name."},
        {"in.txt 2 1 shepp", small, "shepp: is a kernel; give the image a new name."},
        {{"in.txt 2 1 in.txt", "-M fourier in.txt 2 1 4 in.txt"}, small, "in.txt: output is an input."},
        {"in.txt 2 1 ./in.txt", small, "./in.txt: output is an input."},
        {"-a $(printf '0\\n45\\n90\\n135\\n' >a.txt; echo a.txt) in.txt 2 1 a.txt", small, "a.txt: output is an input."},
        {"in.txt 2 1 " TIFF_FILE("s.tif"), small, "s.tif: exists and is not an image; give the image a new name."},
        {"in.txt 2 1 " HDF5_FILE("s.h5"), small, "s.h5: exists and is not an image; give the image a new name."},
        {"in.txt 2 1 " TEXT_FILE("notes"), small, "notes: exists and is not an image; give the image a new name."},
    };
    ExpectFailures("sino_recon", cases);
}


// The axis and the interval given the wrong way round ("1 31.5" for a
// detector of 64 whose axis is at 31.5) make an image some 30 times too
// faint about the wrong axis: a warning suggests the swap. An axis near
// an end with an interval of 1 (a region of interest) and ordinary runs
// are not warned about.
TEST(SinoReconCli, AnAxisAndIntervalSwappedAreWarnedAbout) {
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(64, 8, Ramp(512, 0.01, 64, 0).data()));
    const std::string swapped = "warning: the axis (1) lies near an end of the detector and the interval (31.5) where "
                                "an axis would: were they swapped? c comes before interval.\n";
    const struct {
        const char *args;
        std::string err;
    } cases[] = {
        {"in.sg 1 31.5 out.img", swapped},
        {"-M fourier in.sg 1 31.5 out.img", swapped},
        {"in.sg 1 31.5 16 shepp out.img", swapped},
        {"in.sg 62.5 20 out.img", "warning: the axis (62.5) lies near an end of the detector and the interval (20) "
                                  "where an axis would: were they swapped? c comes before interval.\n"},
        {"in.sg 31.5 1 out.img", ""},
        {"in.sg 31.5 31.5 out.img", ""},
        {"in.sg 1 1 out.img", ""},
        {"in.sg 4 0.0065 out.img", ""},
        {"in.sg 8 31.5 out.img", ""},
    };
    for (const auto &c : cases) {
        RunResult r = scratch.Run(std::string("\"$BIN/sino_recon\" ") + c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}

// An angle is a whole word: a NUL byte ends strtod's reading inside one,
// and what follows it must not be dropped. sino_center reads -a the same way.
TEST(SinoReconCli, ANulByteOrADecimalCommaInAnAngleIsNoNumber) {
    const std::string sinogram = SinogramBytes(64, 16, Ramp(64 * 16, 0.25, 7, -0.5).data());
    std::string angles("0\0junk\n", 7);
    for (int k = 1; k < 16; ++k) angles += std::to_string(k * 180 / 16.0) + "\n";
    const struct {
        const char *command;
        const char *err;
    } cases[] = {
        {"\"$BIN/sino_recon\" -a nul.txt in.sg 31.5 1 out.img", "nul.txt: data read error.\n"},
        {"\"$BIN/sino_center\" -a nul.txt in.sg", "nul.txt: data read error.\n"},
        // A spreadsheet's decimal comma is named, for every reader of -a.
        {"\"$BIN/sino_recon\" -a comma.txt in.sg 31.5 1 out.img", "comma.txt: decimal comma in 11,25: angles take a point.\n"},
        {"\"$BIN/sino_iter\" -a comma.txt in.sg 31.5 1 out.img", "comma.txt: decimal comma in 11,25: angles take a point.\n"},
    };
    std::string comma = "0\n11,25\n";
    for (int k = 2; k < 16; ++k) comma += std::to_string(k * 180 / 16.0) + "\n";
    for (const auto &c : cases) {
        Scratch scratch;
        scratch.Write("in.sg", sinogram);
        scratch.Write("nul.txt", angles);
        scratch.Write("comma.txt", comma);
        RunResult r = scratch.Run(c.command);
        EXPECT_EQ(r.status, 1) << c.command;
        EXPECT_EQ(r.err, c.err) << c.command;
        EXPECT_FALSE(scratch.Exists("out.img")) << c.command;
    }
}

// A sinogram kept as a TIFF (sino_tiff's, of 64-bit floats) is read as the
// sinogram by every program that reads one, as sino_stat and sino_view
// read it.
TEST(SinoReconCli, ASinogramAsATiffReadsAsTheSinogram) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/phantom_sino\" shepp-logan:20 64 31.5 90 in.sg && "
                          "\"$BIN/sino_tiff\" in.sg 64 in.tif")
                  .status,
              0);
    const char *commands[] = {
        "\"$BIN/sino_recon\" @ 31.5 1 out.img",
        "\"$BIN/sino_iter\" -i 2 @ 31.5 1 32 out.img",
        "\"$BIN/sino_center\" @ > out.img",
        "\"$BIN/sino_rings\" @ out.img",
    };
    for (const char *command : commands) {
        std::string text = command;
        std::size_t at = text.find('@');
        std::string sg = text, tif = text;
        // Each program replaces only its own kind of file: sino_center's
        // text is not a sinogram for sino_rings to write over.
        scratch.Run("rm -f out.img");
        RunResult a = scratch.Run(sg.replace(at, 1, "in.sg"));
        ASSERT_EQ(a.status, 0) << command << ": " << a.err;
        std::string want = scratch.Read("out.img");
        RunResult b = scratch.Run(tif.replace(at, 1, "in.tif"));
        EXPECT_EQ(b.status, 0) << command << ": " << b.err;
        EXPECT_EQ(b.err, a.err) << command;
        EXPECT_TRUE(scratch.Read("out.img") == want) << command;
    }
}

TEST(SinoReconCli, AnImageBeyondMemoryLeavesNoFile) {
    // 1.5e9 x 1.5e9 doubles pass the size check (just below 2^64 bytes) and
    // cannot be had. The sanitizers' allocator must return null here, as
    // the plain one does, instead of ending the process (it says so on a
    // line of its own first).
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(5, 4, Ramp(20, 0.25, 7, -0.5).data()));
    RunResult r = scratch.Run("ASAN_OPTIONS=\"$ASAN_OPTIONS:allocator_may_return_null=1\" "
                              "\"$BIN/sino_recon\" in.sg 2 1 1500000000 out.img");
    EXPECT_EQ(r.status, 1);
    // The last line (npos + 1 is 0: the whole text when there is one line).
    std::string last = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
    EXPECT_EQ(last, "memory allocation error.\n");
    EXPECT_FALSE(scratch.Exists("out.img"));
}

TEST(SinoReconCli, ClosedStandardOutputIsAWriteError) {
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(5, 4, Ramp(20, 0.25, 7, -0.5).data()));
    RunResult r = scratch.Run("\"$BIN/sino_recon\" in.sg 2 1 - >&-");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "data write error.\n");
    // With standard error closed, the image must not take the message.
    r = scratch.Run("\"$BIN/sino_recon\" in.sg 0 1 out.img 2>&-");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(scratch.Exists("out.img"));
}

TEST(SinoReconCli, SinogramCutAtEveryByte) {
    const std::string sinogram = SinogramBytes(5, 4, Ramp(20, 0.25, 7, -0.5).data());
    for (std::size_t cut = 0; cut <= sinogram.size(); ++cut) {
        Scratch scratch;
        scratch.Write("cut.sg", sinogram.substr(0, cut));
        bool header = cut >= 3;  // "5\t4" parses even without its line feed
        bool complete = cut == sinogram.size();
        RunResult r = scratch.Run("\"$BIN/sino_recon\" cut.sg 2 1 out.img");
        EXPECT_EQ(r.status, complete ? 0 : 1) << cut;
        EXPECT_EQ(r.err, complete ? "" : header ? "cut.sg: data read error.\n" : "cut.sg: bad number of pixels.\n") << cut;
        EXPECT_EQ(scratch.Exists("out.img"), complete) << cut;
        if (complete) {
            EXPECT_EQ(scratch.Read("out.img").size(), 4u + 8 * 25);
        }
    }
}

// The samples of an image file after its header, which must be "K\tK\n".
std::vector<double> ImageSamples(const std::string &bytes, int size) {
    std::string header = std::to_string(size) + "\t" + std::to_string(size) + "\n";
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    std::vector<double> samples = SamplesAfterHeader(bytes);
    if (samples.size() * 8 != bytes.size() - header.size() || samples.size() != static_cast<std::size_t>(size) * size) {
        ADD_FAILURE() << "image of " << bytes.size() << " bytes";
        samples.assign(static_cast<std::size_t>(size) * size, 0);
    }
    return samples;
}

// A ring of unit density, radii 40 and 60, centered at (20.5, -10.5): in a
// 256 x 256 image its center is column 127.5 + 20.5 = 148, row
// 127.5 + 10.5 = 138.
const char *const kRing = "\"$BIN/disk_sino\" 256 20.5 -10.5 60 -40 360 ring.sg";

TEST(SinoReconCli, SameImageForAnyNumberOfThreads) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run(kRing).status, 0);
    RunResult r = scratch.Run("\"$BIN/sino_recon\" ring.sg 127.5 1 200 shepp all.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string all = scratch.Read("all.img");
    EXPECT_EQ(all.size(), 8u + 8 * 200 * 200);
    ExpectSameBytesForThreads(scratch, "\"$BIN/sino_recon\" ring.sg 127.5 1 200 shepp threads.img", "threads.img", all);
    // -M fbp is the default; the gridding too gives the same bytes.
    r = scratch.Run("\"$BIN/sino_recon\" -M fbp ring.sg 127.5 1 200 shepp fbp.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Read("fbp.img") == all);
    r = scratch.Run("\"$BIN/sino_recon\" -M fourier ring.sg 127.5 1 200 shepp fourier.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string fourier = scratch.Read("fourier.img");
    EXPECT_EQ(fourier.size(), all.size());
    EXPECT_FALSE(fourier == all);
    ExpectSameBytesForThreads(scratch, "\"$BIN/sino_recon\" -M fourier ring.sg 127.5 1 200 shepp threads.img",
                              "threads.img", fourier, {1, 3});
}

TEST(SinoReconCli, AnImageFarFromTheAxisIsFiniteEitherWayAndSaidEmpty) {
    // Detector positions beyond the double range for some views, huge but
    // finite for others (whose phases must not overflow), and pixels so
    // wide that the frequencies fold many times.
    Scratch scratch;
    ASSERT_EQ(scratch.Run(kRing).status, 0);
    // An image no ray meets is said to be empty: the rays reach 128.5
    // intervals from the axis, and the image's edge is 8 pixels from its
    // centre.
    const std::string outside =
        "warning: the image lies outside the field of view (the rays reach 128.5 detector intervals from the axis; "
        "-o is in detector intervals): it is empty.\n";
    const struct {
        const char *options;
        bool empty;
    } images[] = {{"-o 1e308,1e308", true}, {"-o 1e300,-3", true}, {"-p 1e300", false}, {"-p 9 -o 40,-7", false},
                  {"-o 137,0", true},       {"-o 0,-136", false},  {"-o 100,100", true}};
    for (const auto &image : images)
        for (const char *method : {"fbp", "fourier"}) {
            RunResult r = scratch.Run(std::string("\"$BIN/sino_recon\" -M ") + method + " " + image.options +
                                      " ring.sg 127.5 1 16 far.img");
            EXPECT_EQ(r.status, 0) << method << " " << image.options << ": " << r.err;
            EXPECT_EQ(r.err, image.empty ? outside : "") << image.options;
            for (double v : ImageSamples(scratch.Read("far.img"), 16)) ASSERT_TRUE(std::isfinite(v)) << image.options;
        }
}

TEST(SinoReconCli, AHugeThreadCountStartsNoMoreThreadsThanThereIsWork) {
    // A million threads asked for, four views and one tile of pixels: the
    // runtime could not start such a team (it crashed), and the filter
    // would have made a million work arrays.
    Scratch scratch;
    scratch.Write("in.sg", SinogramBytes(5, 4, Ramp(20, 0.25, 7, -0.5).data()));
    RunResult r = scratch.Run("OMP_NUM_THREADS=1 \"$BIN/sino_recon\" in.sg 2 1 9 one.img && "
                              "OMP_NUM_THREADS=1000000 \"$BIN/sino_recon\" in.sg 2 1 9 many.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(scratch.Read("many.img") == scratch.Read("one.img"));
}

TEST(SinoReconCli, RingPhantomReconstructsToItsDensities) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run(kRing).status, 0);
    for (const char *method : {"fbp", "fourier"}) {
    RunResult r = scratch.Run(std::string("\"$BIN/sino_recon\" -M ") + method + " ring.sg 127.5 1 ring.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<double> image = ImageSamples(scratch.Read("ring.img"), 256);
    double squares = 0, inside = 0, column_moment = 0, row_moment = 0;
    int counted = 0;
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            double value = image[256 * row + column];
            if (value > 0.5) {  // the ring itself, for its center
                inside += 1;
                column_moment += column;
                row_moment += row;
            }
            double distance = std::hypot(column - 148.0, row - 138.0);
            // Away from the ring's edges, where the kernel smooths the step.
            if (std::fabs(distance - 40) <= 2 || std::fabs(distance - 60) <= 2) continue;
            double density = distance > 40 && distance < 60 ? 1 : 0;
            squares += (value - density) * (value - density);
            ++counted;
        }
    }
    double rms = std::sqrt(squares / counted);
    EXPECT_LT(rms, 0.02) << method;
    // The ring's center: a sign or half-pixel fault in the geometry moves
    // it by half a pixel or more.
    EXPECT_NEAR(column_moment / inside, 148, 0.05) << method;
    EXPECT_NEAR(row_moment / inside, 138, 0.05) << method;
    std::printf("ring phantom, %s: RMS error %.4f over %d pixels\n", method, rms, counted);
    }
}

TEST(SinoReconCli, DefaultsAreTheSinogramsWidthAndChesler) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_sino\" 64 3 -2 20 -10 90 in.sg").status, 0);
    RunResult r = scratch.Run(
        "\"$BIN/sino_recon\" in.sg 31.5 2 a.img && \"$BIN/sino_recon\" in.sg 31.5 2 64 b.img && "
        "\"$BIN/sino_recon\" in.sg 31.5 2 64 chesler c.img && \"$BIN/sino_recon\" in.sg 31.5 2 64 shepp d.img && "
        "\"$BIN/sino_recon\" in.sg 31.5 2 64 ramachandran e.img && \"$BIN/sino_recon\" - 31.5 2 - < in.sg > f.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string a = scratch.Read("a.img");
    EXPECT_EQ(a.substr(0, 6), "64\t64\n");
    EXPECT_TRUE(a == scratch.Read("b.img"));
    EXPECT_TRUE(a == scratch.Read("c.img"));
    EXPECT_TRUE(a == scratch.Read("f.img"));
    EXPECT_FALSE(a == scratch.Read("d.img"));
    EXPECT_FALSE(a == scratch.Read("e.img"));
    EXPECT_FALSE(scratch.Read("d.img") == scratch.Read("e.img"));
    // The image never replaces its own sinogram (an output name left off);
    // it replaces an earlier image.
    const std::string sinogram = scratch.Read("in.sg");
    r = scratch.Run("\"$BIN/sino_recon\" in.sg 31.5 2 in.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(scratch.Read("in.sg") == sinogram);
    r = scratch.Run("\"$BIN/sino_recon\" in.sg 31.5 2 64 shepp a.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Read("a.img") == scratch.Read("d.img"));
}

TEST(SinoReconCli, SymmetricObjectGivesAxReconsValues) {
    // A disk of radius 30 with a density step, as a profile; ax_expand's
    // sinogram of it reconstructed about column n - 1 = 49: the middle row
    // holds the values ax_recon prints, which have six decimals.
    const int n = 50;
    std::ostringstream profile;
    profile << n << "\n";
    for (int j = 0; j < n; ++j) {
        double chord = j < 30 ? 2 * std::sqrt(900.0 - j * j) : 0;
        double core = j < 12 ? 2 * std::sqrt(144.0 - j * j) : 0;
        profile << chord + core << "\n";
    }
    Scratch scratch;
    scratch.Write("profile.txt", profile.str());
    RunResult r = scratch.Run(
        "\"$BIN/ax_expand\" profile.txt 180 disk.sg && \"$BIN/sino_recon\" disk.sg 49 0.5 disk.img && "
        "\"$BIN/ax_recon\" profile.txt 180 0.5 ct.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> image = ImageSamples(scratch.Read("disk.img"), 2 * n - 1);
    std::istringstream printed(scratch.Read("ct.txt"));
    int count = 0;
    printed >> count;
    ASSERT_EQ(count, n);
    for (int j = 0; j < n; ++j) {
        double value = 0;
        printed >> value;
        const double *axis_row = image.data() + (2 * n - 1) * (n - 1);
        EXPECT_NEAR(axis_row[n - 1 + j], value, 6e-7) << j;
        EXPECT_NEAR(axis_row[n - 1 - j], value, 6e-7) << j;
    }
}

// Disks of unit density (radius R at (x, y); a negative radius subtracts)
// projected analytically at any angles onto n detectors, axis at c: the
// ray at detector i passes at i - c from the axis, and a disk's chord is
// 2 sqrt(R^2 - d^2) at the distance d from its center's position
// c + x cos + y sin.
struct Disk {
    double x, y, radius;
};

std::string DiskSinogram(int n, double c, const std::vector<double> &degrees, const std::vector<Disk> &disks) {
    std::vector<double> samples(degrees.size() * static_cast<std::size_t>(n), 0.0);
    for (std::size_t k = 0; k < degrees.size(); ++k) {
        double theta = degrees[k] * 3.141592653589793 / 180;
        for (const Disk &d : disks) {
            double at = c + d.x * std::cos(theta) + d.y * std::sin(theta);
            for (int i = 0; i < n; ++i) {
                double t = i - at, r = std::fabs(d.radius);
                if (t * t < r * r) samples[k * n + i] += (d.radius > 0 ? 2 : -2) * std::sqrt(r * r - t * t);
            }
        }
    }
    return SinogramBytes(n, static_cast<int>(degrees.size()), samples.data());
}

std::string AngleText(const std::vector<double> &degrees) {
    std::string text;
    char line[64];
    for (double d : degrees) {
        std::snprintf(line, sizeof line, "%.17g\n", d);
        text += line;
    }
    return text;
}

// The RMS difference of two images within `radius` pixels of their center.
double RmsWithin(const std::vector<double> &a, const std::vector<double> &b, int size, double radius) {
    double squares = 0;
    int count = 0;
    double half = (size - 1) / 2.0;
    for (int r = 0; r < size; ++r) {
        for (int j = 0; j < size; ++j) {
            if (std::hypot(j - half, r - half) > radius) continue;
            double d = a[static_cast<std::size_t>(r) * size + j] - b[static_cast<std::size_t>(r) * size + j];
            squares += d * d;
            ++count;
        }
    }
    return std::sqrt(squares / count);
}

TEST(SinoReconCli, AnyAnglesReconstructAsWellAsTheHalfTurn) {
    // Each scan, given its angles with -a, against the plain half turn with
    // as many distinct directions: within 10 % of its error against the
    // truth.
    const std::vector<Disk> phantom = {{20.5, -10.5, 60}, {20.5, -10.5, -40}, {-40, 30, 15}};
    auto degrees = [](int count, double first, double step) {
        std::vector<double> d(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) d[static_cast<std::size_t>(k)] = first + k * step;
        return d;
    };
    std::vector<double> golden(500), uneven = degrees(360, 0, 0.5);
    for (int k = 0; k < 500; ++k) golden[static_cast<std::size_t>(k)] = std::fmod(k * 111.24611797498108, 180.0);
    // Views crowded in places and sparse in others (gaps from 0.12 to 0.88
    // degrees), in order: each must weigh the angle it stands for.
    for (std::size_t k = 0; k < uneven.size(); ++k) {
        double u = k / 360.0;
        uneven[k] = 180 * (u - 0.12 * std::sin(2 * 3.141592653589793 * u));
    }
    struct Case {
        const char *name;
        std::vector<double> angles;
        int plain;  // views of the half turn it is held against
    };
    const Case cases[] = {
        {"0 to 180 inclusive", degrees(361, 0, 0.5), 360},
        {"full turn", degrees(720, 0, 0.5), 360},
        {"decreasing", degrees(360, 179.5, -0.5), 360},
        {"golden angle", golden, 500},
        {"uneven", uneven, 360},
    };
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_image\" 256 20.5 -10.5 60 -40 truth_ring.img && "
                          "\"$BIN/disk_image\" 256 -40 30 15 truth_disk.img && "
                          "\"$BIN/sino_stat\" truth_ring.img > /dev/null")
                  .status,
              0);
    std::vector<double> ring = ImageSamples(scratch.Read("truth_ring.img"), 256);
    std::vector<double> disk = ImageSamples(scratch.Read("truth_disk.img"), 256);
    std::vector<double> truth(ring.size());
    for (std::size_t i = 0; i < truth.size(); ++i) truth[i] = ring[i] + disk[i];
    for (const Case &c : cases) {
        scratch.Write("plain.sg", DiskSinogram(256, 127.5, degrees(c.plain, 0, 180.0 / c.plain), phantom));
        scratch.Write("scan.sg", DiskSinogram(256, 127.5, c.angles, phantom));
        scratch.Write("angles.txt", AngleText(c.angles));
        RunResult r = scratch.Run("\"$BIN/sino_recon\" plain.sg 127.5 1 plain.img && "
                                  "\"$BIN/sino_recon\" -a angles.txt scan.sg 127.5 1 scan.img");
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.name;
        double plain = RmsWithin(ImageSamples(scratch.Read("plain.img"), 256), truth, 256, 110);
        double scan = RmsWithin(ImageSamples(scratch.Read("scan.img"), 256), truth, 256, 110);
        EXPECT_LE(scan, 1.1 * plain) << c.name << ": " << scan << " against " << plain;
        std::printf("%s: RMS error %.5f, the half turn of %d views %.5f\n", c.name, scan, c.plain, plain);
    }
    // The decreasing scan read as the toolkit's own order is mirrored: the
    // angles are what set it right.
    scratch.Write("scan.sg", DiskSinogram(256, 127.5, degrees(360, 179.5, -0.5), phantom));
    ASSERT_EQ(scratch.Run("\"$BIN/sino_recon\" scan.sg 127.5 1 wrong.img").status, 0);
    EXPECT_GT(RmsWithin(ImageSamples(scratch.Read("wrong.img"), 256), truth, 256, 110), 0.1);
}

// Angles in radians (-a) are told by their shape -- a half or whole turn,
// or a limited range packed too close for degrees -- read as radians with a
// warning, and give the image of the same angles in degrees; the degree
// lists beside them are read as they are.
TEST(SinoReconCli, AnglesInRadiansAreToldByTheirShape) {
    struct Case {
        const char *name;
        int count;
        double step;       // degrees
        const char *span;  // what the warning says of the radians
    };
    const Case cases[] = {
        {"half turn", 180, 1, "span about pi"},
        {"whole turn", 360, 1, "span about 2 pi"},
        {"120 degrees", 360, 1.0 / 3, "span only 2.08858, 119.667 degrees as radians"},
        {"30 degrees", 100, 0.3, "span only 0.518363, 29.7 degrees as radians"},
    };
    Scratch scratch;
    for (const Case &c : cases) {
        std::vector<double> degrees(static_cast<std::size_t>(c.count)), radians(degrees.size());
        for (int k = 0; k < c.count; ++k) {
            degrees[static_cast<std::size_t>(k)] = k * c.step;
            radians[static_cast<std::size_t>(k)] = k * c.step * 3.141592653589793 / 180;
        }
        scratch.Write("scan.sg", DiskSinogram(64, 31.5, degrees, {{5, 3, 20}}));
        scratch.Write("deg.txt", AngleText(degrees));
        scratch.Write("rad.txt", AngleText(radians));
        RunResult d = scratch.Run("\"$BIN/sino_recon\" -a deg.txt scan.sg 31.5 1 deg.img 2> /dev/null");
        ASSERT_EQ(d.status, 0) << c.name;
        RunResult r = scratch.Run("\"$BIN/sino_recon\" -a rad.txt scan.sg 31.5 1 rad.img");
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
                  std::string("warning: rad.txt: the angles read as radians (their values ") + c.span + ").\n")
            << c.name;
        std::vector<double> a = ImageSamples(scratch.Read("deg.img"), 64), b = ImageSamples(scratch.Read("rad.img"), 64);
        ASSERT_EQ(a.size(), b.size()) << c.name;
        for (std::size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 1e-9) << c.name << " at " << i;
        // The degree list says nothing of radians.
        r = scratch.Run("\"$BIN/sino_recon\" -a deg.txt scan.sg 31.5 1 deg.img");
        EXPECT_EQ(r.err.find("radians"), std::string::npos) << c.name << ": " << r.err;
        // sino_iter reads -a the same way.
        r = scratch.Run("\"$BIN/sino_iter\" -i 2 -a rad.txt scan.sg 31.5 1 32 rad.img && "
                        "\"$BIN/sino_iter\" -i 2 -a deg.txt scan.sg 31.5 1 32 deg.img 2> /dev/null");
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.err.find("warning: rad.txt: the angles read as radians"), 0u) << c.name << ": " << r.err;
        a = ImageSamples(scratch.Read("deg.img"), 32), b = ImageSamples(scratch.Read("rad.img"), 32);
        for (std::size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 1e-9) << c.name << " sino_iter at " << i;
    }
}

TEST(SinoReconCli, ALimitedRangeIsReconstructedWithAWarning) {
    Scratch scratch;
    std::vector<double> range(161);
    for (int k = 0; k <= 160; ++k) range[static_cast<std::size_t>(k)] = k;
    scratch.Write("scan.sg", DiskSinogram(64, 31.5, range, {{5, 3, 20}}));
    scratch.Write("angles.txt", AngleText(range));
    RunResult r = scratch.Run("\"$BIN/sino_recon\" -a angles.txt scan.sg 31.5 1 out.img");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "warning: limited range: the views leave a gap of 20 degrees after 160 degrees; "
                     "sino_iter's total variation suits limited ranges.\n");
    EXPECT_EQ(scratch.Read("out.img").size(), 6u + 8 * 64 * 64);
    // The gap's weights: the default is -w part; the three differ.
    for (const char *gap : {"part", "even", "ends"}) {
        r = scratch.Run(std::string("\"$BIN/sino_recon\" -w ") + gap + " -a angles.txt scan.sg 31.5 1 " + gap + ".img");
        EXPECT_EQ(r.status, 0) << r.err;
    }
    EXPECT_TRUE(scratch.Read("part.img") == scratch.Read("out.img"));
    EXPECT_FALSE(scratch.Read("part.img") == scratch.Read("even.img"));
    EXPECT_FALSE(scratch.Read("part.img") == scratch.Read("ends.img"));
    EXPECT_FALSE(scratch.Read("even.img") == scratch.Read("ends.img"));
}

TEST(SinoReconCli, ARegionIsTheCropOfTheLargerImage) {
    // Pixels of half an interval: the whole field in 512 x 512, and 64 x 64
    // centered at (10, -5), whose pixel (0, 0) is the large image's
    // (244, 234).
    Scratch scratch;
    ASSERT_EQ(scratch.Run(kRing).status, 0);
    RunResult r = scratch.Run("\"$BIN/sino_recon\" -p 0.5 ring.sg 127.5 1 512 whole.img && "
                              "\"$BIN/sino_recon\" -p 0.5 -o 10,-5 ring.sg 127.5 1 64 part.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> whole = ImageSamples(scratch.Read("whole.img"), 512);
    std::vector<double> part = ImageSamples(scratch.Read("part.img"), 64);
    for (int row = 0; row < 64; ++row) {
        for (int column = 0; column < 64; ++column) {
            double expected = whole[static_cast<std::size_t>(row + 234) * 512 + column + 244];
            ASSERT_NEAR(part[static_cast<std::size_t>(row) * 64 + column], expected, 1e-12 * (1 + std::fabs(expected)))
                << row << " " << column;
        }
    }
}

// Three small sinograms in sinograms/ and each one's image made directly.
void WriteSlices(const Scratch &scratch) {
    RunResult r = scratch.Run(
        "mkdir sinograms expected && "
        "\"$BIN/disk_sino\" 512 0 0 200 -100 90 sinograms/a.sg && "
        "\"$BIN/disk_sino\" 512 30 -20 150 90 sinograms/b.sg && "
        "\"$BIN/disk_sino\" 512 -50 10 100 -60 40 90 sinograms/c.sg && "
        "for s in a b c; do \"$BIN/sino_recon\" sinograms/$s.sg 255.5 1 expected/$s.img || exit 1; done");
    ASSERT_EQ(r.status, 0) << r.err;
}

void ExpectSlices(const Scratch &scratch) {
    for (const char *slice : {"a", "b", "c"}) {
        std::string name = std::string("images/") + slice + ".img";
        ASSERT_TRUE(scratch.Exists(name)) << name;
        EXPECT_TRUE(scratch.Read(name) == scratch.Read(std::string("expected/") + slice + ".img")) << name;
    }
}

TEST(SinoReconCli, ManySlicesWithGnuParallel) {
    Scratch scratch;
    if (scratch.Run("command -v parallel").status != 0) GTEST_SKIP() << "GNU parallel is not installed";
    std::string recipe = DocRecipe("doc/guide/volumes.md", "## Many slices");
    ASSERT_NE(recipe.find("parallel"), std::string::npos) << recipe;
    WriteSlices(scratch);
    RunResult r = scratch.Run("PATH=\"$BIN:$PATH\"; export PATH; " + recipe);
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectSlices(scratch);
}

TEST(SinoReconCli, SlurmArrayScriptAsAPlainScript) {
    // Not under Slurm: each array task run by hand with its task id.
    Scratch scratch;
    WriteSlices(scratch);
    std::string script = std::string(CT_SOURCE_DIR) + "/examples/sino_recon_slurm.sh";
    RunResult r = scratch.Run("bash -n '" + script + "' && PATH=\"$BIN:$PATH\"; export PATH; for t in 0 1 2; do "
                              "SLURM_ARRAY_TASK_ID=$t SLURM_CPUS_PER_TASK=1 bash '" + script +
                              "' || exit 1; done");
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectSlices(scratch);
}

}  // namespace

namespace {

// Views over the whole turn about an axis off the middle (half
// acquisition): reconstructed unfolded they give a wrong image, which
// sino_recon says; about the middle, or over a half turn, nothing is said.
TEST(SinoReconCli, AHalfAcquisitionScanIsToldToBeFoldedFirst) {
    Scratch scratch;
    RunResult r = scratch.Run(
        "awk 'BEGIN { for (k = 0; k < 120; ++k) print k * 3 }' > turn.txt && "
        "\"$BIN/phantom_sino\" -a turn.txt shepp-logan:20 64 15.5 120 off.sg && "
        "\"$BIN/phantom_sino\" -a turn.txt shepp-logan:20 64 31.5 120 mid.sg && "
        "\"$BIN/phantom_sino\" shepp-logan:20 64 15.5 60 half.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string told =
        "warning: the views cover the whole turn and the axis lies off the middle (half acquisition?): fold them "
        "first (sino_fold); as they are, the image is wrong.\n";
    for (const char *method : {"fbp", "fourier"}) {
        r = scratch.Run(std::string("\"$BIN/sino_recon\" -M ") + method + " -a turn.txt off.sg 15.5 1 o.img");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, told) << method;
    }
    EXPECT_EQ(scratch.Run("\"$BIN/sino_recon\" -a turn.txt mid.sg 31.5 1 m.img").err, "");
    EXPECT_EQ(scratch.Run("\"$BIN/sino_recon\" half.sg 15.5 1 h.img").err, "");
}

}  // namespace

// Scans given as what they are not, warned of; the ordinary scans beside
// them are not. Without -a the views are taken for an even half turn: a
// whole turn (360 views of the head at 0 ... 359 degrees) is then
// reconstructed from views put at half their angles, and says so by view
// k + 180 mirroring view k; one view makes an image of that view smeared
// across it. A half turn (of the head, noisy, with its last view at 180
// degrees), a disc, or the whole turn with its angles given, are quiet.
const char *const kWholeTurnWarning =
    "warning: the views look like a whole turn (view k + M/2 mirrors view k): give the angles with -a; as a half "
    "turn the image is wrong.\n";
const char *const kOneViewWarning =
    "warning: one view: the image is that projection smeared across it (a slice needs views over a half turn).\n";

TEST(SinoReconCli, ScansGivenAsWhatTheyAreNotAreWarnedOf) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run(MisgivenScansCommand(40, 128, 63.5, 66.5) + " && \"$BIN/disk_sino\" 128 0 0 40 360 disc.sg")
                  .status,
              0);
    const struct {
        const char *args;
        const char *err;
    } cases[] = {
        {"whole.sg 63.5 1", kWholeTurnWarning},
        {"-M fourier whole.sg 63.5 1", kWholeTurnWarning},
        {"whole.sg 61 1", kWholeTurnWarning},  // the axis given a little off
        {"whole_noisy.sg 66.5 0.05", kWholeTurnWarning},
        {"one.sg 63.5 1", kOneViewWarning},
        {"-a whole.txt whole.sg 63.5 1", ""},
        {"half.sg 63.5 1", ""},
        {"half_noisy.sg 66.5 0.05", ""},
        {"closed.sg 63.5 1", ""},
        {"disc.sg 63.5 1", ""},
    };
    for (const auto &c : cases) {
        RunResult r = scratch.Run(std::string("\"$BIN/sino_recon\" ") + c.args + " out.img");
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
        EXPECT_TRUE(scratch.Exists("out.img")) << c.args;
    }
}
