// stack_recon's steps beyond filtered back-projection, each the single
// program's to the byte on the same rows: rings removed (-R) as
// proj_sino -> sino_rings -> sino_recon, the iterative methods (-M sirt,
// cgls, tv with -i, -n, -S, -L, -e) as proj_sino -> sino_iter, the slices'
// centre (-o) as sino_recon -o; the same bytes for any number of threads;
// the progress line naming each step; and a line for every bad value.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/ellipse_scan.h"
#include "cli/run.h"

namespace {

RunResult StackRecon(const Scratch &scratch, const std::string &args) {
    return scratch.Run("\"$BIN/stack_recon\" " + args);
}

// One thread, which a machine busy with other work runs fastest; the
// threads' test shows they change no byte.
RunResult OneThread(const Scratch &scratch, const std::string &command) {
    return scratch.Run("OMP_NUM_THREADS=1; export OMP_NUM_THREADS; " + command);
}

// 64 detectors, 4 rows, 90 views, the axis 1.3 right of the middle; in
// every projection detector 20 answers 8 % low and detector 41 5 % high,
// as a miscalibrated pixel does, which leaves a stripe in every sinogram.
void WriteStripedScan(const Scratch &scratch, bool full_turn = false) {
    ScanShape shape;
    shape.columns = 64;
    shape.rows = 4;
    shape.views = 90;
    shape.axis_offset = 1.3;
    // Half acquisition: 180 views over the whole turn, the axis at 12.3.
    if (full_turn) {
        shape.views = 180;
        shape.full_turn = true;
        shape.axis_offset = 12.3 - 31.5;
    }
    Scan scan = MakeScan(shape);
    for (Image &projection : scan.projections) {
        for (int row = 0; row < shape.rows; ++row) {
            projection[static_cast<std::size_t>(row * shape.columns + 20)] *= 0.92;
            projection[static_cast<std::size_t>(row * shape.columns + 41)] *= 1.05;
        }
    }
    ASSERT_TRUE(WriteScanTiff(scan, scratch.dir));
}

std::string Replace(std::string text, const std::string &from, const std::string &to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A slice of stack_recon (a pattern's image, in the sinogram layout) and
// the single programs' image of the same row: the commands after proj_sino
// wrote p_@.sg for every row R, "R" standing for the row, the image q_@.img.
struct Road {
    const char *options;  // stack_recon's, before the stack
    const char *single;   // the single programs' commands for row R
    int rows;             // the rows compared, from 0
};

TEST(StackReconRoadCli, EachStepEqualsItsSingleProgramOnTheSameRows) {
    Scratch scratch;
    WriteStripedScan(scratch);
    RunResult r = scratch.Run("\"$BIN/proj_sino\" -f flat.tif -d dark.tif scan.tif p_%d.sg");
    ASSERT_EQ(r.status, 0) << r.err;
    // A limited range, 0 to 118.7 degrees: the iterative methods take the
    // views unweighted, as sino_iter does.
    std::string limited;
    for (int k = 0; k < 90; ++k) limited += std::to_string(k * 4 / 3.0) + "\n";
    scratch.Write("limited.txt", limited);
    const Road roads[] = {
        {"-R auto", "\"$BIN/sino_rings\" p_@.sg r_@.sg && \"$BIN/sino_recon\" r_@.sg 32.8 1 q_@.img", 4},
        {"-R sort,7 -k shepp -s 48",
         "\"$BIN/sino_rings\" p_@.sg sort 7 r_@.sg && \"$BIN/sino_recon\" r_@.sg 32.8 1 48 shepp q_@.img", 4},
        {"-R detect,5", "\"$BIN/sino_rings\" p_@.sg detect 5 r_@.sg && \"$BIN/sino_recon\" r_@.sg 32.8 1 q_@.img", 2},
        {"-R fft", "\"$BIN/sino_rings\" p_@.sg fft r_@.sg && \"$BIN/sino_recon\" r_@.sg 32.8 1 q_@.img", 2},
        {"-M sirt -i 12 -n", "\"$BIN/sino_iter\" -i 12 -n p_@.sg 32.8 1 64 sirt q_@.img", 4},
        {"-M sirt -i 4 -S 6 -s 40", "\"$BIN/sino_iter\" -i 4 -s 6 p_@.sg 32.8 1 40 sirt q_@.img", 2},
        {"-M cgls -i 9", "\"$BIN/sino_iter\" -i 9 p_@.sg 32.8 1 64 cgls q_@.img", 4},
        {"-M tv -i 8 -n -L 0.5 -e 0", "\"$BIN/sino_iter\" -i 8 -n -l 0.5 -e 0 p_@.sg 32.8 1 64 tv q_@.img", 4},
        {"-M tv -i 25", "\"$BIN/sino_iter\" -i 25 p_@.sg 32.8 1 64 tv q_@.img", 1},
        {"-a limited.txt -M tv -i 6", "\"$BIN/sino_iter\" -a limited.txt -i 6 p_@.sg 32.8 1 64 tv q_@.img", 2},
        {"-R auto -M cgls -i 5",
         "\"$BIN/sino_rings\" p_@.sg r_@.sg && \"$BIN/sino_iter\" -i 5 r_@.sg 32.8 1 64 cgls q_@.img", 2},
        {"-o 3.5,-2 -s 40", "\"$BIN/sino_recon\" -o 3.5,-2 p_@.sg 32.8 1 40 q_@.img", 4},
        {"-o -6,4.25 -s 36 -k ramachandran",
         "\"$BIN/sino_recon\" -o -6,4.25 p_@.sg 32.8 1 36 ramachandran q_@.img", 2},
        // A lone row (its partner outside the range) is gridded alone, as
        // sino_recon grids it.
        {"-r 1,1 -M fourier -o 2,3 -s 40", "\"$BIN/sino_recon\" -M fourier -o 2,3 p_@.sg 32.8 1 40 q_@.img", 0},
    };
    for (const Road &road : roads) {
        SCOPED_TRACE(road.options);
        scratch.Run("rm -f s_*.img q_*.img r_*.sg");
        r = OneThread(scratch, std::string("\"$BIN/stack_recon\" -c 32.8 ") + road.options +
                                   " -f flat.tif -d dark.tif scan.tif s_%d.img");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<int> rows;
        for (int row = 0; row < road.rows; ++row) rows.push_back(row);
        if (road.rows == 0) rows.push_back(1);  // the -r 1,1 case
        for (int row : rows) {
            std::string name = std::to_string(row);
            r = OneThread(scratch, Replace(road.single, "@", name));
            ASSERT_EQ(r.status, 0) << r.err;
            std::string expected = scratch.Read("q_" + name + ".img");
            ASSERT_FALSE(expected.empty());
            EXPECT_TRUE(scratch.Read("s_" + name + ".img") == expected) << "row " << row;
        }
    }
    // The stripes are there to remove: without -R the slices differ.
    r = StackRecon(scratch, "-c 32.8 -f flat.tif -d dark.tif scan.tif s_%d.img");
    ASSERT_EQ(r.status, 0) << r.err;
    r = scratch.Run("\"$BIN/sino_rings\" p_0.sg r_0.sg && \"$BIN/sino_recon\" r_0.sg 32.8 1 q_0.img");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(scratch.Read("s_0.img") == scratch.Read("q_0.img"));
    // Slices no ray meets are said to be empty, as sino_recon says it.
    r = StackRecon(scratch, "-c 32.8 -o 42,0 -s 16 -f flat.tif -d dark.tif scan.tif far.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("warning: the image lies outside the field of view (the rays reach 33.8 detector intervals "
                          "from the axis; -o is in detector intervals): it is empty.\n",
                          0),
              0u)
        << r.err;
}

// A dead column keeps the halves of the turn apart: the axis is sought on
// the rows' sinograms cleaned as -R cleans them; without -R, the failure
// says that cleaning would find it.
TEST(StackReconRoadCli, TheAxisIsSoughtOnSinogramsCleanedOfStripes) {
    Scratch scratch;
    ScanShape shape;
    shape.rows = 3;
    shape.views = 180;
    Scan scan = MakeScan(shape);
    for (Image &projection : scan.projections)
        for (int row = 0; row < shape.rows; ++row) projection[static_cast<std::size_t>(row * shape.columns + 40)] = 0;
    ASSERT_TRUE(WriteScanTiff(scan, scratch.dir));
    RunResult r = StackRecon(scratch, "-f flat.tif -d dark.tif scan.tif v.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "no clear center: 0 of 3 rows gave one, 3 once cleaned of stripes: give -R auto (or the axis "
                     "with -c).\n");
    r = StackRecon(scratch, "-R auto -f flat.tif -d dark.tif scan.tif v.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t at = r.err.find("\ncenter ");
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_NEAR(std::stod(r.err.substr(at + 8)), scan.axis, 0.05) << r.err;
}

// A full turn with the axis off the middle is folded first, then cleaned
// and reconstructed: proj_sino -> sino_fold -> sino_rings -> sino_recon or
// sino_iter, about the folded axis sino_fold prints, at its width.
TEST(StackReconRoadCli, AFoldedTurnIsCleanedAndIteratedAfterItsFold) {
    Scratch scratch;
    WriteStripedScan(scratch, true);
    const Road roads[] = {
        {"-R auto -k shepp", "\"$BIN/sino_rings\" f_@.sg r_@.sg && \"$BIN/sino_recon\" r_@.sg AXIS 1 WIDTH shepp q_@.img", 2},
        {"-R sort -M cgls -i 4", "\"$BIN/sino_rings\" f_@.sg sort r_@.sg && \"$BIN/sino_iter\" -i 4 r_@.sg AXIS 1 WIDTH cgls q_@.img",
         2},
    };
    for (const Road &road : roads) {
        SCOPED_TRACE(road.options);
        RunResult r = OneThread(scratch, std::string("\"$BIN/stack_recon\" -t -c 12.3456789 ") + road.options +
                                             " -f flat.tif -d dark.tif scan.tif s_%d.img");
        ASSERT_EQ(r.status, 0) << r.err;
        for (int row = 0; row < road.rows; ++row) {
            std::string name = std::to_string(row);
            r = scratch.Run("\"$BIN/proj_sino\" -f flat.tif -d dark.tif -r " + name + ",1 scan.tif p_%d.sg && \"$BIN/sino_fold\" p_" +
                            name + ".sg 12.3456789 f_" + name + ".sg");
            ASSERT_EQ(r.status, 0) << r.err;
            std::string axis = r.out.substr(0, r.out.size() - 1);
            std::string folded = scratch.Read("f_" + name + ".sg");
            std::string width = folded.substr(0, folded.find('\t'));
            r = OneThread(scratch, Replace(Replace(Replace(road.single, "@", name), "AXIS", axis), "WIDTH", width));
            ASSERT_EQ(r.status, 0) << r.err;
            std::string expected = scratch.Read("q_" + name + ".img");
            ASSERT_FALSE(expected.empty());
            EXPECT_TRUE(scratch.Read("s_" + name + ".img") == expected) << "row " << row;
        }
    }
}

// Threads share a slice's iterations and a sinogram's stripes, and bands
// split the rows: none changes a byte.
TEST(StackReconRoadCli, ThreadsAndBandsChangeNoByte) {
    Scratch scratch;
    WriteStripedScan(scratch);
    // Each budget leaves bands of one to three rows ((90 + 3) x 64 x 8 bytes
    // = 46.5 KiB a row) beside the slices' and the rings' arrays, on two
    // threads and on three (auto's arrays, a set a thread, need a budget
    // for each).
    const struct {
        const char *options, *budget, *budget3;
    } methods[] = {
        {"-R auto -M tv -i 5", "0.88", "0.96"},
        {"-R sort -M sirt -i 3 -S 5 -n", "0.8", "0.8"},
        {"-R fft -o 1,1 -M fourier", "0.7", "0.7"},
    };
    for (const auto &method : methods) {
        SCOPED_TRACE(method.options);
        std::string base = std::string("-c 32.8 ") + method.options + " -f flat.tif -d dark.tif scan.tif ";
        RunResult r = scratch.Run("OMP_NUM_THREADS=1 \"$BIN/stack_recon\" " + base + "one.tif");
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char *threads : {"2", "3"}) {
            r = scratch.Run(std::string("OMP_WAIT_POLICY=passive OMP_NUM_THREADS=") + threads +
                            " \"$BIN/stack_recon\" -m " + (threads[0] == '2' ? method.budget : method.budget3) +
                            " " + base + "more.tif");
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(VolumeSamples(scratch.Path("one.tif")) == VolumeSamples(scratch.Path("more.tif"))) << threads << " threads";
        }
    }
}

// The memory plan counts the solver's arrays: 91 images of 64 x 64 for
// sirt over 90 subsets (2.8 MiB) do not fit a budget of 2 MiB, where sirt
// over one subset does; the failure names the budget that will do.
TEST(StackReconRoadCli, TheBudgetHoldsTheSolversArrays) {
    Scratch scratch;
    WriteStripedScan(scratch);
    RunResult r = StackRecon(scratch, "-m 2 -c 32.8 -M sirt -i 2 scan.tif vol.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    r = StackRecon(scratch, "-m 2 -c 32.8 -M sirt -i 2 -S 90 scan.tif vol2.tif");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "memory budget too small: -m 4 will do.\n");
    EXPECT_FALSE(scratch.Exists("vol2.tif"));
    // The budget named is the least whole number of MiB that does.
    EXPECT_EQ(StackRecon(scratch, "-m 3 -c 32.8 -M sirt -i 2 -S 90 scan.tif vol2.tif").status, 1);
    EXPECT_EQ(StackRecon(scratch, "-m 4 -c 32.8 -M sirt -i 2 -S 90 scan.tif vol2.tif").status, 0);
}

TEST(StackReconRoadCli, ProgressNamesEveryStepOnlyOnATerminal) {
    Scratch scratch;
    WriteStripedScan(scratch);
    RunResult probe = scratch.Run("command -v script >/dev/null || exit 77; script -qec true /dev/null");
    if (probe.status == 77) GTEST_SKIP() << "script(1) is not installed";
    if (probe.status != 0) GTEST_SKIP() << "script(1) cannot open a terminal here: " << probe.err;
    // -m 0.68 on two threads: bands of two rows, each with its steps.
    std::string command =
        "OMP_NUM_THREADS=2 \"$BIN/stack_recon\" -m 0.68 -c 32.8 -R auto -M cgls -i 3 scan.tif vol.tif";
    RunResult r = scratch.Run("script -qec '" + command + "' /dev/null");
    ASSERT_EQ(r.status, 0) << r.err;
    // The clock's figures depend on the machine's load: the lines are
    // looked for around them.
    const char *lines[] = {
        "\r0 of 4 rows, 0:00 elapsed, ? left; reading rows 0 to 1\033[K",
        " left; removing rings from rows 0 to 1\033[K",
        " left; iterating on row 0\033[K",
        "\r1 of 4 rows, ",
        "\r2 of 4 rows, ",
        " left; reading rows 2 to 3\033[K",
        " left; removing rings from rows 2 to 3\033[K",
        " left; iterating on row 3\033[K",
        "\r4 of 4 rows, ",
        // The scan's counts, read without flats, are called so.
        "\r\033[Kwarning: many samples are above 1.5 and there are no flats: they were read as transmissions (give the "
        "flats with -f, or -l for line integrals).\r\nvol.tif: 4 slices of 64 x 64.\r\n",
    };
    for (const char *line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    r = scratch.Run(command);
    EXPECT_EQ(r.err, "warning: many samples are above 1.5 and there are no flats: they were read as transmissions (give "
                     "the flats with -f, or -l for line integrals).\nvol.tif: 4 slices of 64 x 64.\n");
}

struct Bad {
    const char *args;
    const char *message;
};

TEST(StackReconRoadCli, EveryBadValueHasItsLineAndLeavesNoVolume) {
    Scratch scratch;
    WriteStripedScan(scratch);
    const Bad cases[] = {
        {"-R none -c 32.8 scan.tif vol.tif", "unknown method (auto, detect, sort or fft)."},
        {"-R Auto -c 32.8 scan.tif vol.tif", "unknown method (auto, detect, sort or fft)."},
        {"-R ,5 -c 32.8 scan.tif vol.tif", "unknown method (auto, detect, sort or fft)."},
        {"-R sort,4 -c 32.8 scan.tif vol.tif", "bad size."},
        {"-R sort,1 -c 32.8 scan.tif vol.tif", "bad size."},
        {"-R fft,1003 -c 32.8 scan.tif vol.tif", "bad size."},
        {"-R sort,5x -c 32.8 scan.tif vol.tif", "bad size: 5x."},
        {"-R auto, -c 32.8 scan.tif vol.tif", "bad size: ."},
        {"-M art -c 32.8 scan.tif vol.tif", "unknown method (fbp, fourier, sirt, cgls or tv)."},
        {"-M SIRT -c 32.8 scan.tif vol.tif", "unknown method (fbp, fourier, sirt, cgls or tv)."},
        {"-M sirt -i 0 -c 32.8 scan.tif vol.tif", "bad number of iterations."},
        {"-M sirt -i -3 -c 32.8 scan.tif vol.tif", "bad number of iterations."},
        {"-M sirt -i 3.5 -c 32.8 scan.tif vol.tif", "bad number of iterations: 3.5."},
        {"-M sirt -S 0 -c 32.8 scan.tif vol.tif", "bad number of subsets."},
        {"-M sirt -S 2x -c 32.8 scan.tif vol.tif", "bad number of subsets: 2x."},
        {"-M tv -L -1 -c 32.8 scan.tif vol.tif", "bad lambda."},
        {"-M tv -L inf -c 32.8 scan.tif vol.tif", "bad lambda."},
        {"-M tv -L 0.3. -c 32.8 scan.tif vol.tif", "bad lambda: 0.3.."},
        {"-M tv -e nan -c 32.8 scan.tif vol.tif", "bad tolerance."},
        {"-M tv -e -1e-3 -c 32.8 scan.tif vol.tif", "bad tolerance."},
        {"-M cgls -n -c 32.8 scan.tif vol.tif", "-n needs the sirt or tv method."},
        {"-n -c 32.8 scan.tif vol.tif", "-n needs the sirt or tv method."},
        {"-M tv -S 4 -c 32.8 scan.tif vol.tif", "-S needs the sirt method."},
        {"-M fourier -S 4 -c 32.8 scan.tif vol.tif", "-S needs the sirt method."},
        {"-M sirt -L 0.5 -c 32.8 scan.tif vol.tif", "-L and -e need the tv method."},
        {"-M cgls -e 0.01 -c 32.8 scan.tif vol.tif", "-L and -e need the tv method."},
        {"-i 10 -c 32.8 scan.tif vol.tif", "-i needs the sirt, cgls or tv method."},
        {"-M fourier -i 10 -c 32.8 scan.tif vol.tif", "-i needs the sirt, cgls or tv method."},
        {"-M sirt -k shepp -c 32.8 scan.tif vol.tif", "-k needs the fbp or fourier method."},
        {"-M tv -w even -c 32.8 scan.tif vol.tif", "-w needs the fbp or fourier method."},
        {"-o 3 -c 32.8 scan.tif vol.tif", "bad image center: 3."},
        {"-o 1,2,3 -c 32.8 scan.tif vol.tif", "bad image center: 1,2,3."},
        {"-o 1,inf -c 32.8 scan.tif vol.tif", "bad image center."},
        {"-o nan,0 -c 32.8 scan.tif vol.tif", "bad image center."},
        {"-j -R auto part_0.h5 vol.tif", "-j takes no other option."},
        {"-j -M sirt part_0.h5 vol.tif", "-j takes no other option."},
        {"-j -i 5 part_0.h5 vol.tif", "-j takes no other option."},
        {"-j -n part_0.h5 vol.tif", "-j takes no other option."},
        {"-j -S 2 part_0.h5 vol.tif", "-j takes no other option."},
        {"-j -L 1 part_0.h5 vol.tif", "-j takes no other option."},
        {"-j -e 0.1 part_0.h5 vol.tif", "-j takes no other option."},
        {"-j -o 1,2 part_0.h5 vol.tif", "-j takes no other option."},
        {"-C 30,34,1 -R auto scan.tif scan_c.tif", "-C takes no -R."},
        {"-C 30,34,1 -o 1,1 scan.tif scan_c.tif", "-C takes no -o."},
        {"-C 30,34,1 -M sirt scan.tif scan_c.tif", "-C takes no -M."},
        {"-R", "option -R needs a value (METHOD[,SIZE])."},
        {"-o", "option -o needs a value (X,Y)."},
    };
    for (const Bad &c : cases) {
        RunResult r = StackRecon(scratch, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_FALSE(scratch.Exists("vol.tif")) << c.args;
    }
}

}  // namespace
