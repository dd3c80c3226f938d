#include "project.h"

#include <cmath>
#include <cstring>

#include "project_lines.h"
#include "threads.h"

Status AllocateProjection(int size, ProjectionWork *work) {
    *work = ProjectionWork{};
    work->size = size;
    std::size_t line = static_cast<std::size_t>(size) + 2;
    std::size_t samples = line * static_cast<std::size_t>(size);
    if (!work->rows.Allocate(samples) || !work->columns.Allocate(samples)) return Failure("memory allocation error.");
    return Success();
}

RayLine RowLine(const Grid &grid, const Detector &detector, double cosine, double sine, int row) {
    // s = axis + x cos + y sin at the row's y: x = (s - axis - y sin) / cos,
    // column j + 1 of the padded row at x = x0 + (j - half) PIXEL.
    double y = PixelY(grid, row);
    double scale = 1 / (cosine * grid.pixel);
    double alpha = ((-detector.axis - y * sine) / cosine - grid.x0) / grid.pixel + GridHalf(grid) + 1;
    return RayLine{alpha, scale, grid.pixel / std::fabs(cosine)};
}

RayLine ColumnLine(const Grid &grid, const Detector &detector, double cosine, double sine, int column) {
    // At the column's x: y = (s - axis - x cos) / sin, row r + 1 of the
    // padded column at y = y0 + (half - r) PIXEL, rows counted downwards.
    double x = PixelX(grid, column);
    double scale = -1 / (sine * grid.pixel);
    double alpha = GridHalf(grid) - ((-detector.axis - x * cosine) / sine - grid.y0) / grid.pixel + 1;
    return RayLine{alpha, scale, grid.pixel / std::fabs(sine)};
}

void LineDetectors(const RayLine &line, int size, int detectors, int *lo, int *hi) {
    double top = size + 1.0;
    auto inside = [&](long long i) {
        double v = LinePosition(line, static_cast<int>(i));
        return v >= 0 && v < top;
    };
    // Estimates from the inverse of v = alpha + i beta, then moved detector
    // by detector until the exact positions agree; v is monotone in i.
    double a = (0 - line.alpha) / line.beta, b = (top - line.alpha) / line.beta;
    double first = std::fmin(a, b), last = std::fmax(a, b);
    long long start = std::isfinite(first) ? static_cast<long long>(std::fmax(std::floor(first), -1.0)) : 0;
    long long end = std::isfinite(last) ? static_cast<long long>(std::fmin(std::ceil(last) + 1, detectors + 1.0)) : 0;
    if (start < 0) start = 0;
    if (start > detectors) start = detectors;
    if (end > detectors) end = detectors;
    if (end < start) end = start;
    while (start > 0 && inside(start - 1)) --start;
    while (start < end && !inside(start)) ++start;
    if (end < start) end = start;
    while (end > start && !inside(end - 1)) --end;
    while (end < detectors && inside(end)) ++end;
    *lo = static_cast<int>(start);
    *hi = static_cast<int>(end);
}

namespace {

// Lines of a block: 16 lines of a 1024-pixel image take 131 KiB, which stay
// in the second level of cache while the views go by.
constexpr int kBlockLines = 16;

// Threads for `pieces` pieces of work among which `views` views cross
// `lines` lines of `detectors` detectors: no more than the pieces, and one
// per 2^18 crossings at most, so that a small image does not pay for
// waking threads more than its work costs.
[[maybe_unused]] int Team(long long pieces, long long views, long long lines, long long detectors) {
    long long crossings = views * lines * detectors;
    long long enough = crossings / (1LL << 18) + 1;
    return ThreadsFor(pieces < enough ? pieces : enough);
}

// The image's rows, each between two zeros, and its columns likewise;
// shared among the threads of the team that calls it (each its rows), and
// done for all of them when it returns.
void PadImage(const double *image, int size, double *rows, double *columns) {
    std::size_t k = static_cast<std::size_t>(size), line = k + 2;
#pragma omp for schedule(static)
    for (int r = 0; r < size; ++r) {
        double *row = rows + line * r;
        row[0] = 0;
        std::memcpy(row + 1, image + k * r, k * sizeof(double));
        row[k + 1] = 0;
        double *column = columns + line * r;
        column[0] = 0;
        for (std::size_t j = 0; j < k; ++j) column[j + 1] = image[k * j + r];
        column[k + 1] = 0;
    }
}

}  // namespace

