// sino_center: the whole program on a 2048 x 1800 phantom (goal: under
// 0.5 s on the 2-core development machine), beside the search alone and
// beside cat reading the same file, with the centre it finds; the same
// views made a full turn of 3600 (each followed, half a turn on, by its
// mirror image) searched with -t. sino_fold folding that full turn.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "center.h"
#include "sinogram.h"
#include "views.h"

namespace {

// Runs a shell command with standard output discarded; ends the benchmark
// when it fails.
void Run(const std::string &command) {
    if (std::system((command + " > /dev/null").c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// Writes the full turn of a half-turn sinogram whose axis is its middle:
// its views, then each one with its detectors read backwards.
bool MakeFullTurn(const std::string &half, const std::string &full) {
    Sinogram s;
    if (!ReadSinogram(half.c_str(), "", &s).ok()) return false;
    FILE *out = std::fopen(full.c_str(), "wb");
    if (out == nullptr) return false;
    std::fprintf(out, "%d\t%d\n", s.columns, 2 * s.rows);
    std::fwrite(s.samples, sizeof(double), static_cast<std::size_t>(s.columns) * s.rows, out);
    std::vector<double> row(s.columns);
    for (int k = 0; k < s.rows; ++k) {
        const double *view = s.samples + static_cast<std::size_t>(k) * s.columns;
        for (int i = 0; i < s.columns; ++i) row[i] = view[s.columns - 1 - i];
        std::fwrite(row.data(), sizeof(double), row.size(), out);
    }
    ReleaseSinogram(&s);
    return std::fclose(out) == 0;
}

}  // namespace

void BenchSinoCenter(const std::string &scratch) {
    std::string bin = CT_BIN_DIR;
    std::string sg = scratch + "/center.sg";
    // Off the axis, so that the trajectories move: the axis is at 1023.5.
    Run("\"" + bin + "/disk_sino\" 2048 30 -20 800 -400 300 1800 " + sg);

    double program = BestSeconds(5, [&] { Run("\"" + bin + "/sino_center\" " + sg); });
    double cat = BestSeconds(5, [&] { Run("cat " + sg); });

    Sinogram s;
    if (!ReadSinogram(sg.c_str(), "", &s).ok()) std::exit(1);
    CenterWork work;
    if (!AllocateCenterWork(&work, s.columns, s.rows)) std::exit(1);
    CenterEstimate estimate{};
    double search = BestSeconds(5, [&] { estimate = FindCenter(s.samples, &work); });
    ReleaseSinogram(&s);

    std::printf("sino_center 2048x1800: program %.3f s (goal 0.5 s), search alone %.3f s, cat %.3f s; "
                "centre %.4f, error %+.4f\n",
                program, search, cat, estimate.center, estimate.center - 1023.5);

    // The full turn: view k + 1800 is view k mirrored about the axis 1023.5,
    // its detectors read backwards.
    std::string full = scratch + "/center_full.sg";
    if (!MakeFullTurn(sg, full)) std::exit(1);
    double turn = BestSeconds(5, [&] { Run("\"" + bin + "/sino_center\" -t " + full); });
    double cat_full = BestSeconds(5, [&] { Run("cat " + full); });
    Sinogram f;
    if (!ReadSinogram(full.c_str(), "", &f).ok()) std::exit(1);
    FullTurnWork work_full;
    ViewSet views;
    if (!AllocateFullTurnWork(&work_full, f.columns, f.rows) || !EvenFullTurn(f.rows, &views).ok()) std::exit(1);
    CenterEstimate full_estimate{};
    double full_search = BestSeconds(5, [&] { full_estimate = FindFullTurnCenter(f.samples, views, &work_full); });
    ReleaseViews(&views);
    ReleaseSinogram(&f);
    std::printf("sino_center -t 2048x3600: program %.3f s, search alone %.3f s, cat %.3f s; centre %.4f, error %+.4f\n",
                turn, full_search, cat_full, full_estimate.center, full_estimate.center - 1023.5);

    // sino_fold of that full turn: about the middle (pairs averaged, 2048
    // columns) and about 200.25 (joined to 3647 columns, Lanczos taps).
    std::string folded = scratch + "/center_folded.sg";
    double middle = BestSeconds(5, [&] { Run("\"" + bin + "/sino_fold\" " + full + " 1023.5 " + folded); });
    double off = BestSeconds(5, [&] { Run("\"" + bin + "/sino_fold\" " + full + " 200.25 " + folded); });
    std::printf("sino_fold 2048x3600: about the middle %.3f s, off the middle %.3f s, cat %.3f s (%.1f and %.1f times)\n",
                middle, off, cat_full, middle / cat_full, off / cat_full);
    std::remove(folded.c_str());
    std::remove(full.c_str());
    std::remove(sg.c_str());
}
