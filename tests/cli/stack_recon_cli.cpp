// stack_recon run as users run it, on beamline-style scans of ellipses
// (16-bit TIFF with flats and darks, Data Exchange HDF5 with its angles):
// each slice equals proj_sino then sino_recon of its row; the axis found
// from the data; a tilted axis followed; bands, threads and parts that
// change no byte; peak memory within the budget; the progress line; and
// every failure, with no volume left that looks complete.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hdf5.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include "cli/ellipse_scan.h"
#include "cli/run.h"
#include "cli/tiff_stack.h"
#include "oracle/center_oracle.h"

namespace {

RunResult StackRecon(const Scratch &scratch, const std::string &args) {
    return scratch.Run("\"$BIN/stack_recon\" " + args);
}

// A small scan: 64 detectors, 4 rows, 90 views, the axis 1.3 right of the middle.
ScanShape Small() {
    ScanShape shape;
    shape.columns = 64;
    shape.rows = 4;
    shape.views = 90;
    shape.axis_offset = 1.3;
    return shape;
}

void WriteScan(const Scratch &scratch, const ScanShape &shape) {
    Scan scan = MakeScan(shape);
    ASSERT_TRUE(WriteScanTiff(scan, scratch.dir));
    ASSERT_TRUE(WriteScanHdf5(scan, scratch.Path("scan.h5")));
    // The angles of the HDF5 file as text, for sino_recon -a.
    std::string text;
    for (double t : scan.theta) {
        char line[40];
        std::snprintf(line, sizeof line, "%.17g\n", t);
        text += line;
    }
    scratch.Write("theta.txt", text);
}

// Every name in the scratch folder but the captured streams, hidden ones included.
std::string Listing(const Scratch &scratch) {
    return scratch.Run("ls -A | grep -v '^\\.std'").out;
}

TEST(StackReconCli, EachSliceEqualsProjSinoThenSinoReconOfItsRow) {
    Scratch scratch;
    WriteScan(scratch, Small());
    const char *center = "32.8";
    RunResult r = StackRecon(scratch, std::string("-c ") + center + " -k shepp -s 48 -f flat.tif -d dark.tif scan.tif vol.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "4 flats, 2 darks.\nvol.tif: 4 slices of 48 x 48.\n");
    r = StackRecon(scratch, std::string("-c ") + center + " -k shepp -s 48 -f flat.tif -d dark.tif scan.tif s_%02d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    r = scratch.Run("\"$BIN/proj_sino\" -f flat.tif -d dark.tif scan.tif p_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::vector<float>> pages = TiffPages(scratch.Path("vol.tif"));
    ASSERT_EQ(pages.size(), 4u);
    // A pattern named .tif or .tiff: each slice a TIFF of one page, the
    // volume's page.
    for (const char *pattern : {"t_%d.tif", "t_%d.tiff"}) {
        r = StackRecon(scratch, std::string("-c ") + center + " -k shepp -s 48 -f flat.tif -d dark.tif scan.tif " + pattern);
        ASSERT_EQ(r.status, 0) << r.err;
        for (int row = 0; row < 4; ++row) {
            char name[32];
            std::snprintf(name, sizeof name, pattern, row);
            std::vector<std::vector<float>> one = TiffPages(scratch.Path(name));
            ASSERT_EQ(one.size(), 1u) << name;
            EXPECT_TRUE(one[0] == pages[static_cast<std::size_t>(row)]) << name;
        }
    }
    for (int row = 0; row < 4; ++row) {
        std::string image = "q_" + std::to_string(row) + ".img";
        r = scratch.Run("\"$BIN/sino_recon\" p_" + std::to_string(row) + ".sg " + center + " 1 48 shepp " + image);
        ASSERT_EQ(r.status, 0) << r.err;
        std::string expected = scratch.Read(image);
        char name[32];
        std::snprintf(name, sizeof name, "s_%02d.img", row);
        // The pattern's images are sino_recon's, byte for byte.
        EXPECT_TRUE(scratch.Read(name) == expected) << row;
        // The TIFF's pages are the same images rounded to float.
        std::vector<double> values = SamplesAfterHeader(expected);
        ASSERT_EQ(values.size(), pages[static_cast<std::size_t>(row)].size());
        for (std::size_t i = 0; i < values.size(); ++i)
            ASSERT_EQ(pages[static_cast<std::size_t>(row)][i], static_cast<float>(values[i])) << row << " " << i;
    }
}

// An HDF5 scan carries its angles: the volume equals sino_recon given
// those angles (-a), and records them and the center beside the slices.
TEST(StackReconCli, ZingersAndLineIntegralsAsProjSinoTakesThem) {
    // -z and -l do what they do in proj_sino: each slice is proj_sino's
    // sinogram of its row, with the same options, then sino_recon's image;
    // the zingers' count is proj_sino's.
    Scratch scratch;
    WriteScan(scratch, Small());
    struct Case {
        const char *stack_options, *proj_options;
    };
    for (const Case &c : {Case{"-z 3 -f flat.tif -d dark.tif", "-z 3 -f flat.tif -d dark.tif"}, Case{"-l", "-l"}}) {
        RunResult stack = StackRecon(scratch, std::string("-c 32.8 -s 40 ") + c.stack_options + " scan.tif s_%d.img");
        ASSERT_EQ(stack.status, 0) << stack.err;
        RunResult proj = scratch.Run(std::string("\"$BIN/proj_sino\" ") + c.proj_options + " scan.tif p_%d.sg");
        ASSERT_EQ(proj.status, 0) << proj.err;
        // proj_sino's lines on standard error come before stack_recon's last one.
        EXPECT_EQ(stack.err, proj.err + "s_%d.img: 4 slices of 40 x 40.\n") << c.stack_options;
        for (int row = 0; row < 4; ++row) {
            std::string name = std::to_string(row);
            RunResult r = scratch.Run("\"$BIN/sino_recon\" p_" + name + ".sg 32.8 1 40 q.img");
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(scratch.Read("s_" + name + ".img") == scratch.Read("q.img")) << c.stack_options << " row " << row;
        }
    }
    RunResult r = StackRecon(scratch, "-c 32.8 -z 3 scan.tif s_%d.img");
    EXPECT_NE(r.err.find(" zingers replaced.\n"), std::string::npos) << r.err;
}

// A limited range: the gap's weights (-w) are sino_recon's, and the
// warning names the gap.
TEST(StackReconCli, ALimitedRangeWeighsItsGapAsSinoRecon) {
    Scratch scratch;
    WriteScan(scratch, Small());
    std::string text;
    for (int k = 0; k < 90; ++k) text += std::to_string(k * 4.0 / 3) + "\n";  // 0 ... 118.7 degrees
    scratch.Write("limited.txt", text);
    ASSERT_EQ(scratch.Run("\"$BIN/proj_sino\" -r 1,1 -f flat.tif scan.tif p_%d.sg").status, 0);
    std::vector<std::string> slices;
    for (const char *gap : {"", "-w even ", "-w ends "}) {
        RunResult r = StackRecon(scratch, std::string("-c 32.8 -s 40 -r 1,1 -f flat.tif -a limited.txt ") + gap +
                                              "scan.tif s_%d.img");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("warning: limited range: the views leave a gap of 61.3333 degrees after 118.667 degrees; "
                             "total variation (-M tv) suits limited ranges.\n"),
                  0u) << r.err;
        r = scratch.Run(std::string("\"$BIN/sino_recon\" -a limited.txt ") + gap + "p_1.sg 32.8 1 40 q.img");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(scratch.Read("s_1.img") == scratch.Read("q.img")) << gap;
        slices.push_back(scratch.Read("s_1.img"));
    }
    EXPECT_FALSE(slices[0] == slices[1]);
    EXPECT_FALSE(slices[1] == slices[2]);
}

TEST(StackReconCli, Hdf5ScansUseTheirAnglesAndRecordThem) {
    Scratch scratch;
    WriteScan(scratch, Small());
    RunResult r = StackRecon(scratch, "-c 32.75 -r 1,2 scan.h5 vol.h5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "vol.h5: 2 slices of 64 x 64.\n");
    r = scratch.Run("\"$BIN/proj_sino\" -r 1,2 scan.h5 p_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> volume = H5Values(scratch.Path("vol.h5"), "/exchange/data");
    ASSERT_EQ(volume.size(), 2u * 64 * 64);
    for (int row = 1; row <= 2; ++row) {
        r = scratch.Run("\"$BIN/sino_recon\" -a theta.txt p_" + std::to_string(row) + ".sg 32.75 1 q.img");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<double> expected = SamplesAfterHeader(scratch.Read("q.img"));
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(static_cast<float>(volume[(row - 1) * 4096 + i]), static_cast<float>(expected[i])) << row << " " << i;
    }
    EXPECT_EQ(H5Values(scratch.Path("vol.h5"), "/exchange/center"), std::vector<double>(2, 32.75));
    std::vector<double> theta = H5Values(scratch.Path("vol.h5"), "/exchange/theta");
    ASSERT_EQ(theta.size(), 90u);
    EXPECT_NEAR(theta[89], 178, 1e-12);
}

double Number(const std::string &text, const std::string &after) {
    std::size_t at = text.find(after);
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + after.size());
}

// The trial's scan: 256 detectors, 8 rows, 360 views, the axis 3.4
// right of the middle (130.9).
TEST(StackReconCli, FindsAKnownAxisWithinAHundredthOfAPixel) {
    Scratch scratch;
    ScanShape shape;
    WriteScan(scratch, shape);
    for (const char *stack : {"-f flat.tif -d dark.tif scan.tif", "scan.h5"}) {
        RunResult r = StackRecon(scratch, std::string(stack) + " vol.tif");
        ASSERT_EQ(r.status, 0) << r.err;
        // Five rows, the center used, the flats and darks counted (with -f),
        // the final line; nothing else.
        bool tiff = stack[1] == 'f';
        const char *rows[] = {"row 0: center ", "row 2: center ", "row 4: center ", "row 5: center ",
                              "row 7: center "};
        for (const char *row : rows) EXPECT_NEAR(Number(r.err, row), 130.9, 0.05) << r.err;
        EXPECT_NEAR(Number(r.err, "\ncenter "), 130.9, 0.05) << r.err;
        std::string end = std::string(" (median of 5 rows)\n") + (tiff ? "4 flats, 2 darks.\n" : "") +
                          "vol.tif: 8 slices of 256 x 256.\n";
        EXPECT_NE(r.err.find(end), std::string::npos) << r.err;
        int lines = 0;
        for (char c : r.err) lines += c == '\n';
        EXPECT_EQ(lines, tiff ? 8 : 7) << r.err;
    }
}

// An axis that moves 0.5 pixel per row: reported, and followed by -c fit.
TEST(StackReconCli, ATiltedAxisIsReportedAndFollowedByAFit) {
    Scratch scratch;
    ScanShape shape;
    shape.columns = 128;
    shape.views = 180;
    shape.axis_offset = -2;
    shape.tilt = 0.5;
    WriteScan(scratch, shape);
    RunResult r = StackRecon(scratch, "-c fit scan.h5 vol.h5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(Number(r.err, "warning: the centers of rows 0 and 7 differ by "), 3.5, 0.1) << r.err;
    // The fit is asked for already: the warning does not offer it.
    EXPECT_NE(r.err.find(" pixels: a tilted axis?\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" x row (fit of 5 rows)\n"), std::string::npos) << r.err;
    std::vector<double> centers = H5Values(scratch.Path("vol.h5"), "/exchange/center");
    ASSERT_EQ(centers.size(), 8u);
    for (int row = 0; row < 8; ++row) EXPECT_NEAR(centers[row], 63.5 - 2 + 0.5 * row, 0.05) << row;
    // A range of rows: the fit is a line in the stack's row numbers, not in
    // the index within the range.
    r = StackRecon(scratch, "-c fit -r 3,5 scan.h5 part.h5");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> part = H5Values(scratch.Path("part.h5"), "/exchange/center");
    ASSERT_EQ(part.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(part[i], 63.5 - 2 + 0.5 * (3 + i), 0.05) << i;
    // Each slice is reconstructed at its own row's center: row 7's equals
    // sino_recon of that row at the center recorded for it.
    r = scratch.Run("\"$BIN/proj_sino\" -r 7,1 scan.h5 p_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    char center[40];
    std::snprintf(center, sizeof center, "%.17g", centers[7]);
    r = scratch.Run(std::string("\"$BIN/sino_recon\" -a theta.txt p_7.sg ") + center + " 1 q.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> expected = SamplesAfterHeader(scratch.Read("q.img"));
    std::vector<double> volume = H5Values(scratch.Path("vol.h5"), "/exchange/data");
    ASSERT_EQ(volume.size(), 8u * expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(static_cast<float>(volume[7 * expected.size() + i]), static_cast<float>(expected[i])) << i;
    // Without the fit, the median serves every row, with the same warning.
    r = StackRecon(scratch, "scan.h5 median.h5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the centers of rows 0 and 7 differ by"), std::string::npos) << r.err;
    centers = H5Values(scratch.Path("median.h5"), "/exchange/center");
    ASSERT_EQ(centers.size(), 8u);
    EXPECT_EQ(centers[0], centers[7]);
    EXPECT_NEAR(centers[0], 63.5 - 2 + 0.5 * 4, 0.05);
}

// Bands of one row, one thread or two, parts joined: the same bytes.
TEST(StackReconCli, BandsThreadsAndPartsChangeNoByte) {
    Scratch scratch;
    WriteScan(scratch, Small());
    // One band row: (90 + 3) x 64 x 8 bytes = 46.5 KiB; the image and filter
    // take about 65 KiB more: 0.12 MiB leaves room for one row.
    for (const char *volume : {"vol.tif", "vol.h5"}) {
        std::string base = std::string("-f flat.tif -d dark.tif scan.tif ");
        RunResult r = scratch.Run("OMP_NUM_THREADS=2 \"$BIN/stack_recon\" " + base + "a_" + volume);
        ASSERT_EQ(r.status, 0) << r.err;
        r = scratch.Run("OMP_NUM_THREADS=1 \"$BIN/stack_recon\" -m 0.12 " + base + "b_" + volume);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(VolumeSamples(scratch.Path(std::string("a_") + volume)) == VolumeSamples(scratch.Path(std::string("b_") + volume))) << volume;
    }
    // Parts of rows 0-2 and 3 joined equal the whole; the center is given,
    // as a split stack needs.
    std::string base = "-c 32.8 -f flat.tif -d dark.tif scan.tif ";
    ASSERT_EQ(StackRecon(scratch, "-r 0,3 " + base + "part_0.h5").status, 0);
    ASSERT_EQ(StackRecon(scratch, "-r 3,9 " + base + "part_1.h5").status, 0);
    ASSERT_EQ(StackRecon(scratch, base + "whole.tif").status, 0);
    RunResult r = StackRecon(scratch, "-j part_0.h5 part_1.h5 joined.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "joined.tif: 4 slices of 64 x 64.\n");
    EXPECT_TRUE(VolumeSamples(scratch.Path("joined.tif")) == VolumeSamples(scratch.Path("whole.tif")));
    r = StackRecon(scratch, "-j part_0.h5 part_1.h5 joined_%d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Exists("joined_3.img"));
}

// -M fourier: an even row and the next reconstructed together, each slice
// sino_recon -M fourier's of its row up to the gridding's error and close
// to the direct method's; neither bands, threads nor parts that start on
// an even row change a byte, and a part that starts on an odd row
// reconstructs that row alone whatever its bands.
TEST(StackReconCli, TheFourierMethodTakesRowsInPairs) {
    Scratch scratch;
    WriteScan(scratch, Small());
    std::string base = "-c 32.8 -k shepp -f flat.tif -d dark.tif scan.tif ";
    ASSERT_EQ(StackRecon(scratch, "-M fourier " + base + "f_%d.img").status, 0);
    ASSERT_EQ(StackRecon(scratch, base + "d_%d.img").status, 0);
    RunResult r = scratch.Run("\"$BIN/proj_sino\" -f flat.tif -d dark.tif scan.tif p_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int row = 0; row < 4; ++row) {
        std::string n = std::to_string(row);
        r = scratch.Run("\"$BIN/sino_recon\" -M fourier p_" + n + ".sg 32.8 1 64 shepp q_" + n + ".img");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<double> pair = SamplesAfterHeader(scratch.Read("f_" + n + ".img"));
        std::vector<double> alone = SamplesAfterHeader(scratch.Read("q_" + n + ".img"));
        std::vector<double> direct = SamplesAfterHeader(scratch.Read("d_" + n + ".img"));
        ASSERT_EQ(pair.size(), 64u * 64);
        ASSERT_EQ(alone.size(), pair.size());
        ASSERT_EQ(direct.size(), pair.size());
        double largest = 0, apart = 0, from_direct = 0;
        int inside = 0;
        for (std::size_t i = 0; i < pair.size(); ++i) {
            largest = std::fmax(largest, std::fabs(direct[i]));
            apart = std::fmax(apart, std::fabs(pair[i] - alone[i]));
            // Within the disk every view sees (the corners differ: there
            // the direct method takes zeros beyond the detector).
            if (std::hypot(i % 64 - 31.5, i / 64 - 31.5) > 28) continue;
            from_direct += (pair[i] - direct[i]) * (pair[i] - direct[i]);
            ++inside;
        }
        EXPECT_GT(apart, 0) << row;
        EXPECT_LT(apart, 3e-4 * largest) << row;
        EXPECT_LT(std::sqrt(from_direct / inside), 0.01 * largest) << row;
    }
    // Bands of two rows (-m 0.52 with one thread: its grid and block of
    // views take about 0.4 MiB, a band row 46.5 KiB); parts joined.
    for (const char *volume : {"vol.tif", "vol.h5"}) {
        r = scratch.Run("OMP_NUM_THREADS=2 \"$BIN/stack_recon\" -M fourier " + base + "a_" + volume);
        ASSERT_EQ(r.status, 0) << r.err;
        r = scratch.Run("OMP_NUM_THREADS=1 \"$BIN/stack_recon\" -M fourier -m 0.52 " + base + "b_" + volume);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(VolumeSamples(scratch.Path(std::string("a_") + volume)) == VolumeSamples(scratch.Path(std::string("b_") + volume))) << volume;
    }
    ASSERT_EQ(StackRecon(scratch, "-M fourier -r 0,2 " + base + "part_0.h5").status, 0);
    ASSERT_EQ(StackRecon(scratch, "-M fourier -r 2,2 " + base + "part_1.h5").status, 0);
    ASSERT_EQ(StackRecon(scratch, "-j part_0.h5 part_1.h5 joined.tif").status, 0);
    EXPECT_TRUE(VolumeSamples(scratch.Path("joined.tif")) == VolumeSamples(scratch.Path("a_vol.tif")));
    ASSERT_EQ(StackRecon(scratch, "-M fourier -r 1,3 " + base + "odd.tif").status, 0);
    r = scratch.Run("OMP_NUM_THREADS=1 \"$BIN/stack_recon\" -M fourier -m 0.52 -r 1,3 " + base + "odd_bands.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(VolumeSamples(scratch.Path("odd.tif")) == VolumeSamples(scratch.Path("odd_bands.tif")));
    // One thread takes the rows two at a time, in a band of three.
    r = scratch.Run("OMP_NUM_THREADS=1 \"$BIN/stack_recon\" -M fourier -r 1,3 " + base + "odd_one.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(VolumeSamples(scratch.Path("odd.tif")) == VolumeSamples(scratch.Path("odd_one.tif")));
    EXPECT_FALSE(VolumeSamples(scratch.Path("odd.tif")) == VolumeSamples(scratch.Path("a_vol.tif")));
}

struct Usage {
    double peak_mib;
    int status;
};

// Runs a command through the shell and returns the peak resident memory
// of that child alone. A fork, not posix_spawn: a child that shares its
// parent's memory until it execs (vfork) is charged the parent's peak.
Usage Measure(const Scratch &scratch, const std::string &command) {
    std::string line = "cd '" + scratch.dir + "' && exec " + command + " 2>/dev/null";
    pid_t pid = fork();
    if (pid < 0) return {0, -1};
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return {0, -1};
    return Usage{usage.ru_maxrss / 1024.0, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// 128 rows of 256 detectors and 360 views: 95 MB of sinograms, held
// whole with the default budget, in bands within 8 MiB with -m 8.
TEST(StackReconCli, PeakMemoryStaysWithinTheBudgetAnd64MiB) {
#ifdef CT_SANITIZED
    GTEST_SKIP() << "AddressSanitizer's shadow and quarantine are part of the peak";
#endif
    Scratch scratch;
    const int columns = 256, rows = 128, views = 360;
    {
        // Freed before the runs: a child's peak counts its parent's pages
        // until it execs.
        std::vector<std::vector<double>> pages;
        for (int v = 0; v < views; ++v) {
            std::vector<double> page(static_cast<std::size_t>(columns) * rows);
            for (std::size_t i = 0; i < page.size(); ++i) page[i] = 1000 + (i + v) % 7;
            pages.push_back(page);
        }
        ASSERT_TRUE(WriteTiff(scratch.Path("big.tif"), pages, columns, rows, SampleKind::kU16, TiffLayout{16}));
    }
    std::string program = "\"" CT_BIN_DIR "/stack_recon\" ";
    Usage banded = Measure(scratch, program + "-m 8 -c 127.5 -s 16 big.tif banded.tif");
    ASSERT_EQ(banded.status, 0);
    EXPECT_LT(banded.peak_mib, 8 + 64);
    Usage whole = Measure(scratch, program + "-c 127.5 -s 16 big.tif whole.tif");
    ASSERT_EQ(whole.status, 0);
    EXPECT_GT(whole.peak_mib, 90);  // the measure tells the two apart
    EXPECT_TRUE(VolumeSamples(scratch.Path("banded.tif")) == VolumeSamples(scratch.Path("whole.tif")));
}

TEST(StackReconCli, ProgressOnlyOnATerminal) {
    Scratch scratch;
    WriteScan(scratch, Small());
    // script(1) gives the program a terminal; its output is what the terminal showed.
    // A machine without /dev/pts (a bare chroot) has no terminal to give.
    RunResult probe = scratch.Run("command -v script >/dev/null || exit 77; script -qec true /dev/null");
    if (probe.status == 77) GTEST_SKIP() << "script(1) is not installed";
    if (probe.status != 0) GTEST_SKIP() << "script(1) cannot open a terminal here: " << probe.err;
    RunResult r = scratch.Run("script -qec '\"$BIN/stack_recon\" -c 32.8 scan.h5 vol.tif' /dev/null");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\r1 of 4 rows, 0:00 elapsed, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r4 of 4 rows, 0:00 elapsed, 0:00 left"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\033[Kvol.tif: 4 slices of 64 x 64.\r\n"), std::string::npos) << r.out;
    // Not a terminal: the final line alone.
    r = StackRecon(scratch, "-c 32.8 scan.h5 vol.tif");
    EXPECT_EQ(r.err, "vol.tif: 4 slices of 64 x 64.\n");
}

struct Failure {
    const char *args;
    const char *message;
};

// A part as a job writes it, of `rows` slices of 64 x 64 in a chunk each,
// with only `written` of them stored, its data virtual (from a file that is
// not there) when `virtual_source`, and first_row stored with the given
// type and value.
void WritePart(const std::string &path, int rows, int written, bool virtual_source, hid_t row_type, double first_row) {
    hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    hid_t group = H5Gcreate2(file, "/exchange", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
    hsize_t dims[3] = {static_cast<hsize_t>(rows), 64, 64}, chunk[3] = {1, 64, 64};
    hid_t space = H5Screate_simple(3, dims, nullptr);
    hid_t create = H5Pcreate(H5P_DATASET_CREATE);
    if (virtual_source) {
        H5Pset_virtual(create, space, "gone.h5", "/data", space);
    } else {
        H5Pset_chunk(create, 3, chunk);
    }
    hid_t data = H5Dcreate2(group, "data", H5T_IEEE_F32LE, space, H5P_DEFAULT, create, H5P_DEFAULT);
    std::vector<float> slice(64 * 64, 1.0f);
    for (int k = 0; k < written; ++k) {
        hsize_t start[3] = {static_cast<hsize_t>(k), 0, 0};
        hid_t memory = H5Screate_simple(3, chunk, nullptr);
        H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, chunk, nullptr);
        H5Dwrite(data, H5T_NATIVE_FLOAT, memory, space, H5P_DEFAULT, slice.data());
        H5Sclose(memory);
    }
    hid_t scalar = H5Screate(H5S_SCALAR);
    hid_t attribute = H5Acreate2(data, "first_row", row_type, scalar, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(attribute, H5T_NATIVE_DOUBLE, &first_row);
    H5Aclose(attribute);
    H5Sclose(scalar);
    std::vector<double> centers(static_cast<std::size_t>(rows), 32), theta(91);
    for (int k = 0; k < 91; ++k) theta[static_cast<std::size_t>(k)] = k * 180.0 / 91;
    for (const auto &values : {std::make_pair("center", &centers), std::make_pair("theta", &theta)}) {
        hsize_t count = values.second->size();
        hid_t line = H5Screate_simple(1, &count, nullptr);
        hid_t set = H5Dcreate2(group, values.first, H5T_IEEE_F64LE, line, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
        H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.second->data());
        H5Dclose(set);
        H5Sclose(line);
    }
    H5Dclose(data);
    H5Pclose(create);
    H5Sclose(space);
    H5Gclose(group);
    H5Fclose(file);
}

TEST(StackReconCli, EveryFailureHasItsLineAndLeavesNoVolume) {
    const char *usage =
        "usage : stack_recon [-f FLAT] [-d DARK] [-r FIRST,COUNT] [-m MIB] [-a ANGLES] [-u UNIT] [-t] [-c CENTER] [-C FROM,TO,STEP] [-k KERNEL] "
        "[-w GAP] [-p PIXEL] [-s SIZE] [-l] [-z T] [-P DELTA_BETA,DISTANCE,ENERGY,PIXEL] [-M METHOD] [-i N] [-n] [-S SUBSETS] "
        "[-L LAMBDA] [-e TOL] [-R METHOD[,SIZE]] [-o X,Y] [-T TYPE] [-V LO,HI] [-j] STACK... VOLUME";
    const Failure cases[] = {
        {"", usage},
        {"scan.tif", usage},
        {"-x scan.tif vol.tif", "unknown option -x."},
        {"-c", "option -c needs a value (CENTER)."},
        {"-m 0 scan.tif vol.tif", "bad memory budget."},
        {"-m nan scan.tif vol.tif", "bad memory budget."},
        {"-r 3 scan.tif vol.tif", "bad row range: 3 (FIRST,COUNT)."},
        {"-r 0,0 scan.tif vol.tif", "bad row range 0,0: the first row is 0 or more, the count 1 or more."},
        {"-r 4,1 scan.tif vol.tif", "bad row range 4,1: the stack has rows 0 to 3."},
        {"-u grads scan.h5 vol.tif", "bad angle unit (degrees or radians)."},
        {"-j -u radians part_0.h5 vol.tif", "-j takes no other option."},
        {"-f 'nothing_*.tif' scan.tif vol.tif", "nothing_*.tif: no file matches."},
        {"-f flat.tif -d 'dark_?.tif' scan.tif vol.tif", "dark_?.tif: no file matches."},
        {"-k hann scan.tif vol.tif", "unknown kernel (chesler, shepp or ramachandran)."},
        {"-M fft scan.tif vol.tif", "unknown method (fbp, fourier, sirt, cgls or tv)."},
        {"-M", "option -M needs a value (METHOD)."},
        {"-j -M fourier part.h5 vol.tif", "-j takes no other option."},
        {"-w half scan.tif vol.tif", "unknown gap weights (part, even or ends)."},
        {"-j -w even part.h5 vol.tif", "-j takes no other option."},
        {"-p 0 scan.tif vol.tif", "bad pixel size."},
        {"-p inf scan.tif vol.tif", "bad pixel size."},
        {"-s 0 scan.tif vol.tif", "bad image size."},
        {"-s 40000 scan.tif vol.h5", "bad image size."},
        {"scan.tif vol.sg", "bad volume name: .tif, .tiff, .h5, or a pattern with one %d."},
        {"scan.tif v%s.tif", "bad volume name: .tif, .tiff, .h5, or a pattern with one %d."},
        {"scan.tif -", "bad volume name: .tif, .tiff, .h5, or a pattern with one %d."},
        {"scan.tif v_%d.h5", "bad volume name: .tif, .tiff, .h5, or a pattern with one %d."},
        {"-z 0 scan.tif vol.tif", "bad zinger threshold."},
        {"-z inf scan.tif vol.tif", "bad zinger threshold."},
        {"-l -f flat.tif scan.tif vol.tif", "line integrals take no flats or darks."},
        // Line integrals go to the filter as read: one not finite would
        // spread over its slice. Named by the file, the image in the
        // stack, its row and column.
        {"-l -c 32 nan.tif vol.tif", "nan.tif: sample not finite (image 7, row 2, column 10)."},
        {"-l nan.tif vol.tif", "nan.tif: sample not finite (image 7, row 2, column 10)."},  // the axis sought
        {"-l -c 32 -M sirt -i 2 nan.tif vol.h5", "nan.tif: sample not finite (image 7, row 2, column 10)."},
        {"-l -c 32 -r 1,3 flat.tif nan.tif s_%d.img", "nan.tif: sample not finite (image 11, row 2, column 10)."},
        {"-l scan.h5 vol.tif", "scan.h5: has flats or darks: its projections are counts, not line integrals (leave out -l)."},
        {"-j -l part.h5 vol.tif", "-j takes no other option."},
        {"-d dark.tif scan.tif vol.tif", "darks need flats."},
        {"-j -c 3 part.h5 vol.tif", "-j takes no other option."},
        {"-j -P 1000,0.1,10,5e-6 part.h5 vol.tif", "-j takes no other option."},
        {"missing.tif vol.tif", "missing.tif: file not found."},
        {"text.txt vol.tif", "text.txt: not a tiff file."},
        {"-f wide.tif scan.tif vol.tif", "wide.tif: sizes differ."},  // a wrong flat size
        {"-f flat.tif -d wide.tif scan.tif vol.tif", "wide.tif: sizes differ."},
        {"-c 32 -f flat.tif -d flat.tif scan.tif vol.tif", "flat at or below the dark in every column of row 0."},
        {"-c 32 -r 2,2 -f dark.tif -d flat.tif scan.tif vol.tif", "flat at or below the dark in every column of row 2."},
        {"-f flat.tif cut.tif vol.tif", "cut.tif: data read error."},  // a cut stack
        {"cut.h5 vol.tif", "cut.h5: data read error."},
        {"-f flat.tif scan.h5 vol.tif", "scan.h5: flats and darks are in the file."},
        // An unquoted `-f flat_*.tif`: the shell hands the other flats over
        // as projections.
        {"-c 32 -f flat_00.tif flat_01.tif scan.tif vol.tif",
         "flat_01.tif: a flat among the projections (named like -f flat_00.tif); quote the pattern: -f 'flat_*.tif'."},
        // Both -f and -d unquoted: -d lands among the files.
        {"-c 32 -f flat_00.tif flat_01.tif -d dark.tif scan.tif vol.tif",
         "options go before the files: -d (flat_01.tif after -f flat_00.tif: an unquoted pattern? quote it: -f "
         "'flat_*.tif')."},
        {"scan.h5 scan.h5 vol.tif", "one hdf5 file at a time."},
        {"-t scan.h5 vol.tif", "odd number of views for a full turn."},
        {"-a three.txt scan.tif vol.tif", "three.txt: 3 angles for 91 views."},
        {"-a uneven.txt scan.tif vol.tif", "the views are not an even half turn: give the axis with -c."},
        {"-c 63 scan.tif vol.tif", "bad position of rotation center."},
        {"-c nan scan.tif vol.tif", "bad position of rotation center."},
        {"-c 163,7 scan.tif vol.tif", "bad position of rotation center: 163,7."},
        {"-c 163.7px scan.tif vol.tif", "bad position of rotation center: 163.7px."},
        {"-c 0x10 scan.tif vol.tif", "bad position of rotation center: 0x10."},
        {"-m 1e3MiB scan.tif vol.tif", "bad memory budget: 1e3MiB."},
        {"-s 64.0 scan.tif vol.tif", "bad image size: 64.0."},
        {"-z 5x scan.tif vol.tif", "bad zinger threshold: 5x."},
        {"-p 6,5 scan.tif vol.tif", "bad pixel size: 6,5."},
        {"-m 0.05 scan.tif vol.tif", "memory budget too small: -m 1 will do."},
        {"flat.tif vol.tif", "sinogram too small to find the center."},
        {"blank.tif vol.tif", "no clear center: 0 of 4 rows gave one (the halves of the turn do not match); give the axis with -c, or -t if the views cover the whole turn."},
        // Counts read without their flats: the advice is the flats.
        {"counts.tif vol.tif", "no clear center: 2 of 4 rows gave one; many samples are above 1.5 and there are no flats: give the flats with -f, or -l for line integrals."},
        {"-c 32 -R fft,101 scan.tif vol.tif", "bad size: 101 is wider than the detector (64 columns)."},
        {"-c 32 scan.tif scan.tif", "scan.tif: output is an input."},
        {"-c 32 -r 0,1 scan.tif s_%d.tif", "s_0.tif: output is an input."},
        // A projection, or any file the toolkit did not write as a volume,
        // is never replaced by one.
        {"-c 32 scan.tif flat.tif", "flat.tif: exists and is not a volume; give the volume a new name."},
        {"-c 32 -f flat.tif scan.tif text.tiff", "text.tiff: exists and is not a volume; give the volume a new name."},
        {"-c 32 scan.tif scan.h5", "scan.h5: exists and is not a volume; give the volume a new name."},
        {"-c 32 scan.tif proj_%d.tif", "proj_2.tif: exists and is not a volume; give the volume a new name."},
        {"-c 32 scan.tif q_%d.sg", "q_1.sg: exists and is not a volume; give the volume a new name."},
        {"-j part_0.h5 dark.tif", "dark.tif: exists and is not a volume; give the volume a new name."},
        {"-c 32 scan.tif no/such/vol.tif", "no/such/vol.tif: cannot create (No such file or directory)."},
        // Said before the axis is sought (blank.tif has none to find).
        {"blank.tif no/such/vol.tif", "no/such/vol.tif: cannot create (No such file or directory)."},
        {"blank.tif text.txt/vol.h5", "text.txt/vol.h5: cannot create (Not a directory)."},
        {"blank.tif flat.tif", "flat.tif: exists and is not a volume; give the volume a new name."},
        {"-c 32 scan.tif no/such/vol.h5", "no/such/vol.h5: cannot create (No such file or directory)."},
        {"-c 32 scan.tif full.tif", "full.tif: data write error."},  // a full disk
        {"-c 32 scan.tif s_%d.img", "s_2.img: data write error."},
        {"-j scan.h5 vol.tif", "scan.h5: not a volume."},
        {"-j missing.h5 vol.tif", "missing.h5: file not found."},
        {"-j part_0.h5 part_0.h5 vol.tif", "part_0.h5: parts do not fit together."},
        {"-j part_0.h5 part_2.h5 vol.tif", "part_2.h5: parts do not fit together."},
        // Parts that would be joined as zeros, or whose first row does not fit.
        {"-j unwritten.h5 vol.tif", "unwritten.h5: data read error."},
        {"-j virtual.h5 vol.tif", "virtual.h5: unsupported dataset layout."},
        {"-j row_2e40.h5 vol.tif", "row_2e40.h5: not a volume."},
        {"-j row_max.h5 vol.tif", "row_max.h5: not a volume."},
        {"-j row_half.h5 vol.tif", "row_half.h5: not a volume."},
    };
    Scratch scratch;
    ScanShape shape = Small();
    shape.views = 91;  // odd, for -t
    WriteScan(scratch, shape);
    int columns = shape.columns, rows = shape.rows;
    ASSERT_TRUE(WriteTiff(scratch.Path("wide.tif"), {std::vector<double>((columns + 1) * rows, 100)}, columns + 1,
                          rows, SampleKind::kU16));
    ASSERT_TRUE(WriteTiff(scratch.Path("blank.tif"), std::vector<std::vector<double>>(20, std::vector<double>(columns * rows, 1)),
                          columns, rows, SampleKind::kU16));
    std::vector<std::vector<double>> counts(20, std::vector<double>(columns * rows));
    for (std::size_t k = 0; k < counts.size(); ++k)
        for (std::size_t i = 0; i < counts[k].size(); ++i) {
            std::size_t h = (k * 73856093u) ^ (i * 19349663u);
            counts[k][i] = 1000 + static_cast<double>((h * 2654435761u >> 7) % 997);
        }
    ASSERT_TRUE(WriteTiff(scratch.Path("counts.tif"), counts, columns, rows, SampleKind::kU16));
    std::vector<std::vector<double>> line_integrals(20, std::vector<double>(columns * rows));
    for (std::size_t k = 0; k < line_integrals.size(); ++k)
        for (std::size_t i = 0; i < line_integrals[k].size(); ++i)
            line_integrals[k][i] = std::fmax(0, 1 - std::fabs(static_cast<double>(i % columns) - 31.5 - k % 3) / 20);
    line_integrals[7][2 * columns + 10] = NAN;
    ASSERT_TRUE(WriteTiff(scratch.Path("nan.tif"), line_integrals, columns, rows, SampleKind::kF32));
    std::string tif = scratch.Read("scan.tif"), h5 = scratch.Read("scan.h5");
    scratch.Write("cut.tif", tif.substr(0, tif.size() / 2));
    scratch.Write("cut.h5", h5.substr(0, h5.size() / 2));
    scratch.Write("text.txt", "8\t8\n");
    scratch.Write("three.txt", "0 60 120\n");
    std::string uneven;
    for (int k = 0; k < 91; ++k) uneven += std::to_string(k * 180.0 / 91 + (k % 3) * 0.5) + "\n";
    scratch.Write("uneven.txt", uneven);
    ASSERT_EQ(StackRecon(scratch, "-c 32 -r 0,1 scan.h5 part_0.h5").status, 0);
    ASSERT_EQ(StackRecon(scratch, "-c 32 -r 2,1 scan.h5 part_2.h5").status, 0);
    WritePart(scratch.Path("unwritten.h5"), 2, 1, false, H5T_STD_I32LE, 0);
    WritePart(scratch.Path("virtual.h5"), 2, 0, true, H5T_STD_I32LE, 0);
    WritePart(scratch.Path("row_2e40.h5"), 2, 2, false, H5T_STD_I64LE, 0x1p40);
    WritePart(scratch.Path("row_max.h5"), 2, 2, false, H5T_STD_I32LE, 2147483647);
    WritePart(scratch.Path("row_half.h5"), 2, 2, false, H5T_IEEE_F64LE, 2.5);
    ASSERT_EQ(scratch.Run("ln -s /dev/full full.tif && ln -s /dev/full s_2.img && ln -s scan.tif s_0.tif").status, 0);
    ASSERT_EQ(scratch.Run("cp flat.tif proj_2.tif && cp text.txt text.tiff && printf '4\t8\n' > q_1.sg").status, 0);
    ASSERT_EQ(scratch.Run("cp flat.tif flat_00.tif && cp flat.tif flat_01.tif").status, 0);
    std::string before = Listing(scratch);
    for (const Failure &c : cases) {
        RunResult r = StackRecon(scratch, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        // Nothing new: no volume, no temporary file, no image of the pattern.
        EXPECT_EQ(Listing(scratch), before) << c.args;
    }
}

// The toolkit's own volumes, of every kind, are replaced by a new run.
TEST(StackReconCli, AVolumeReplacesTheToolkitsOwnVolumes) {
    Scratch scratch;
    WriteScan(scratch, Small());
    for (const char *volume : {"vol.h5", "vol.tif", "s_%d.tif", "s_%d.img"}) {
        for (const char *range : {"-r 0,2", "-r 1,2"}) {
            RunResult r = StackRecon(scratch, std::string("-c 32.75 ") + range + " scan.h5 " + volume);
            EXPECT_EQ(r.status, 0) << volume << " " << range << ": " << r.err;
        }
        RunResult r = StackRecon(scratch, std::string("-j vol.h5 ") + (volume[0] == 'v' ? "vol.tif" : volume));
        EXPECT_EQ(r.status, 0) << volume << ": " << r.err;
    }
}

// Several flats and darks by a quoted pattern, expanded and sorted by the
// program, or by repeating -f: the same volume, and the images counted
// (flat.tif holds 4, dark.tif 2).
TEST(StackReconCli, FlatsAndDarksByPatternOrRepeatedAreCounted) {
    Scratch scratch;
    WriteScan(scratch, Small());
    ASSERT_EQ(scratch.Run("cp flat.tif flat_1.tif && cp flat.tif flat_2.tif && cp dark.tif dark_1.tif").status, 0);
    RunResult one = StackRecon(scratch, "-c 32.75 -f flat.tif -d dark.tif scan.tif a.tif");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.err, "4 flats, 2 darks.\na.tif: 4 slices of 64 x 64.\n");
    RunResult pattern = StackRecon(scratch, "-c 32.75 -f 'flat_*.tif' -d 'dark_*' scan.tif b.tif");
    ASSERT_EQ(pattern.status, 0) << pattern.err;
    EXPECT_EQ(pattern.err, "8 flats, 2 darks.\nb.tif: 4 slices of 64 x 64.\n");
    RunResult repeated = StackRecon(scratch, "-c 32.75 -f flat_1.tif -f 'flat_[2]*' -f flat.tif scan.tif c.tif");
    ASSERT_EQ(repeated.status, 0) << repeated.err;
    EXPECT_EQ(repeated.err, "12 flats.\nc.tif: 4 slices of 64 x 64.\n");
    // Copies of one flat average to it.
    EXPECT_EQ(VolumeSamples(scratch.Path("a.tif")), VolumeSamples(scratch.Path("b.tif")));
    // A flat numbered within the projections' series is no stray of an
    // unquoted pattern: every projection is named like it.
    ASSERT_EQ(scratch.Run("cp flat.tif s_0.tif && cp scan.tif s_1.tif").status, 0);
    RunResult series = StackRecon(scratch, "-c 32.75 -f s_0.tif s_1.tif d.tif");
    EXPECT_EQ(series.status, 0);
    EXPECT_EQ(series.err, "4 flats.\nd.tif: 4 slices of 64 x 64.\n");
}

// /exchange/theta in radians: told from its values with a warning, or
// as -u says, giving the volume of the same angles in degrees.
TEST(StackReconCli, ThetaInRadiansIsToldFromItsValuesOrByOption) {
    Scratch scratch;
    WriteScan(scratch, Small());
    ASSERT_EQ(scratch.Run("cp scan.h5 rad.h5").status, 0);
    std::vector<double> theta = H5Values(scratch.Path("scan.h5"), "/exchange/theta");
    for (double &t : theta) t = t * 3.141592653589793 / 180;
    hid_t file = H5Fopen(scratch.Path("rad.h5").c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
    hid_t set = H5Dopen2(file, "/exchange/theta", H5P_DEFAULT);
    ASSERT_GE(H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, theta.data()), 0);
    H5Dclose(set);
    H5Fclose(file);
    RunResult degrees = StackRecon(scratch, "-c 32.75 scan.h5 deg.tif");
    ASSERT_EQ(degrees.status, 0) << degrees.err;
    EXPECT_EQ(degrees.err, "deg.tif: 4 slices of 64 x 64.\n");
    RunResult told = StackRecon(scratch, "-c 32.75 rad.h5 told.tif");
    ASSERT_EQ(told.status, 0) << told.err;
    EXPECT_EQ(told.err,
              "warning: rad.h5: /exchange/theta read as radians (its values span about pi); -u degrees reads them "
              "as degrees.\ntold.tif: 4 slices of 64 x 64.\n");
    EXPECT_EQ(VolumeSamples(scratch.Path("told.tif")), VolumeSamples(scratch.Path("deg.tif")));
    RunResult forced = StackRecon(scratch, "-c 32.75 -u radians rad.h5 forced.tif");
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(forced.err, "forced.tif: 4 slices of 64 x 64.\n");
    EXPECT_EQ(VolumeSamples(scratch.Path("forced.tif")), VolumeSamples(scratch.Path("deg.tif")));
    // Degrees forced: the views span 3.1 degrees, a limited range.
    RunResult wrong = StackRecon(scratch, "-c 32.75 -u degrees rad.h5 wrong.tif");
    ASSERT_EQ(wrong.status, 0) << wrong.err;
    EXPECT_EQ(wrong.err.find("warning: rad.h5"), std::string::npos);
    EXPECT_NE(VolumeSamples(scratch.Path("wrong.tif")), VolumeSamples(scratch.Path("deg.tif")));
    // An angle list (-a) in radians is told the same way, and -u rules it.
    std::string list;
    for (double t : theta) list += std::to_string(t) + "\n";
    scratch.Write("rad.txt", list);
    RunResult listed = StackRecon(scratch, "-c 32.75 -a rad.txt scan.h5 listed.tif");
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.err,
              "warning: rad.txt: the angles read as radians (their values span about pi); -u degrees reads them "
              "as degrees.\nlisted.tif: 4 slices of 64 x 64.\n");
    RunResult unit = StackRecon(scratch, "-c 32.75 -u radians -a rad.txt scan.h5 unit.tif");
    ASSERT_EQ(unit.status, 0) << unit.err;
    EXPECT_EQ(unit.err, "unit.tif: 4 slices of 64 x 64.\n");
    EXPECT_EQ(VolumeSamples(scratch.Path("unit.tif")), VolumeSamples(scratch.Path("listed.tif")));
    // As written to six places, the angles are the degrees' within 1e-6.
    std::string a = VolumeSamples(scratch.Path("listed.tif")), b = VolumeSamples(scratch.Path("deg.tif"));
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i + 4 <= a.size(); i += 4) {
        float x, y;
        std::memcpy(&x, a.data() + i, 4);
        std::memcpy(&y, b.data() + i, 4);
        ASSERT_NEAR(x, y, 1e-4) << i;
    }
    RunResult degrees_forced = StackRecon(scratch, "-c 32.75 -u degrees -a rad.txt scan.h5 forced2.tif");
    EXPECT_EQ(degrees_forced.err.find("rad.txt: the angles"), std::string::npos);
}

// Inputs of another kind than their options say, each warned about at the
// end with what to do: counts given as line integrals (-l), and a limited
// range in radians (from /exchange/theta or -a), read as radians; degrees
// over the same range say nothing of radians.
TEST(StackReconCli, InputsOfAnotherKindAreWarnedAbout) {
    Scratch scratch;
    WriteScan(scratch, Small());
    const double pi = 3.141592653589793;
    std::vector<double> radians(90);
    std::string degrees_text, radians_text;
    for (int k = 0; k < 90; ++k) {
        radians[static_cast<std::size_t>(k)] = k * 4.0 / 3 * pi / 180;  // 0 ... 118.7 degrees
        degrees_text += std::to_string(k * 4.0 / 3) + "\n";
        radians_text += std::to_string(radians[static_cast<std::size_t>(k)]) + "\n";
    }
    scratch.Write("deg.txt", degrees_text);
    scratch.Write("rad.txt", radians_text);
    ASSERT_EQ(scratch.Run("cp scan.h5 rad.h5").status, 0);
    hid_t file = H5Fopen(scratch.Path("rad.h5").c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
    hid_t set = H5Dopen2(file, "/exchange/theta", H5P_DEFAULT);
    ASSERT_GE(H5Dwrite(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, radians.data()), 0);
    H5Dclose(set);
    H5Fclose(file);
    ASSERT_EQ(scratch.Run("ln -s scan.tif p_10.tif && ln -s scan.tif p_9.tif").status, 0);
    const std::string gap =
        "warning: limited range: the views leave a gap of 61.3333 degrees after 118.667 degrees; total variation (-M "
        "tv) suits limited ranges.\n";
    struct Case {
        const char *args;
        std::string err;  // all of standard error
    };
    const Case cases[] = {
        {"-l scan.tif v.tif",
         "warning: nine tenths of the samples are above 50 and -l was given: counts? leave out -l and give the "
         "flats and darks.\nv.tif: 4 slices of 64 x 64.\n"},
        {"rad.h5 v.tif",
         "warning: rad.h5: /exchange/theta read as radians (its values span only 2.07112, 118.667 degrees as "
         "radians); -u degrees reads them as degrees.\n" +
             gap + "v.tif: 4 slices of 64 x 64.\n"},
        {"-a rad.txt scan.h5 v.tif",
         "warning: rad.txt: the angles read as radians (their values span only 2.07112, 118.667 degrees as "
         "radians); -u degrees reads them as degrees.\n" +
             gap + "v.tif: 4 slices of 64 x 64.\n"},
        {"-a deg.txt scan.h5 v.tif", gap + "v.tif: 4 slices of 64 x 64.\n"},
        {"-u radians rad.h5 v.tif", gap + "v.tif: 4 slices of 64 x 64.\n"},
        // Projections listed as the shell lists them, against their numbers.
        {"-f flat.tif -d dark.tif p_10.tif p_9.tif v.tif",
         "warning: p_9.tif comes after p_10.tif: the projections are read in the order given; number them with "
         "zeros or list them in order (ls -v).\n4 flats, 2 darks.\nv.tif: 4 slices of 64 x 64.\n"},
        {"-f flat.tif -d dark.tif p_9.tif p_10.tif v.tif", "4 flats, 2 darks.\nv.tif: 4 slices of 64 x 64.\n"},
    };
    for (const Case &c : cases) {
        RunResult r = StackRecon(scratch, std::string("-c 32.75 ") + c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}

// A half turn of 90 views given as a full turn (-t): stack_recon refuses
// it as sino_center -t refuses the sinogram of one of its rows, instead of
// reconstructing the first 45 views about an axis found from them alone
// (or given with -c).
TEST(StackReconCli, AHalfTurnGivenAsAFullTurnIsRefusedAsSinoCenterRefusesIt) {
    // Small disks seen at 90 angles over the half turn, axis 60.4 of 128,
    // as line integrals: each view a page of two equal detector rows.
    const double scale = 0.4;
    const std::vector<OracleDisk> disks = {{12 * scale, -9 * scale, 50 * scale, 1.0},
                                           {20 * scale, 0, 12 * scale, -0.6},
                                           {-25 * scale, 22 * scale, 9 * scale, 2.0},
                                           {30 * scale, -35 * scale, 6 * scale, 1.5}};
    std::vector<double> angles;
    for (int k = 0; k < 90; ++k) angles.push_back(k * 3.141592653589793 / 90);
    std::vector<double> views = DiskProjections(128, 60.4, angles, disks, 8);
    std::vector<std::vector<double>> pages;
    for (int k = 0; k < 90; ++k) {
        std::vector<double> page(views.begin() + k * 128, views.begin() + (k + 1) * 128);
        page.insert(page.end(), page.begin(), page.end());
        pages.push_back(page);
    }
    Scratch scratch;
    ASSERT_TRUE(WriteTiff(scratch.Path("half.tif"), pages, 128, 2, SampleKind::kF64));
    const char *refusal = "the views cover a half turn (the last one matches the first one mirrored): leave out -t.\n";
    std::string before = Listing(scratch);
    RunResult r = StackRecon(scratch, "-t -l half.tif vol.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, refusal);
    EXPECT_EQ(Listing(scratch), before);
    // With the axis given too: its first 45 views alone would be a volume.
    r = StackRecon(scratch, "-t -c 60.4 -l half.tif vol.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, refusal);
    EXPECT_EQ(Listing(scratch), before);
    r = scratch.Run("\"$BIN/proj_sino\" -l -r 0,1 half.tif row_%d.sg && \"$BIN/sino_center\" -t row_0.sg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, refusal);
    // Without -t both find the axis.
    r = StackRecon(scratch, "-l half.tif vol.tif");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("center 60.4"), std::string::npos) << r.err;
}

// A disk that fills during the slices (a file size limit): whatever was
// written is removed, for every kind of volume.
TEST(StackReconCli, AFullDiskMidwayLeavesNothing) {
    Scratch scratch;
    WriteScan(scratch, Small());
    std::string before = Listing(scratch);
    // 40 KiB: the header and two slices of 16 KiB fit, not the third (a
    // pattern's images, one file each, meet a full disk in the failures).
    const char *cases[][2] = {
        {"vol.tif", "vol.tif: data write error."},
        {"vol.h5", "vol.h5: data write error."},
    };
    for (const auto &c : cases) {
        RunResult r = scratch.Run(std::string("trap '' XFSZ; ulimit -f 80; \"$BIN/stack_recon\" -c 32 -s 64 scan.h5 ") + c[0]);
        EXPECT_EQ(r.status, 1) << c[0];
        EXPECT_EQ(r.err, std::string(c[1]) + "\n") << c[0];
        EXPECT_EQ(Listing(scratch), before) << c[0];
    }
}

}  // namespace

// Inputs given as what they are not, warned of; the ordinary runs beside
// them are not. Without -a, -t or angles in the file the views are taken
// for an even half turn: a whole turn (whole.tif, 90 views over 360
// degrees) is then reconstructed from views put at half their angles, and
// says so by view k + 45 mirroring view k, also with the axis given.
// Flats and projections swapped make line integrals mostly negative; a
// dark among the projections is a view far darker than the others.
const char *const kWholeTurnWarning =
    "warning: the views look like a whole turn (view k + M/2 mirrors view k): give -t (or the angles with -a); as "
    "a half turn the image is wrong.\n";
const std::string kMostlyNegative =
    "warning: the line integrals are mostly negative (the projections brighter than the flats): were the flats and "
    "projections swapped (give the flats with -f), or the flats taken with less beam?\n";

TEST(StackReconCli, InputsGivenAsWhatTheyAreNotAreWarnedOf) {
    Scratch scratch;
    ScanShape whole = Small();
    whole.full_turn = true;
    WriteScan(scratch, whole);
    ASSERT_EQ(scratch.Run("mv scan.tif whole.tif && mv scan.h5 whole.h5 && mv theta.txt whole.txt").status, 0);
    WriteScan(scratch, Small());
    // One dark image of 100 counts, as ellipse_scan's darks.
    ASSERT_TRUE(WriteTiff(scratch.Path("dark_1.tif"), {std::vector<double>(64 * 4, 100.0)}, 64, 4, SampleKind::kU16));
    const std::string end = "4 flats, 2 darks.\nv.tif: 4 slices of 64 x 64.\n";
    struct Case {
        const char *args;
        std::string err;  // all of standard error
    };
    const Case cases[] = {
        {"-c 32.8 -f flat.tif -d dark.tif whole.tif v.tif", kWholeTurnWarning + end},
        {"-c 31 -f flat.tif -d dark.tif whole.tif v.tif", kWholeTurnWarning + end},
        {"-t -c 32.8 -f flat.tif -d dark.tif whole.tif v.tif", end},
        // The whole turn's angles given, or read from the file.
        {"-a whole.txt -c 32.8 -f flat.tif -d dark.tif whole.tif v.tif", end},
        {"-c 32.8 whole.h5 v.tif", "v.tif: 4 slices of 64 x 64.\n"},
        {"-c 32.8 -f flat.tif -d dark.tif scan.tif v.tif", end},
        // Flats and projections swapped: the four flats reconstructed as
        // views against the mean projection.
        {"-c 32.8 -f scan.tif flat.tif v.tif", kMostlyNegative + "90 flats.\nv.tif: 4 slices of 64 x 64.\n"},
        {"-c 32.8 -f scan.tif -d dark.tif flat.tif v.tif",
         kMostlyNegative + "90 flats, 2 darks.\nv.tif: 4 slices of 64 x 64.\n"},
        // Darks among the projections (-d forgotten).
        {"-c 32.8 -f flat.tif scan.tif dark.tif v.tif",
         "warning: 2 images, the first image 90 (dark.tif), are far darker than the others (under a tenth of the "
         "median image): darks among the projections? give the darks with -d.\n4 flats.\nv.tif: 4 slices of 64 x "
         "64.\n"},
        {"-c 32.8 -f flat.tif -d dark.tif scan.tif dark_1.tif v.tif",
         "128 samples clamped.\nwarning: image 90 (dark_1.tif) is far darker than the others (under a tenth of the median image): a dark "
         "among the projections? give the darks with -d.\n4 flats, 2 darks.\nv.tif: 4 slices of 64 x 64.\n"},
        {"-c 32.8 -f flat.tif scan.tif v.tif", "4 flats.\nv.tif: 4 slices of 64 x 64.\n"},
    };
    for (const Case &c : cases) {
        RunResult r = StackRecon(scratch, c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}
