#include "flat_levels.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "median.h"
#include "threads.h"

namespace {

constexpr double kGaussianSpread = 1.4826;

// One pixel's level from its `k` values, `stride` apart: the mean of
// those that are not zingers among them; *out counts those left out.
double PixelLevel(const double *values, int k, std::size_t stride, ZingerNoise noise, std::vector<double> *work,
                  long long *out) {
    double sum = 0;
    work->resize(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        double v = values[static_cast<std::size_t>(i) * stride];
        (*work)[static_cast<std::size_t>(i)] = v;
        sum += v;
    }
    // A value that is not a number makes the mean what it is.
    if (!std::isfinite(sum)) return sum / k;
    std::sort(work->begin(), work->end());
    double median = MedianOfSorted(work->data(), work->size());
    double sigma = std::sqrt(std::max(median, 0.0));
    if (k >= 3) {
        for (double &v : *work) v = std::fabs(v - median);
        std::sort(work->begin(), work->end());
        sigma = std::max(sigma, kSpreadShare * kGaussianSpread * MedianOfSorted(work->data(), work->size()));
    }
    if (!(sigma > 0)) return sum / k;
    double kept = 0;
    int count = 0;
    for (int i = 0; i < k; ++i) {
        double v = values[static_cast<std::size_t>(i) * stride];
        if (v - median > noise.threshold * sigma) continue;
        kept += v;
        ++count;
    }
    *out += k - count;
    return kept / count;
}

// Several images: their rows read a few at a time into the scratch.
Status SeveralImages(const Images &images, int first, int count, ZingerNoise noise, double *level, double *scratch,
                     std::size_t scratch_samples, long long *removed) {
    int k = images.images;
    std::size_t width = static_cast<std::size_t>(images.columns);
    std::size_t per_row = static_cast<std::size_t>(k) * width;
    int at_once = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(count), scratch_samples / per_row));
    for (int done = 0; done < count; done += at_once) {
        int rows = std::min(at_once, count - done);
        std::size_t samples = static_cast<std::size_t>(rows) * width;
        Status read = ReadRows(images, k, first + done, rows, scratch, samples, width);
        if (!read.ok()) return read;
        double *out = level + static_cast<std::size_t>(done) * width;
        long long left = 0;
#pragma omp parallel num_threads(ThreadsFor(rows)) reduction(+ : left)
        {
            std::vector<double> work;
#pragma omp for schedule(static)
            for (long long i = 0; i < static_cast<long long>(samples); ++i)
                out[i] = PixelLevel(scratch + i, k, samples, noise, &work, &left);
        }
        *removed += left;
    }
    return Success();
}

// One image: its zingers replaced by the median of their neighbours in the
// image, the rows above and below the band read when the scratch holds them.
Status OneImage(const Images &images, int first, int count, ZingerNoise noise, double *level, double *scratch,
                std::size_t scratch_samples, long long *removed) {
    std::size_t width = static_cast<std::size_t>(images.columns);
    int low = std::max(first - 1, 0), high = std::min(first + count + 1, images.rows);
    if (static_cast<std::size_t>(high - low) * width > scratch_samples) low = first, high = first + count;
    Status read = ReadRows(images, 1, low, high - low, scratch, 0, width);
    if (!read.ok()) return read;
    int columns = images.columns;
    long long replaced = 0;
#pragma omp parallel for num_threads(ThreadsFor(count)) schedule(static) reduction(+ : replaced)
    for (int j = 0; j < count; ++j) {
        int r = first + j;
        for (int c = 0; c < columns; ++c) {
            double neighbours[8];
            int rows_apart[8], columns_apart[8];
            int n = 0;
            for (int i = 0; i < 8; ++i) {
                int rr = r + kRingViews[i], cc = c + kRingColumns[i];
                if (rr < low || rr >= high || cc < 0 || cc >= columns) continue;
                double v = scratch[static_cast<std::size_t>(rr - low) * width + static_cast<std::size_t>(cc)];
                if (!std::isfinite(v)) continue;
                neighbours[n] = v, rows_apart[n] = kRingViews[i], columns_apart[n] = kRingColumns[i];
                ++n;
            }
            double x = scratch[static_cast<std::size_t>(r - low) * width + static_cast<std::size_t>(c)];
            double median = 0;
            bool zinger = IsZinger(x, neighbours, rows_apart, columns_apart, n, noise, &median);
            level[static_cast<std::size_t>(j) * width + static_cast<std::size_t>(c)] = zinger ? median : x;
            replaced += zinger;
        }
    }
    *removed += replaced;
    return Success();
}

}  // namespace

Status FlatLevel(const Images &images, int first, int count, ZingerNoise noise, double *level, double *page,
                 double *scratch, std::size_t scratch_samples, long long *removed) {
    std::size_t width = static_cast<std::size_t>(images.columns);
    std::size_t needed = static_cast<std::size_t>(images.images == 1 ? count : images.images) * width;
    bool cleaned = noise.threshold > 0 && needed <= scratch_samples;
    if (!cleaned) return MeanRows(images, first, count, level, page);
    noise.counts = true;
    noise.photon_floor = true;
    if (images.images == 1) return OneImage(images, first, count, noise, level, scratch, scratch_samples, removed);
    return SeveralImages(images, first, count, noise, level, scratch, scratch_samples, removed);
}
