#include "run.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "angles_file.h"
#include "center.h"
#include "error.h"
#include "image_file.h"
#include "command.h"
#include "memory.h"
#include "output.h"
#include "sinogram.h"
#include "streams.h"
#include "views.h"

namespace {

constexpr const char *kUsage = "usage : sino_center [-a ANGLES | -t] SG";
constexpr const char *kMemoryFailure = "memory allocation error.";
constexpr const char *kNoCenter = "no clear center: the halves of the turn do not match.";
constexpr const char *kNoMatch = "no clear center: the views do not match their opposite ones.";

// What the options ask for: the views' angles from a file, or the views
// evenly over the full turn.
struct Options {
    const char *angles = nullptr;
    bool full_turn = false;
};

// A full turn, at the angles of `views` or (null) evenly over it (-t),
// which the data must not contradict.
CenterEstimate SearchFullTurn(const Sinogram &sinogram, const ViewSet *views) {
    CenterEstimate estimate;
    Check(FindTurnCenter(sinogram.samples, sinogram.columns, sinogram.rows, views, &estimate));
    if (estimate.half_turn) {
        Error("the views cover a half turn (the last one matches the first one mirrored): leave out -t.");
    }
    if (!estimate.found) Error(kNoMatch);
    return estimate;
}

CenterEstimate SearchHalfTurn(const double *samples, int columns, int rows) {
    CenterWork work;
    if (!AllocateCenterWork(&work, columns, rows)) Error(kMemoryFailure);
    CenterEstimate estimate = FindCenter(samples, &work);
    if (estimate.full_turn) Error("the views cover a full turn (opposite views match): give -t or -a.");
    if (!estimate.found) Error(kNoCenter);
    return estimate;
}

// A half turn given by its angles: the views in the order of their angles,
// the last one left out when it closes the half turn; any other set of
// angles that is not a full turn is refused.
CenterEstimate SearchGivenHalfTurn(const Sinogram &sinogram, const ViewSet &views) {
    const int n = sinogram.columns;
    int *order = static_cast<int *>(AllocateArray(sinogram.rows, sizeof(int)));
    if (order == nullptr) Error(kMemoryFailure);
    int used = EvenHalfTurnOrder(views, order);
    if (used == 0) Error("angles neither evenly over a half turn nor over a full turn.");
    if (used < kMinViews) Error("sinogram too small to find the center.");
    bool as_read = used == sinogram.rows;
    for (int k = 0; k < used && as_read; ++k) as_read = order[k] == k;
    if (as_read) {
        ReleaseArray(order);
        return SearchHalfTurn(sinogram.samples, n, used);
    }
    std::size_t bytes = static_cast<std::size_t>(used) * static_cast<std::size_t>(n) * sizeof(double);
    double *sorted = static_cast<double *>(AllocateBlock(bytes));
    if (sorted == nullptr) Error(kMemoryFailure);
    for (int k = 0; k < used; ++k) {
        const double *from = sinogram.samples + static_cast<std::size_t>(order[k]) * n;
        double *to = sorted + static_cast<std::size_t>(k) * n;
        for (int s = 0; s < n; ++s) to[s] = from[s];
    }
    ReleaseArray(order);
    CenterEstimate estimate = SearchHalfTurn(sorted, n, used);
    ReleaseBlock(sorted, bytes);
    return estimate;
}

}  // namespace

int RunSinoCenter(int argc, char **argv) {
    Options options;
    const Option table[] = {
        Value('a', "ANGLES", "a file of the views' angles in degrees, one per view (half or full turn)", &options.angles),
        Flag('t', "the views cover the whole turn evenly (half acquisition)", &options.full_turn),
    };
    const Operand operands[] = {{"SG", "the sinogram ('-': standard input)"}};
    CommandLine line;
    Check(ReadCommandLine(argc, argv, Command{kUsage, table, operands, 1, 1}, &line));
    if (line.helped) return 0;
    if (options.angles != nullptr && options.full_turn) Error(kUsage);
    const char *name = line.operands[0];

    Sinogram sinogram;
    Check(ReadSinogramFile(name, NamePrefix(name, ""), &sinogram));
    if (sinogram.columns < kMinDetectors || sinogram.rows < kMinViews) {
        Error("sinogram too small to find the center.");
    }
    // A sample that is not finite makes every match not a number: named,
    // as sino_recon names it, not taken for views that do not match.
    Check(CheckSamplesFinite(sinogram, NamePrefix(name, "")));
    ViewSet views{};
    if (options.angles != nullptr) Check(ReadAngles(options.angles, sinogram.rows, &views));

    CenterEstimate estimate;
    if (options.full_turn) {
        estimate = SearchFullTurn(sinogram, nullptr);
    } else if (options.angles != nullptr && CoversFullTurn(views)) {
        estimate = SearchFullTurn(sinogram, &views);
    } else if (options.angles != nullptr) {
        estimate = SearchGivenHalfTurn(sinogram, views);
    } else {
        estimate = SearchHalfTurn(sinogram.samples, sinogram.columns, sinogram.rows);
    }
    if (views.angles != nullptr) ReleaseViews(&views);
    ReleaseSinogram(&sinogram);

    std::printf("%lf\n", estimate.center);
    Check(FlushStandardOutput("data write error."));
    return 0;
}
