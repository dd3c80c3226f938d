// stack_recon's rotation axis, run as users run it: a full turn whose
// axis lies off the middle (half acquisition) found and folded as
// sino_center -t and sino_fold do, to the bit of the road through the
// single programs; a turn whose axis cannot be found refused; the median
// heard only when most rows give a center; centers by row from a table;
// the center scan's pages, their descriptions and its standard output;
// and every new option's failures, one line each.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hdf5.h>

#include "cli/ellipse_scan.h"
#include "cli/run.h"
#include "cli/tiff_stack.h"

namespace {

RunResult StackRecon(const Scratch &scratch, const std::string &args) {
    return scratch.Run("\"$BIN/stack_recon\" " + args);
}

// A half-acquisition scan: 64 detectors, 4 rows, 180 views over the whole
// turn, the axis at 12.3 (19.2 left of the middle), so that the body
// reaches past the detector's left edge in every view and only the
// opposite view sees that side.
ScanShape HalfAcquisition() {
    ScanShape shape;
    shape.columns = 64;
    shape.rows = 4;
    shape.views = 180;
    shape.full_turn = true;
    shape.axis_offset = 12.3 - 31.5;
    return shape;
}

// A half turn of 90 views, the axis at 32.8.
ScanShape HalfTurn() {
    ScanShape shape;
    shape.columns = 64;
    shape.rows = 4;
    shape.views = 90;
    shape.axis_offset = 1.3;
    return shape;
}

// Writes scan.tif, flat.tif, dark.tif and the angles as text: all.txt
// (every view) and first.txt (the first half).
void WriteScan(const Scratch &scratch, const Scan &scan) {
    ASSERT_TRUE(WriteScanTiff(scan, scratch.dir));
    std::string all, first;
    for (std::size_t k = 0; k < scan.theta.size(); ++k) {
        char line[40];
        std::snprintf(line, sizeof line, "%.17g\n", scan.theta[k]);
        all += line;
        if (2 * k < scan.theta.size()) first += line;
    }
    scratch.Write("all.txt", all);
    scratch.Write("first.txt", first);
}

// A float TIFF's pages and each page's description ("" for none).
struct Pages {
    std::vector<std::vector<float>> samples;
    std::vector<std::string> descriptions;
};

Pages ReadPages(const std::string &path) {
    Pages pages;
    pages.samples = TiffPages(path, &pages.descriptions);
    return pages;
}

// /exchange/center of a volume.
std::vector<double> RecordedCenters(const std::string &path) { return H5Values(path, "/exchange/center"); }

std::string Listing(const Scratch &scratch) { return scratch.Run("ls -A | grep -v '^\\.std'").out; }

// The road through the single programs for one row of a full turn:
// proj_sino, sino_fold about `center`, sino_recon about the axis sino_fold
// prints, at the folded width, the Shepp-Logan kernel; `angles` ("" or
// "-a first.txt") for sino_recon. Returns the image's bytes.
std::string FoldRoad(const Scratch &scratch, int row, const std::string &center, const std::string &angles,
                     const std::string &reading = "") {
    std::string r = std::to_string(row);
    RunResult run = scratch.Run("\"$BIN/proj_sino\" " + reading + " -f flat.tif -d dark.tif -r " + r + ",1 scan.tif road_%d.sg && "
                                "\"$BIN/sino_fold\" road_" + r + ".sg " + center + " fold_" + r + ".sg");
    EXPECT_EQ(run.status, 0) << run.err;
    std::string axis = run.out.substr(0, run.out.size() - 1);
    std::string sg = scratch.Read("fold_" + r + ".sg");
    std::string width = sg.substr(0, sg.find('\t'));
    run = scratch.Run("\"$BIN/sino_recon\" " + angles + " fold_" + r + ".sg " + axis + " 1 " + width + " shepp road_" + r +
                      ".img");
    EXPECT_EQ(run.status, 0) << run.err;
    return scratch.Read("road_" + r + ".img");
}

// A full turn with the axis off the middle, given with -c, is folded: each
// slice is proj_sino -> sino_fold -> sino_recon of its row to the last
// bit, at the folded width (64 + |2 x 12.35 - 63| rounded out: 102), with
// -t and with the angles of the whole turn alike. The axis has more
// digits than sino_fold prints of the folded one (50.345679), which
// sino_recon then takes.
TEST(StackReconAxisCli, AnOffCentreFullTurnIsFoldedAsSinoFoldFoldsIt) {
    Scratch scratch;
    Scan scan = MakeScan(HalfAcquisition());
    WriteScan(scratch, scan);
    for (const char *views : {"-t", "-a all.txt"}) {
        RunResult r = StackRecon(scratch, std::string(views) + " -c 12.3456789 -k shepp -f flat.tif -d dark.tif scan.tif s_%d.img");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "4 flats, 2 darks.\ns_%d.img: 4 slices of 102 x 102.\n") << views;
        for (int row : {0, 3}) {
            std::string road = FoldRoad(scratch, row, "12.3456789", std::string(views) == "-t" ? "" : "-a first.txt");
            EXPECT_TRUE(scratch.Read("s_" + std::to_string(row) + ".img") == road) << views << " row " << row;
        }
    }
    // Found from the data as sino_center -t (or -a) finds it on each row.
    for (const char *views : {"-t", "-a all.txt"}) {
        RunResult r = StackRecon(scratch, std::string(views) + " -k shepp -f flat.tif -d dark.tif scan.tif vol.h5");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("(median of 4 rows)\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("vol.h5: 4 slices of 102 x 102.\n"), std::string::npos) << r.err;
        std::vector<double> centers = RecordedCenters(scratch.Path("vol.h5"));
        ASSERT_EQ(centers.size(), 4u);
        for (double c : centers) EXPECT_NEAR(c, 12.3, 0.1) << views;
    }
    // Bands of a row or two and one thread change no byte, with each row
    // folded about its own axis (-c FILE).
    scratch.Write("table.txt", "0 12.3\n3 13.1\n");
    for (const char *run : {"\"$BIN/stack_recon\" -c table.txt", "OMP_NUM_THREADS=1 \"$BIN/stack_recon\" -m 0.4 -c table.txt"}) {
        RunResult r = scratch.Run(std::string(run) + " -t -f flat.tif -d dark.tif scan.tif " +
                                  (run[0] == '"' ? "a_%d.img" : "b_%d.img"));
        ASSERT_EQ(r.status, 0) << r.err;
    }
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(scratch.Read("a_" + std::to_string(row) + ".img") == scratch.Read("b_" + std::to_string(row) + ".img"))
            << row;
    // The axis near the middle keeps the first half (-t): no fold.
    RunResult r = StackRecon(scratch, "-t -c 31 -k shepp -f flat.tif -d dark.tif scan.tif mid.h5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("mid.h5: 4 slices of 64 x 64.\n"), std::string::npos) << r.err;
}

// Phase retrieval and a turn closed at 360 degrees, folded as the road
// folds them.
TEST(StackReconAxisCli, PhaseRetrievedOrClosedTurnsFoldAlike) {
    Scratch scratch;
    Scan scan = MakeScan(HalfAcquisition());
    WriteScan(scratch, scan);
    RunResult r = StackRecon(scratch, "-a all.txt -c 12.3456789 -k shepp -f flat.tif -d dark.tif scan.tif s_%d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    // Phase retrieval reads the whole turn for the search and the fold: the
    // retrieved views fold as proj_sino -P's rows do. Here they match their
    // opposite ones on no row, as sino_center -t finds on those rows.
    const std::string phase = "-P 1000,0.1,10,5e-6";
    r = StackRecon(scratch, "-t " + phase + " -c 12.3456789 -k shepp -f flat.tif -d dark.tif scan.tif p_%d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Read("p_2.img") == FoldRoad(scratch, 2, "12.3456789", "", phase));
    r = StackRecon(scratch, "-t " + phase + " -f flat.tif -d dark.tif scan.tif p.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "no clear center: 0 of 4 rows gave one (the views do not match their opposite ones); give the axis with -c.\n");
    // 0 to 360 degrees inclusive: the last view, the first again, is left
    // out of the fold.
    scratch.Write("closed.txt", scratch.Read("all.txt") + "360\n");
    std::vector<std::vector<double>> pages = scan.projections;
    pages.push_back(scan.projections[0]);
    ASSERT_TRUE(WriteTiff(scratch.Path("closed.tif"), pages, scan.shape.columns, scan.shape.rows, SampleKind::kU16));
    r = StackRecon(scratch, "-a closed.txt -c 12.3456789 -k shepp -f flat.tif -d dark.tif closed.tif c_%d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(scratch.Read("c_" + std::to_string(row) + ".img") == scratch.Read("s_" + std::to_string(row) + ".img"))
            << row;
}

// Views over the whole turn at uneven angles (the first half of an even
// turn whole, every other view of the second): the axis is found at those angles, as sino_center -a finds
// it, and the turn, not in opposite pairs, is refused for a fold.
TEST(StackReconAxisCli, AnUnevenFullTurnIsSearchedAtItsAnglesAndNotFolded) {
    Scratch scratch;
    Scan scan = MakeScan(HalfAcquisition());
    ASSERT_TRUE(WriteScanTiff(scan, scratch.dir));
    std::vector<std::vector<double>> pages;
    std::string angles;
    for (std::size_t k = 0; k < scan.projections.size(); ++k) {
        if (k >= scan.projections.size() / 2 && k % 2 == 1) continue;
        pages.push_back(scan.projections[k]);
        angles += std::to_string(scan.theta[k]) + "\n";
    }
    scratch.Write("kept.txt", angles);
    ASSERT_TRUE(WriteTiff(scratch.Path("kept.tif"), pages, scan.shape.columns, scan.shape.rows, SampleKind::kU16));
    RunResult r = StackRecon(scratch, "-a kept.txt -f flat.tif -d dark.tif kept.tif vol.tif");
    EXPECT_EQ(r.status, 1);
    const std::string refusal = "a full turn with its axis off the middle is folded from views in opposite pairs "
                                "(view k + M half a turn from view k): the angles are not.\n";
    ASSERT_GE(r.err.size(), refusal.size());
    EXPECT_EQ(r.err.substr(r.err.size() - refusal.size()), refusal);
    std::size_t at = r.err.find("\ncenter ");
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_NEAR(std::stod(r.err.substr(at + 8)), 12.3, 0.1) << r.err;
    EXPECT_NE(r.err.find("(median of 4 rows)\n"), std::string::npos) << r.err;
}

// The folded slices cover the object: their error against the phantom is
// far below what reconstructing the unfolded turn gave (the case a user
// met: 97 % RMS error, exit 0).
TEST(StackReconAxisCli, TheFoldedVolumeCoversTheObject) {
    Scratch scratch;
    ScanShape shape = HalfAcquisition();
    WriteScan(scratch, MakeScan(shape));
    RunResult r = StackRecon(scratch, "-t -c 12.3 -s 64 -r 1,1 -f flat.tif -d dark.tif scan.tif s_%d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> image = SamplesAfterHeader(scratch.Read("s_1.img"));
    ASSERT_EQ(image.size(), 64u * 64u);
    double error = 0, norm = 0;
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j) {
            double truth = PhantomDensity(shape, 1, j - 31.5, 31.5 - i);
            double d = image[static_cast<std::size_t>(i) * 64 + j] - truth;
            error += d * d;
            norm += truth * truth;
        }
    EXPECT_LT(std::sqrt(error / norm), 0.35);
}

// Most rows must give a center: with two rows of four blank, the two that
// give one are not heard; with one blank, the other three are.
TEST(StackReconAxisCli, TheMedianNeedsMostRows) {
    ScanShape shape = HalfTurn();
    shape.noise = false;  // blank rows exactly blank
    Scan scan = MakeScan(shape);
    Scratch scratch;
    ASSERT_TRUE(WriteScanTiff(scan, scratch.dir));
    auto blank_rows = [&](int from) {
        std::vector<std::vector<double>> pages = scan.projections;
        for (auto &page : pages)
            for (int r = from; r < shape.rows; ++r)
                for (int c = 0; c < shape.columns; ++c) page[static_cast<std::size_t>(r) * shape.columns + c] = shape.i0 + shape.dark;
        return pages;
    };
    ASSERT_TRUE(WriteTiff(scratch.Path("two.tif"), blank_rows(2), shape.columns, shape.rows, SampleKind::kU16));
    ASSERT_TRUE(WriteTiff(scratch.Path("three.tif"), blank_rows(3), shape.columns, shape.rows, SampleKind::kU16));
    std::string before = Listing(scratch);
    RunResult r = StackRecon(scratch, "-f flat.tif -d dark.tif two.tif vol.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "no clear center: 2 of 4 rows gave one (the halves of the turn do not match); give the axis with -c, or -t if the views cover the whole turn.\n");
    EXPECT_EQ(Listing(scratch), before);
    r = StackRecon(scratch, "-f flat.tif -d dark.tif three.tif vol.tif");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("row 3: no clear center\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(median of 3 rows)\n"), std::string::npos) << r.err;
}

// -c FILE: rows between two entries take the line between them, rows
// beyond the ends the end's center; the centers used are recorded.
TEST(StackReconAxisCli, ATableGivesEachRowItsCenter) {
    struct Case {
        const char *table;
        std::vector<double> centers;  // rows 0 ... 3, by hand
    } cases[] = {
        {"0 30.5\n# the top\n\n3 32.5\n", {30.5, 30.5 + 2.0 / 3, 30.5 + 4.0 / 3, 32.5}},
        {"1 31\n2 32   # tilted\n", {31, 31, 32, 32}},
        {"2 33.25\n", {33.25, 33.25, 33.25, 33.25}},
        {"0 30\n1 31\n3 35\n9 40\n", {30, 31, 33, 35}},
    };
    Scratch scratch;
    WriteScan(scratch, MakeScan(HalfTurn()));
    for (const Case &c : cases) {
        scratch.Write("table.txt", c.table);
        RunResult r = StackRecon(scratch, "-c table.txt -f flat.tif -d dark.tif scan.tif vol.h5");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<double> recorded = RecordedCenters(scratch.Path("vol.h5"));
        ASSERT_EQ(recorded.size(), 4u) << c.table;
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(recorded[static_cast<std::size_t>(i)], c.centers[static_cast<std::size_t>(i)], 1e-12) << c.table << i;
    }
    // A slice is sino_recon's of its row at the row's center.
    scratch.Write("table.txt", "1 31\n2 32\n");
    RunResult r = StackRecon(scratch, "-c table.txt -k shepp -f flat.tif -d dark.tif scan.tif s_%d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    r = scratch.Run("\"$BIN/proj_sino\" -f flat.tif -d dark.tif scan.tif p_%d.sg && \"$BIN/sino_recon\" p_3.sg 32 1 64 shepp q.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(scratch.Read("s_3.img") == scratch.Read("q.img"));
}

// -C: a page per trial center, TO included whatever the rounding of the
// steps, each page's center in its description and on standard output,
// each page sino_recon's image of the row at that center.
TEST(StackReconAxisCli, TheCenterScanWritesAPagePerCenter) {
    Scratch scratch;
    WriteScan(scratch, MakeScan(HalfTurn()));
    RunResult r = StackRecon(scratch, "-C 32,33,0.25 -r 1,2 -k shepp -f flat.tif -d dark.tif scan.tif trials.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 32.000000\n1 32.250000\n2 32.500000\n3 32.750000\n4 33.000000\n");
    EXPECT_EQ(r.err, "4 flats, 2 darks.\ntrials.tif: 5 slices of 64 x 64.\n");
    Pages pages = ReadPages(scratch.Path("trials.tif"));
    ASSERT_EQ(pages.samples.size(), 5u);
    r = scratch.Run("\"$BIN/proj_sino\" -f flat.tif -d dark.tif scan.tif p_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    const char *centers[] = {"32.000000", "32.250000", "32.500000", "32.750000", "33.000000"};
    for (int p = 0; p < 5; ++p) {
        std::string line = std::string("center=") + centers[p] + "\n";
        const std::string &text = pages.descriptions[static_cast<std::size_t>(p)];
        // Page 0's is in the volume's record, a JSON object.
        if (p == 0)
            EXPECT_TRUE(text.rfind("{", 0) == 0 &&
                        text.find("\"page\":\"center=" + std::string(centers[p]) + "\\n\"") != std::string::npos &&
                        text.find("\"center\":\"scan 32,33,0.25\"") != std::string::npos &&
                        text.find("\"first_row\":1,\"rows\":1,") != std::string::npos &&
                        text.find("\"pages\":5") != std::string::npos)
                << text;
        else
            EXPECT_EQ(text, line);
        r = scratch.Run(std::string("\"$BIN/sino_recon\" p_1.sg ") + centers[p] + " 1 64 shepp q.img");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<double> expected = SamplesAfterHeader(scratch.Read("q.img"));
        ASSERT_EQ(expected.size(), pages.samples[static_cast<std::size_t>(p)].size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(pages.samples[static_cast<std::size_t>(p)][i], static_cast<float>(expected[i])) << p << " " << i;
    }
    // Without -r, the middle row; nine steps of 0.1 from 30 reach 30.9,
    // though (30.9 - 30) / 0.1 falls short of 9 in doubles.
    r = StackRecon(scratch, "-C 30,30.9,0.1 -k shepp -f flat.tif -d dark.tif scan.tif mid.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 10);
    EXPECT_NE(r.out.find("\n9 30.900000\n"), std::string::npos) << r.out;
    Pages middle = ReadPages(scratch.Path("mid.tif"));
    ASSERT_EQ(middle.samples.size(), 10u);
    r = scratch.Run("\"$BIN/sino_recon\" p_2.sg 30 1 64 shepp q.img");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> expected = SamplesAfterHeader(scratch.Read("q.img"));
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(middle.samples[0][i], static_cast<float>(expected[i])) << i;
}

// Every failure of the new options: one line, exit status 1, nothing on
// standard output and no volume left.
TEST(StackReconAxisCli, EveryFailureHasItsLine) {
    struct Case {
        const char *args;
        const char *message;
    } cases[] = {
        {"-C 30,28,1 scan.tif vol.tif", "center scan from above its end."},
        {"-C 28,30,0 scan.tif vol.tif", "bad center scan step."},
        {"-C 28,30,-1 scan.tif vol.tif", "bad center scan step."},
        {"-C 28,30 scan.tif vol.tif", "bad center scan: 28,30."},
        {"-C 28,30,1,2 scan.tif vol.tif", "bad center scan: 28,30,1,2."},
        {"-C 28,x,1 scan.tif vol.tif", "bad center scan: 28,x,1."},
        {"-C 28,inf,1 scan.tif vol.tif", "bad center scan: 28,inf,1."},
        {"-C 0,2000,1 scan.tif vol.tif", "center scan of more than 1000 pages."},
        {"-C 0,1000,1 scan.tif vol.tif", "center scan of more than 1000 pages."},
        {"-C 0,10,1 scan.tif vol.tif", "center scan outside the detector."},
        {"-C 60,63,1 scan.tif vol.tif", "center scan outside the detector."},
        {"-C 28,30,1 scan.tif vol.h5", "-C writes one .tif volume."},
        {"-C 28,30,1 scan.tif v_%d.tif", "-C writes one .tif volume."},
        {"-C 28,30,1 -c 30 scan.tif vol.tif", "-C takes no -c."},
        {"-C 28,30,1 -M fourier scan.tif vol.tif", "-C takes no -M."},
        {"-j -C 28,30,1 part.h5 vol.tif", "-j takes no other option."},
        {"-c bad.txt scan.tif vol.tif", "bad.txt: line 3: bad line."},
        {"-c words.txt scan.tif vol.tif", "words.txt: line 1: bad line."},
        {"-c half_row.txt scan.tif vol.tif", "half_row.txt: line 1: bad line."},
        {"-c negative.txt scan.tif vol.tif", "negative.txt: line 1: bad line."},
        {"-c nan.txt scan.tif vol.tif", "nan.txt: line 2: bad line."},
        {"-c order.txt scan.tif vol.tif", "order.txt: line 2: rows not increasing."},
        {"-c same.txt scan.tif vol.tif", "same.txt: line 3: rows not increasing."},
        {"-c empty.txt scan.tif vol.tif", "empty.txt: no rows."},
        {"-c outside.txt scan.tif vol.tif", "outside.txt: line 2: center outside the detector."},
        {"-c missing.txt scan.tif vol.tif", "missing.txt: file not found."},
        {"-c gone/axes scan.tif vol.tif", "gone/axes: file not found."},
        {"-c 163.7px scan.tif vol.tif", "bad position of rotation center: 163.7px."},
        {"-j -c table.txt part.h5 vol.tif", "-j takes no other option."},
        // A full turn whose axis cannot be found is never reconstructed.
        {"-t blank.tif vol.tif",
         "no clear center: 0 of 4 rows gave one (the views do not match their opposite ones); give the axis with -c."},
        // Folding pairs each view with the one half a turn on.
        {"-c 12.3 -a uneven.txt full.tif vol.tif",
         "a full turn with its axis off the middle is folded from views in opposite pairs (view k + M half a turn from "
         "view k): the angles are not."},
        {"-c 12.3 -a shifted.txt full.tif vol.tif",
         "a full turn with its axis off the middle is folded from views in opposite pairs (view k + M half a turn from "
         "view k): the angles are not."},
        // Most of a turn, a gap too wide for a whole one: nothing to fold.
        {"-c 12.3 -a gap.txt full.tif vol.tif",
         "the views cover most of the turn with gaps and the axis lies off the middle (half acquisition?): give a "
         "whole turn, or the views of a half turn with -a."},
    };
    Scratch scratch;
    WriteScan(scratch, MakeScan(HalfTurn()));
    scratch.Write("bad.txt", "0 30\n1 31\n2 31 5\n");
    scratch.Write("words.txt", "row center\n");
    scratch.Write("half_row.txt", "1.5 30\n");
    scratch.Write("negative.txt", "-1 30\n");
    scratch.Write("nan.txt", "0 30\n1 nan\n");
    scratch.Write("order.txt", "3 30\n1 31\n");
    scratch.Write("same.txt", "0 30\n# again\n0 31\n");
    scratch.Write("empty.txt", "# nothing\n\n");
    scratch.Write("outside.txt", "0 30\n3 63\n");
    scratch.Write("table.txt", "0 30\n");
    const int columns = 64, rows = 4;
    ASSERT_TRUE(WriteTiff(scratch.Path("blank.tif"), std::vector<std::vector<double>>(20, std::vector<double>(columns * rows, 1)),
                          columns, rows, SampleKind::kU16));
    // 24 views over the whole turn with their spacing uneven.
    std::vector<std::vector<double>> pages(24, std::vector<double>(columns * rows, 100));
    for (int k = 0; k < 24; ++k) pages[static_cast<std::size_t>(k)][static_cast<std::size_t>(k)] = 50;
    ASSERT_TRUE(WriteTiff(scratch.Path("full.tif"), pages, columns, rows, SampleKind::kU16));
    std::string uneven;
    for (int k = 0; k < 24; ++k) uneven += std::to_string(k * 15 + (k % 3 == 1 ? 4 : 0)) + "\n";
    scratch.Write("uneven.txt", uneven);
    // An even half turn, then the other half 7 degrees past opposite.
    std::string shifted;
    for (int k = 0; k < 24; ++k) shifted += std::to_string(k * 15 + (k >= 12 ? 7 : 0)) + "\n";
    scratch.Write("shifted.txt", shifted);
    // 0 to 276 degrees: a gap of 84.
    std::string gap;
    for (int k = 0; k < 24; ++k) gap += std::to_string(k * 12) + "\n";
    scratch.Write("gap.txt", gap);
    std::string before = Listing(scratch);
    for (const Case &c : cases) {
        RunResult r = StackRecon(scratch, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(Listing(scratch), before) << c.args;
    }
}

}  // namespace