void Project(const Grid &grid, const ViewSet &views, const Detector &detector, const double *image,
             double *sinogram, ProjectionWork *work, LinePath path) {
    int k = grid.size;
    std::size_t line = static_cast<std::size_t>(k) + 2;
    std::size_t n = static_cast<std::size_t>(detector.count);
    std::memset(sinogram, 0, n * static_cast<std::size_t>(views.count) * sizeof(double));
    // A block of lines at a time (of the rows, and of the columns), every
    // view crossing it, so that the block stays in cache while the views go
    // by instead of the whole image passing once per view. Each sample sums
    // its lines in order, block after block. One team runs all the blocks,
    // each thread keeping the same views from block to block (the same
    // static share of the same loop), so that no thread waits for the
    // others between blocks.
#pragma omp parallel num_threads(Team(views.count, views.count, k, detector.count))
    {
        PadImage(image, k, work->rows, work->columns);
        for (int first = 0; first < k; first += kBlockLines) {
            int last = first + kBlockLines < k ? first + kBlockLines : k;
#pragma omp for schedule(static) nowait
            for (int view = 0; view < views.count; ++view) {
                double *samples = sinogram + n * view;
                double cosine = views.cosines[view], sine = views.sines[view];
                bool by_rows = ByRows(cosine, sine);
                const double *lines = by_rows ? work->rows : work->columns;
                for (int l = first; l < last; ++l) {
                    RayLine ray = by_rows ? RowLine(grid, detector, cosine, sine, l)
                                          : ColumnLine(grid, detector, cosine, sine, l);
                    int lo, hi;
                    LineDetectors(ray, k, detector.count, &lo, &hi);
                    GatherLine(path, lines + line * l, k, ray, lo, hi, samples);
                }
            }
        }
    }
}

void ProjectTransposed(const Grid &grid, const ViewSet &views, const Detector &detector, const double *sinogram,
                       double *image, ProjectionWork *work, LinePath path) {
    int k = grid.size;
    std::size_t line = static_cast<std::size_t>(k) + 2;
    std::size_t n = static_cast<std::size_t>(detector.count);
    std::memset(work->rows, 0, work->rows.size() * sizeof(double));
    std::memset(work->columns, 0, work->columns.size() * sizeof(double));
    // Blocks of lines of the rows, then of the columns, each taking every
    // view of its kind in order: a view's samples are read once per block
    // rather than once per line, and every line sums its views in the same
    // order whatever thread takes its block. The same team then adds the
    // rows and columns into the image.
    int blocks = (k + kBlockLines - 1) / kBlockLines;
    std::size_t side = static_cast<std::size_t>(k);
#pragma omp parallel num_threads(Team(2LL * blocks, views.count, kBlockLines, detector.count))
    {
#pragma omp for schedule(dynamic, 1)
        for (int piece = 0; piece < 2 * blocks; ++piece) {
            bool rows = piece < blocks;
            int first = (rows ? piece : piece - blocks) * kBlockLines;
            int last = first + kBlockLines < k ? first + kBlockLines : k;
            double *target = rows ? work->rows : work->columns;
            for (int view = 0; view < views.count; ++view) {
                double cosine = views.cosines[view], sine = views.sines[view];
                if (ByRows(cosine, sine) != rows) continue;
                for (int l = first; l < last; ++l) {
                    RayLine ray =
                        rows ? RowLine(grid, detector, cosine, sine, l) : ColumnLine(grid, detector, cosine, sine, l);
                    int lo, hi;
                    LineDetectors(ray, k, detector.count, &lo, &hi);
                    ScatterLine(path, sinogram + n * view, k, ray, lo, hi, target + line * l);
                }
            }
        }
#pragma omp for schedule(static)
        for (int r = 0; r < k; ++r) {
            for (std::size_t j = 0; j < side; ++j)
                image[side * r + j] = work->rows[line * r + j + 1] + work->columns[line * j + r + 1];
        }
    }
}
