// sino_iter run as users run it: every failure, the residual lines of -v,
// few views reconstructed better than filtered back-projection does, and
// the same image for any number of threads.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

const char *const kUsage = "usage : sino_iter [-a ANGLES] [-i N] [-n] [-v] SG c interval {size {method}} IMG";

TEST(SinoIterCli, EveryFailureHasItsMessageAndExitStatus) {
    const std::string small = SinogramBytes(5, 4, Ramp(20, 0.25, 7, -0.5).data());
    const std::vector<double> huge(20, 1e300);
    const FailureCase cases[] = {
        {"", "", kUsage, false},
        {"in.txt 2 1", small, kUsage, false},
        {"in.txt 2 1 5 sirt 7 out.txt", small, kUsage, false},
        {"-i", small, kUsage, false},
        {"-i 0 in.txt 2 1 out.txt", small, "bad number of iterations.", false},
        {"-i x in.txt 2 1 out.txt", small, "bad number of iterations.", false},
        {"missing.sg 2 1 out.txt", "", "missing.sg: file not found.", false},
        {"in.txt 2 1 out.txt", "5 4\n123", "in.txt: data read error.", false},
        {"-a - in.txt 2 1 out.txt", small, "angles: 0 angles for 4 views.", false},
        {"in.txt 4 1 out.txt", small, "bad position of rotation center.", false},
        {"in.txt 2 0 out.txt", small, "bad detector interval.", false},
        {"in.txt 2 1e-320 out.txt", small, "bad detector interval.", false},
        {"in.txt 2 1 0 out.txt", small, "bad image size.", false},
        {"in.txt 2 1 5 art out.txt", small, "unknown method (sirt or cgls).", false},
        {"-n in.txt 2 1 5 cgls out.txt", small, "-n needs the sirt method.", false},
        {"in.txt 2 1 5 cgls out.txt", SinogramBytes(5, 4, huge.data()), "result out of range.", false},
        {"in.txt 2 1 no/such/dir/out.txt", small, "no/such/dir/out.txt: file not open.", false},
        {"in.txt 2 1 /dev/full", small, "/dev/full: data write error.", false},
        {"in.txt 2 1 - >/dev/full", small, "data write error.", false},
    };
    ExpectFailures("sino_iter", cases);
}

TEST(SinoIterCli, VerboseLinesGiveTheResidualOfEachIteration) {
    Scratch scratch;
    ASSERT_EQ(scratch.Run("\"$BIN/disk_sino\" 40 3 -2 12 20 ring.sg").status, 0);
    for (const char *method : {"sirt", "cgls"}) {
        RunResult r = scratch.Run(std::string("\"$BIN/sino_iter\" -v -i 4 ring.sg 19.5 1 40 ") + method + " out.img");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        std::istringstream lines(r.err);
        std::string word, residual_word;
        int iteration = 0;
        double residual = 0, previous = 1e300;
        for (int k = 1; k <= 4; ++k) {
            ASSERT_TRUE(lines >> word >> iteration >> residual_word >> residual) << r.err;
            EXPECT_EQ(word, "iteration");
            EXPECT_EQ(residual_word, "residual");
            EXPECT_EQ(iteration, k);
            EXPECT_LT(residual, previous) << method << " " << k;
            previous = residual;
        }
        EXPECT_FALSE(lines >> word) << r.err;
        // Without -v, nothing on standard error and the same image.
        std::string verbose = scratch.Read("out.img");
        r = scratch.Run(std::string("\"$BIN/sino_iter\" -i 4 ring.sg 19.5 1 40 ") + method + " quiet.img");
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(scratch.Read("quiet.img") == verbose) << method;
    }
}

// The RMS difference of two K x K images within `radius` of the center.
double RmsWithin(const std::string &a, const std::string &b, int size, double radius) {
    std::vector<double> x = SamplesAfterHeader(a), y = SamplesAfterHeader(b);
    double squares = 0, half = (size - 1) / 2.0;
    int count = 0;
    for (int r = 0; r < size; ++r) {
        for (int j = 0; j < size; ++j) {
            if (std::hypot(j - half, r - half) > radius) continue;
            double d = x[static_cast<std::size_t>(r) * size + j] - y[static_cast<std::size_t>(r) * size + j];
            squares += d * d;
            ++count;
        }
    }
    return std::sqrt(squares / count);
}

TEST(SinoIterCli, FewViewsReconstructBetterThanFilteredBackProjection) {
    // A ring seen by 24 views: streaks fill filtered back-projection's
    // image; SIRT with -n stays closer to the truth (CGLS, with no bound on
    // the values, is about as good as filtered back-projection here), and
    // every thread count gives the same image.
    Scratch scratch;
    RunResult r = scratch.Run(
        "\"$BIN/disk_sino\" 128 10 -6 40 -28 24 few.sg && \"$BIN/disk_image\" 128 10 -6 40 -28 truth.img && "
        "\"$BIN/sino_recon\" few.sg 63.5 1 fbp.img && "
        "\"$BIN/sino_iter\" -n -i 200 few.sg 63.5 1 sirt.img && "
        "\"$BIN/sino_iter\" -i 30 few.sg 63.5 1 128 cgls cgls.img && "
        "OMP_NUM_THREADS=1 \"$BIN/sino_iter\" -n -i 200 few.sg 63.5 1 sirt1.img");
    ASSERT_EQ(r.status, 0) << r.err;
    double fbp = RmsWithin(scratch.Read("fbp.img"), scratch.Read("truth.img"), 128, 60);
    double sirt = RmsWithin(scratch.Read("sirt.img"), scratch.Read("truth.img"), 128, 60);
    double cgls = RmsWithin(scratch.Read("cgls.img"), scratch.Read("truth.img"), 128, 60);
    EXPECT_LT(sirt, 0.6 * fbp) << sirt << " against " << fbp;
    EXPECT_LT(cgls, 1.1 * fbp) << cgls << " against " << fbp;
    EXPECT_TRUE(scratch.Read("sirt1.img") == scratch.Read("sirt.img"));
    std::printf("24 views: RMS error within 60 pixels: filtered back-projection %.4f, sirt -n %.4f, cgls %.4f\n", fbp,
                sirt, cgls);
}

}  // namespace
