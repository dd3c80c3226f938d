// sino_iter's tv on analytic phantoms, as the guide shows it: samples from
// phantom_sino's line integrals (not from the projector), the truth from
// phantom_image's pixel means, the RMS error within 0.95 of the object's
// radius against that of the best of sino_recon's kernels. With its
// default lambda TV keeps to a share of filtered back-projection's error on
// few views, a limited range and noisy counts, and on noisy counts, where
// lambda matters most, half and twice it do no more than 15 % better.
// Every thread count gives the same image. Some seconds a case: labelled
// slow.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"

namespace {

// The RMS difference of two K x K images (the second times `scale`) within
// a circle of `radius` pixels around the center.
double RmsInside(const std::string &a, const std::string &b, double scale, int size, double radius) {
    std::vector<double> x = SamplesAfterHeader(a), y = SamplesAfterHeader(b);
    double squares = 0, half = (size - 1) / 2.0;
    int count = 0;
    for (int r = 0; r < size; ++r) {
        for (int j = 0; j < size; ++j) {
            double u = j - half, v = half - r;
            if (u * u + v * v > radius * radius) continue;
            std::size_t i = static_cast<std::size_t>(r) * size + j;
            squares += (x[i] - scale * y[i]) * (x[i] - scale * y[i]);
            ++count;
        }
    }
    return std::sqrt(squares / count);
}

// A body with inclusions of several values, some touching, one small.
const char *const kInclusions =
    "0 0 100 80 10 1\n-30 20 25 15 30 0.5\n35 -10 20 30 -20 -0.4\n10 45 12 12 0 0.8\n"
    "-20 -45 30 8 60 0.3\n40 40 6 6 0 -0.6\n-50 -5 5 10 0 0.6\n";

TEST(SinoIterTvCli, FewViewsLimitedRangeAndNoiseAgainstFilteredBackProjection) {
    struct Scan {
        const char *name, *phantom;
        double radius;
        const char *angles;  // awk program printing the views' angles
        double scale;        // of the line integrals, before the noise
        bool noisy;
        double share;        // of the best filtered back-projection's error
        bool sweep;          // lambda halved and doubled do no better
    };
    const Scan scans[] = {
        {"head, 40 views", "shepp-logan:110", 110, "for (k = 0; k < 40; ++k) print k * 4.5", 1, false, 0.4, false},
        {"inclusions, 0..120 degrees", "inclusions.txt", 105, "for (k = 0; k < 40; ++k) print k * 3", 1, false, 0.4, false},
        // The head's limited range: its bright skull, missed along the
        // directions no view runs, is TV's hardest case. Filtered
        // back-projection with the limited-range weights (-w part) makes
        // 0.145 of it where the end views' half gaps made 0.25, so TV's
        // 0.103 is 0.71 of the better method. The minimum of the objective
        // itself lacks the skull where its edges run along the missing
        // directions (the true image has the larger objective), so neither
        // more iterations nor another lambda go below 0.67.
        {"head, 0..120 degrees", "shepp-logan:110", 110, "for (k = 0; k < 40; ++k) print k * 3", 1, false, 0.75, false},
        {"head, 40 views, 1e4 counts", "shepp-logan:110", 110, "for (k = 0; k < 40; ++k) print k * 4.5", 0.04, true,
         0.7, true},
    };
    Scratch scratch;
    scratch.Write("inclusions.txt", kInclusions);
    for (const Scan &scan : scans) {
        const std::string phantom = scan.phantom, scale = std::to_string(scan.scale);
        RunResult r = scratch.Run(std::string("awk 'BEGIN { ") + scan.angles + " }' >angles.txt && " +
                                  "\"$BIN/phantom_image\" " + phantom + " 256 truth.img && " +
                                  "\"$BIN/phantom_sino\" -a angles.txt " + phantom + " 256 127.5 40 clean.sg && " +
                                  "\"$BIN/sino_scale\" clean.sg " + scale + " scaled.sg && " +
                                  (scan.noisy ? "\"$BIN/sino_noise\" scaled.sg 1e4 7 scan.sg" : "cp scaled.sg scan.sg"));
        ASSERT_EQ(r.status, 0) << scan.name << ": " << r.err;
        const std::string truth = scratch.Read("truth.img");
        double fbp = 1e300;
        for (const char *kernel : {"chesler", "shepp", "ramachandran"}) {
            r = scratch.Run(std::string("\"$BIN/sino_recon\" -a angles.txt scan.sg 127.5 1 256 ") + kernel +
                            " fbp.img 2>/dev/null");
            ASSERT_EQ(r.status, 0) << r.err;
            fbp = std::fmin(fbp, RmsInside(scratch.Read("fbp.img"), truth, scan.scale, 256, 0.95 * scan.radius));
        }
        // The default lambda (0.3), and half and twice it.
        double errors[3] = {0, 1e300, 1e300};
        const char *lambdas[3] = {"0.3", "0.15", "0.6"};
        for (int l = 0; l < (scan.sweep ? 3 : 1); ++l) {
            r = scratch.Run(std::string("\"$BIN/sino_iter\" -a angles.txt -n ") + (l > 0 ? "-l " : "") +
                            (l > 0 ? lambdas[l] : "") + " scan.sg 127.5 1 256 tv tv.img");
            ASSERT_EQ(r.status, 0) << r.err;
            errors[l] = RmsInside(scratch.Read("tv.img"), truth, scan.scale, 256, 0.95 * scan.radius);
        }
        EXPECT_LT(errors[0], scan.share * fbp) << scan.name << ": " << errors[0] << " against " << fbp;
        EXPECT_LT(errors[0], 1.15 * std::fmin(errors[1], errors[2]))
            << scan.name << ": " << errors[0] << ", " << errors[1] << ", " << errors[2];
        std::printf("%s: RMS error: best sino_recon %.5f, tv %.5f (%.3f)\n", scan.name, fbp, errors[0], errors[0] / fbp);
    }
    for (const char *method : {"-i 8 scan.sg 127.5 1 256 tv", "-n -s 5 -i 3 scan.sg 127.5 1"}) {
        RunResult threads =
            scratch.Run(std::string("OMP_NUM_THREADS=1 \"$BIN/sino_iter\" -a angles.txt ") + method + " one.img && " +
                        "OMP_NUM_THREADS=2 \"$BIN/sino_iter\" -a angles.txt " + method + " two.img");
        ASSERT_EQ(threads.status, 0) << threads.err;
        EXPECT_TRUE(scratch.Read("one.img") == scratch.Read("two.img")) << method;
    }
}

}  // namespace
