#include "backproject.h"

#include <cmath>
#include <vector>

#include "threads.h"

namespace {

// Pixels of one tile: its sums (64 KiB) stay in the second level of cache
// while the views go by, a tile's band of each view is short, and a
// 1024-pixel image still has 128 tiles to share among threads. Tiles from
// 8 x 512 to 64 x 512 and 16 x 1024 measured within a few per cent of each
// other; 4 x 1024 and 64 x 64 were slower.
constexpr int kTileRows = 16;
constexpr int kTileColumns = 512;

inline bool OnDetector(double s, double last) { return s >= 0 && s <= last; }

// Clamps a real pixel estimate into [first, last].
int ClampPixel(double estimate, int first, int last) {
    if (!(estimate > first)) return first;
    if (!(estimate < last)) return last;
    return static_cast<int>(estimate);
}

}  // namespace

void ColumnPositions(const Grid &grid, double *xs) {
    for (int j = 0; j < grid.size; ++j) xs[j] = PixelX(grid, j);
}

void PixelRun(double base, double cosine, const Grid &grid, const double *xs, int detectors, int first, int last,
              int *lo, int *hi) {
    double top = detectors - 1.0;
    *lo = *hi = first;
    if (first >= last) return;
    if (cosine == 0) {
        if (OnDetector(base, top)) *hi = last;
        return;
    }
    // Where the positions cross 0 and N - 1, estimated, then moved pixel by
    // pixel until the exact positions agree. Pixels before the run lie below
    // 0 when the positions rise along the row (above N - 1 when they fall),
    // pixels after it on the other side; both are monotone in j, so the
    // walks end at the exact bounds from any estimate.
    bool rising = cosine > 0;
    auto before = [&](int j) {
        double s = DetectorPosition(base, xs[j], cosine);
        return rising ? s < 0 : s > top;
    };
    auto after = [&](int j) {
        double s = DetectorPosition(base, xs[j], cosine);
        return rising ? s > top : s < 0;
    };
    // The column where the position is s: x = (s - base) / cos, the column
    // (x - x[0]) / PIXEL. An estimate, with one division per row and view.
    double inverse = 1 / (cosine * grid.pixel);
    double first_column = xs[0] * (inverse * cosine);
    auto column = [&](double s) { return (s - base) * inverse - first_column; };
    double at0 = column(0), atTop = column(top);
    int a = ClampPixel(std::ceil(rising ? at0 : atTop), first, last);
    int b = ClampPixel(std::floor(rising ? atTop : at0) + 1, first, last);
    while (a > first && !before(a - 1)) --a;
    while (a < last && before(a)) ++a;
    if (b < a) b = a;
    while (b > a && after(b - 1)) --b;
    while (b < last && !after(b)) ++b;
    *lo = a;
    *hi = b;
}

void BackProjectViews(const double *filtered, const ViewSet &views, const Detector &detector, const Grid &grid,
                      double *image, RowPath path) {
    std::size_t n = static_cast<std::size_t>(detector.count);
    std::size_t side = static_cast<std::size_t>(grid.size);
    int tile_rows = (grid.size + kTileRows - 1) / kTileRows;
    int tile_columns = (grid.size + kTileColumns - 1) / kTileColumns;
    long long tiles = static_cast<long long>(tile_rows) * tile_columns;
    // The columns' x, one short array shared by every thread.
    std::vector<double> columns(side);
    const double *xs = columns.data();
    ColumnPositions(grid, columns.data());
#pragma omp parallel for schedule(dynamic, 1) num_threads(ThreadsFor(tiles))
    for (long long tile = 0; tile < tiles; ++tile) {
        int r0 = static_cast<int>(tile / tile_columns) * kTileRows;
        int r1 = r0 + kTileRows < grid.size ? r0 + kTileRows : grid.size;
        int j0 = static_cast<int>(tile % tile_columns) * kTileColumns;
        int j1 = j0 + kTileColumns < grid.size ? j0 + kTileColumns : grid.size;
        for (int k = 0; k < views.count; ++k) {
            const double *view = filtered + n * k;
            double cosine = views.cosines[k];
            double sine = views.sines[k];
            for (int r = r0; r < r1; ++r) {
                double base = RowBase(detector.axis, PixelY(grid, r), sine);
                int lo, hi;
                PixelRun(base, cosine, grid, xs, detector.count, j0, j1, &lo, &hi);
                AddViewToRow(path, view, detector.count, base, cosine, xs, lo, hi, image + side * r);
            }
        }
    }
}

void WeightViews(double *filtered, const ViewSet &views, int detectors) {
    if (views.even) return;
    std::size_t n = static_cast<std::size_t>(detectors);
#pragma omp parallel for schedule(static) num_threads(ThreadsFor(views.count / 64 + 1))
    for (int k = 0; k < views.count; ++k) {
        double weight = views.weights[k];
        double *view = filtered + n * k;
        for (std::size_t i = 0; i < n; ++i) view[i] *= weight;
    }
}

double BackProjectionScale(const ViewSet &views) { return views.even ? views.step : 1.0; }

void ScaleImage(double *image, std::size_t count, double scale, double interval) {
    // At least a tile's worth of pixels per thread.
#pragma omp parallel for schedule(static) num_threads(ThreadsFor(static_cast<long long>(count / (kTileRows * kTileColumns)) + 1))
    for (std::size_t p = 0; p < count; ++p) image[p] = image[p] * scale / interval;
}
