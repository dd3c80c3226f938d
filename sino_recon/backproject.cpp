#include "backproject.h"

#include <cmath>

#include "real.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

// Pixels of one tile: its sums (64 KiB) stay in the second level of cache
// while the views go by, a tile's band of each view is short, and a
// 1024-pixel image still has 128 tiles to share among threads. Tiles from
// 8 x 512 to 64 x 512 and 16 x 1024 measured within a few per cent of each
// other; 4 x 1024 and 64 x 64 were slower.
constexpr int kTileRows = 16;
constexpr int kTileColumns = 512;

// The detector position of pixel j of a row; the formula of the run bounds
// and of the sums (row_sums.h), so that they agree to the last bit.
inline double Position(double base, double cosine, double half, int j) {
    return base + (static_cast<double>(j) - half) * cosine;
}

inline bool OnDetector(double s, double last) { return s >= 0 && s <= last; }

// Threads for `pieces` pieces of work: as many as OpenMP would start, but
// no more than there are pieces. An absurd OMP_NUM_THREADS (a million, or
// a number that wraps) then costs idle threads only up to the work's size,
// instead of a team the runtime cannot start.
[[maybe_unused]] int Team(long long pieces) {
    long long threads = 1;
#ifdef _OPENMP
    threads = omp_get_max_threads();
#endif
    if (threads > pieces) threads = pieces;
    return threads < 1 ? 1 : static_cast<int>(threads);
}

// Clamps a real pixel estimate into [first, last].
int ClampPixel(double estimate, int first, int last) {
    if (!(estimate > first)) return first;
    if (!(estimate < last)) return last;
    return static_cast<int>(estimate);
}

}  // namespace

double ViewAngleStep(int views) { return static_cast<Real>(kPi) / views; }

void ViewAngles(int views, double dtheta, double *cosines, double *sines) {
    for (int k = 0; k < views; ++k) {
        double theta = k * dtheta;
        cosines[k] = std::cos(theta);
        sines[k] = std::sin(theta);
    }
}

void PixelRun(double base, double cosine, double half, int detectors, int first, int last, int *lo, int *hi) {
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
        double s = Position(base, cosine, half, j);
        return rising ? s < 0 : s > top;
    };
    auto after = [&](int j) {
        double s = Position(base, cosine, half, j);
        return rising ? s > top : s < 0;
    };
    double inverse = 1 / cosine;
    double at0 = half - base * inverse;
    double atTop = half + (top - base) * inverse;
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

void BackProjectViews(const double *filtered, const Geometry &g, double *image, RowPath path) {
    std::size_t n = static_cast<std::size_t>(g.detectors);
    std::size_t side = static_cast<std::size_t>(g.size);
    double half = (g.size - 1.0) / 2;
    int tile_rows = (g.size + kTileRows - 1) / kTileRows;
    int tile_columns = (g.size + kTileColumns - 1) / kTileColumns;
    long long tiles = static_cast<long long>(tile_rows) * tile_columns;
#pragma omp parallel for schedule(dynamic, 1) num_threads(Team(tiles))
    for (long long tile = 0; tile < tiles; ++tile) {
        int r0 = static_cast<int>(tile / tile_columns) * kTileRows;
        int r1 = r0 + kTileRows < g.size ? r0 + kTileRows : g.size;
        int j0 = static_cast<int>(tile % tile_columns) * kTileColumns;
        int j1 = j0 + kTileColumns < g.size ? j0 + kTileColumns : g.size;
        for (int k = 0; k < g.views; ++k) {
            const double *view = filtered + n * k;
            double cosine = g.cosines[k];
            double sine = g.sines[k];
            for (int r = r0; r < r1; ++r) {
                double base = g.centre + (half - r) * sine;
                int lo, hi;
                PixelRun(base, cosine, half, g.detectors, j0, j1, &lo, &hi);
                AddViewToRow(path, view, g.detectors, base, cosine, half, lo, hi, image + side * r);
            }
        }
    }
}

void ScaleImage(double *image, std::size_t count, double dtheta, double interval) {
    // At least a tile's worth of pixels per thread.
#pragma omp parallel for schedule(static) num_threads(Team(static_cast<long long>(count / (kTileRows * kTileColumns)) + 1))
    for (std::size_t p = 0; p < count; ++p) image[p] = image[p] * dtheta / interval;
}
