#include "axis.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "center.h"
#include "centers.h"
#include "normalise.h"
#include "owned.h"
#include "sinograms.h"
#include "whole_turn.h"

namespace {

// A tilted axis shows as centers that move with the row; within a pixel
// the median serves every row.
constexpr double kTiltPixels = 1;

// The centers of the rows looked at; rows with no clear center are left
// out. A line for each row goes to *lines; *seen tallies the samples read
// as transmissions.
Status RowCenters(const StackInputs &in, const Reading &how, const AxisSearch &search, const std::vector<int> &rows,
                  std::vector<int> *found_rows, std::vector<double> *found, std::string *lines, ReadCounts *seen,
                  bool *reads_half = nullptr) {
    int columns = in.stack.columns, views = search.views;
    if (columns < kMinDetectors || views < kMinViews) return Failure("sinogram too small to find the center.");
    Owned<double> sinogram, means;
    bool have = sinogram.Allocate(static_cast<std::size_t>(views) * static_cast<std::size_t>(columns)) &&
                means.Allocate(3 * static_cast<std::size_t>(columns));
    CenterWork work;
    bool have_work = search.full_turn || AllocateCenterWork(&work, columns, views);
    Status status;
    if (!have || !have_work) status = Failure("memory allocation error.");
    for (std::size_t i = 0; status.ok() && i < rows.size(); ++i) {
        ReadCounts counted;  // counted when the row is reconstructed
        status = ReadSinograms(in, how, views, rows[i], 1, sinogram, means, &counted);
        seen->transmissions += counted.transmissions;
        seen->above += counted.above;
        if (status.ok() && search.rings != nullptr && search.rings->on)
            status = CleanBand(*search.rings, sinogram, 1, views, columns);
        if (!status.ok()) break;
        CenterEstimate estimate{false, 0};
        if (search.full_turn)
            status = FindTurnCenter(sinogram, columns, views, search.angles, &estimate);
        else
            estimate = FindCenter(sinogram, &work);
        if (status.ok() && estimate.half_turn)
            status = Failure("the views cover a half turn (the last one matches the first one mirrored): leave out -t.");
        if (estimate.half_turn && reads_half != nullptr) *reads_half = true;
        if (!status.ok()) break;
        char line[96];
        if (estimate.found) {
            std::snprintf(line, sizeof line, "row %d: center %lf\n", rows[i], estimate.center);
            found_rows->push_back(rows[i]);
            found->push_back(estimate.center);
        } else {
            std::snprintf(line, sizeof line, "row %d: no clear center\n", rows[i]);
        }
        *lines += line;
    }
    return status;
}

}  // namespace

Status CheckTurn(const StackInputs &in, const Reading &how, const AxisSearch &search, int row) {
    // Too small a sinogram for the search tells nothing: the axis is given.
    if (in.stack.columns < kMinDetectors || search.views < kMinViews) return Success();
    std::vector<int> rows{row}, found_rows;
    std::vector<double> found;
    std::string lines;
    ReadCounts seen;
    bool reads_half = false;
    // Any other failure (a row that cannot be read) is met again, in its
    // order, when the rows are read for the slices.
    Status status = RowCenters(in, how, search, rows, &found_rows, &found, &lines, &seen, &reads_half);
    return reads_half ? status : Success();
}

Status FindAxis(const StackInputs &in, const Reading &how, const AxisSearch &search, int first, int count, bool fit,
                double *centers, FILE *report) {
    std::vector<int> rows;
    std::vector<double> found;
    // The rows' lines are printed only when a center comes of them: a
    // failure is its one line.
    std::string lines;
    std::vector<int> tried = CenterRows(first, count);
    ReadCounts seen;
    Status status = RowCenters(in, how, search, tried, &rows, &found, &lines, &seen);
    if (!status.ok()) return status;
    // One row's center among rows that gave none is more likely a false
    // minimum than the axis: most rows must agree to be heard.
    if (2 * found.size() <= tried.size()) {
        char message[240];
        // Counts without their flats, or line integrals without -l: the
        // halves fail to match for that, not for the geometry.
        if (NotTransmissions(seen.transmissions, seen.above)) {
            std::snprintf(message, sizeof message,
                          "no clear center: %zu of %zu rows gave one; many samples are above 1.5 and there are no "
                          "flats: give the flats with -f, or -l for line integrals.",
                          found.size(), tried.size());
            return Failure(message);
        }
        // Without -R, a dead or striped column may be what keeps the halves
        // apart: the same rows cleaned by auto are tried, and only said.
        if (search.rings == nullptr || !search.rings->on) {
            RingsChoice rings{true, StripeMethod::kAuto, DefaultSize(StripeMethod::kAuto)};
            AxisSearch cleaned = search;
            cleaned.rings = &rings;
            std::vector<int> cleaned_rows;
            std::vector<double> cleaned_found;
            std::string cleaned_lines;
            ReadCounts again;
            Status tried_again = RowCenters(in, how, cleaned, tried, &cleaned_rows, &cleaned_found, &cleaned_lines, &again);
            if (tried_again.ok() && 2 * cleaned_found.size() > tried.size()) {
                std::snprintf(message, sizeof message,
                              "no clear center: %zu of %zu rows gave one, %zu once cleaned of stripes: give -R auto "
                              "(or the axis with -c).",
                              found.size(), tried.size(), cleaned_found.size());
                return Failure(message);
            }
        }
        // Halves that do not match may be a whole turn read as a half.
        std::snprintf(message, sizeof message, "no clear center: %zu of %zu rows gave one (%s); give the axis with -c%s.",
                      found.size(), tried.size(),
                      search.full_turn ? "the views do not match their opposite ones" : "the halves of the turn do not match",
                      search.full_turn ? "" : ", or -t if the views cover the whole turn");
        return Failure(message);
    }
    if (fit && found.size() < 2) return Failure("too few rows to fit the center.");
    std::fputs(lines.c_str(), report);
    std::size_t low = 0, high = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i] < found[low]) low = i;
        if (found[i] > found[high]) high = i;
    }
    if (found[high] - found[low] > kTiltPixels)
        std::fprintf(report, "warning: the centers of rows %d and %d differ by %.2f pixels: a tilted axis?%s\n",
                     rows[low], rows[high], found[high] - found[low], fit ? "" : " (-c fit follows it)");
    if (fit) {
        double intercept = 0, slope = 0;
        FitLine(rows, found, &intercept, &slope);
        std::fprintf(report, "center %lf %+lf x row (fit of %zu rows)\n", intercept, slope, found.size());
        for (int i = 0; i < count; ++i) centers[i] = intercept + slope * (first + i);
    } else {
        double median = Median(found);
        std::fprintf(report, "center %lf (median of %zu rows)\n", median, found.size());
        for (int i = 0; i < count; ++i) centers[i] = median;
    }
    return Success();
}

bool RowLooksLikeWholeTurn(const StackInputs &in, const Reading &how, int views, int row, double center) {
    int columns = in.stack.columns;
    Owned<double> sinogram, means;
    if (!sinogram.Allocate(static_cast<std::size_t>(views) * static_cast<std::size_t>(columns)) ||
        !means.Allocate(3 * static_cast<std::size_t>(columns)))
        return false;
    ReadCounts counted;  // counted when the row is reconstructed
    if (!ReadSinograms(in, how, views, row, 1, sinogram, means, &counted).ok()) return false;
    return LooksLikeWholeTurn(sinogram, columns, views, center);
}
