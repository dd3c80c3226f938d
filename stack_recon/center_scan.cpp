#include "center_scan.h"

#include <cmath>
#include <cstdio>

#include "args.h"
#include "checks.h"
#include "fbp.h"
#include "grid.h"
#include "owned.h"
#include "threads.h"

namespace {

// TO counts as reached when the steps fall short of it by this share of a
// step, as rounding leaves them ((30.9 - 30) / 0.1 is 8.999999999999986).
constexpr double kStepTolerance = 1e-6;

}  // namespace

Status CenterScanArgument(const char *text, std::vector<double> *centers) {
    std::string all = text, bad = std::string("bad center scan: ") + text + ".";
    double value[3];
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t comma = i < 2 ? all.find(',', at) : all.size();
        if (comma == std::string::npos) return Failure(bad);
        std::string word = all.substr(at, comma - at);
        if (!StrictReal(word.c_str(), "bad center scan.", &value[i]).ok() || !std::isfinite(value[i]))
            return Failure(bad);
        at = comma + 1;
    }
    double from = value[0], to = value[1], step = value[2];
    if (!(step > 0)) return Failure("bad center scan step.");
    if (from > to) return Failure("center scan from above its end.");
    double steps = std::floor((to - from) / step + kStepTolerance);
    if (!(steps + 1 <= kMostScanPages)) return Failure("center scan of more than 1000 pages.");
    int pages = static_cast<int>(steps) + 1;
    centers->clear();
    for (int k = 0; k < pages; ++k) centers->push_back(from + k * step);
    return Success();
}

Status CheckCenterScan(const std::vector<double> &centers, int detectors) {
    for (double c : centers)
        if (!CenterInside(c, detectors)) return Failure("center scan outside the detector.");
    return Success();
}

std::vector<std::string> ScanPageTexts(const std::vector<double> &centers) {
    std::vector<std::string> texts;
    for (double c : centers) {
        char text[64];
        std::snprintf(text, sizeof text, "center=%lf\n", c);
        texts.push_back(text);
    }
    return texts;
}

std::string ScanLines(const std::vector<double> &centers) {
    std::string lines;
    for (std::size_t p = 0; p < centers.size(); ++p) {
        char line[80];
        std::snprintf(line, sizeof line, "%zu %lf\n", p, centers[p]);
        lines += line;
    }
    return lines;
}

Status ScanCenters(const StackInputs &in, const Reading &how, const ViewSet &views, int read_views, Fold *fold,
                   const std::vector<double> &centers, int row, Kernel kernel, int size, Volume *volume,
                   ReadCounts *counts) {
    const int n = in.stack.columns;
    const int columns = fold->active ? fold->width : n;
    const std::size_t read = static_cast<std::size_t>(read_views) * static_cast<std::size_t>(n);
    const std::size_t sinogram = static_cast<std::size_t>(views.count) * static_cast<std::size_t>(columns);
    const std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    Owned<double> raw, means, work, image;
    ViewFilter filter{};
    if (!raw.Allocate(read) || !means.Allocate(3 * static_cast<std::size_t>(n)) || !work.Allocate(sinogram) ||
        !image.Allocate(pixels) || !MakeViewFilter(columns, kernel, ThreadsFor(views.count), &filter))
        return Failure("memory allocation error.");
    Status status = ReadSinograms(in, how, read_views, row, 1, raw, means, counts);
    bool finite_input = AllFinite(raw, read);
    Grid grid = AxisGrid(size);
    for (std::size_t p = 0; status.ok() && p < centers.size(); ++p) {
        double axis = centers[p];
        if (fold->active) {
            FoldRow(*fold, static_cast<int>(p), raw, work);
            axis = fold->axes[p];
        } else {
            for (std::size_t i = 0; i < sinogram; ++i) work[i] = raw[i];
        }
        // The filter works in place: each trial starts from the samples read.
        ReconstructImage(filter, work, views, Detector{columns, axis}, grid, 1.0, image);
        if (finite_input && !AllFinite(image, pixels)) status = Failure("result out of range.");
        if (status.ok()) status = WriteSlice(volume, static_cast<int>(p), image);
    }
    return status;
}
