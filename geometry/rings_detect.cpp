#include "rings_detect.h"

#include <algorithm>
#include <cmath>

#include "median.h"
#include "rings_median.h"
#include "threads.h"

namespace {

std::size_t Samples(const StripeWork &work) {
    return static_cast<std::size_t>(work.columns) * static_cast<std::size_t>(work.rows);
}

double *ThreadScratch(const StripeWork &work) { return work.scratch + work.slot * ThreadIndex(); }

// The median over the views of column - gain * base.
double MedianDifference(const double *column, const double *base, int rows, double gain, double *values) {
    for (int k = 0; k < rows; ++k) values[k] = column[k] - gain * base[k];
    return MedianOf(values, rows);
}

// Column j of a rows x columns table, into `column`.
void Gather(const double *table, std::size_t columns, int rows, int j, double *column) {
    for (int k = 0; k < rows; ++k) column[k] = table[columns * k + j];
}

}  // namespace

ColumnFit FitColumn(const double *column, const double *base, int rows, double *values) {
    // The gain from the medians over the views where the baseline is low
    // and over those where it is high: the object's edges, which cross the
    // column in a few views only, hardly move them.
    std::copy(base, base + rows, values);
    double middle = MedianOf(values, rows);
    double half[2][2];  // [low, high][difference, baseline]
    for (int high = 0; high < 2; ++high) {
        int count = 0;
        for (int k = 0; k < rows; ++k)
            if ((base[k] > middle) == (high == 1)) values[count++] = column[k] - base[k];
        if (count == 0) return ColumnFit{1, MedianDifference(column, base, rows, 1, values)};
        half[high][0] = MedianOf(values, count);
        count = 0;
        for (int k = 0; k < rows; ++k)
            if ((base[k] > middle) == (high == 1)) values[count++] = base[k];
        half[high][1] = MedianOf(values, count);
    }
    double spread = half[1][1] - half[0][1];
    double gain = 1;
    // A baseline that hardly changes over the views cannot tell a gain
    // from an offset: the column is then offset only.
    if (spread > kGainSpread * std::max(std::fabs(half[0][1]), std::fabs(half[1][1])))
        gain = 1 + (half[1][0] - half[0][0]) / spread;
    return ColumnFit{gain, MedianDifference(column, base, rows, gain, values)};
}

bool AllocateStripeWork(int columns, int rows, int pairs, int threads, StripeWork *work) {
    *work = StripeWork{};
    work->columns = columns;
    work->rows = rows;
    work->threads = threads;
    std::size_t n = static_cast<std::size_t>(columns);
    work->slot = 3 * static_cast<std::size_t>(rows) + n + 2 * static_cast<std::size_t>(pairs);
    return work->baseline.Allocate(Samples(*work)) && work->offsets.Allocate(n) && work->excess.Allocate(n) &&
           work->level.Allocate(static_cast<std::size_t>(rows)) && work->stripes.Allocate(n) &&
           work->scratch.Allocate(work->slot * threads);
}

int FindStripeColumns(const double *samples, int pairs, StripeWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
    const int columns = work->columns;
#pragma omp parallel num_threads(work->threads)
    {
        double *scratch = ThreadScratch(*work);
#pragma omp for schedule(static)
        for (int k = 0; k < m; ++k) PairMedian(samples + n * k, columns, pairs, scratch, work->baseline + n * k);
#pragma omp for schedule(static)
        for (int j = 0; j < columns; ++j) {
            double *column = scratch;
            double *base = scratch + m;
            Gather(samples, n, m, j, column);
            Gather(work->baseline, n, m, j, base);
            for (int k = 0; k < m; ++k) base[k] = column[k] - base[k];
            work->offsets[j] = MedianOf(base, m);
        }
#pragma omp for schedule(static)
        for (int k = 0; k < m; ++k) {
            double largest = 0;
            for (std::size_t j = 0; j < n; ++j) largest = std::fmax(largest, std::fabs(samples[n * k + j]));
            work->level[k] = largest;
        }
#pragma omp for schedule(static)
        for (int j = 0; j < columns; ++j) {
            // The neighbours' offsets, the column's own left out.
            for (int i = 1; i <= pairs; ++i) {
                scratch[2 * i - 2] = work->offsets[MirroredIndex(static_cast<long long>(j) - i, columns)];
                scratch[2 * i - 1] = work->offsets[MirroredIndex(static_cast<long long>(j) + i, columns)];
            }
            work->excess[j] = work->offsets[j] - MedianOf(scratch, 2 * pairs);
        }
    }
    double *magnitudes = work->scratch;
    for (int j = 0; j < columns; ++j) magnitudes[j] = std::fabs(work->excess[j]);
    // The spread of the excesses a normal distribution of this median
    // absolute value would have.
    double noise = 1.4826 * MedianOf(magnitudes, columns);
    double level = MedianOf(work->level, m);
    double threshold = std::max(kNoiseFactor * noise, kLevelFraction * level);
    int found = 0;
    for (int j = 0; j < columns; ++j) {
        work->stripes[j] = std::fabs(work->excess[j]) > threshold;
        found += work->stripes[j];
    }
    return found;
}

void CorrectStripeColumns(double *samples, StripeWork *work) {
    const std::size_t n = static_cast<std::size_t>(work->columns);
    const int m = work->rows;
#pragma omp parallel for schedule(dynamic, 1) num_threads(work->threads)
    for (int j = 0; j < work->columns; ++j) {
        if (!work->stripes[j]) continue;
        double *column = ThreadScratch(*work);
        double *base = column + m;
        double *values = base + m;
        Gather(samples, n, m, j, column);
        Gather(work->baseline, n, m, j, base);
        ColumnFit fit = FitColumn(column, base, m, values);
        if (fit.gain < kDeadGain || fit.gain > 1 / kDeadGain) {
            for (int k = 0; k < m; ++k) samples[n * k + j] = base[k];
        } else {
            for (int k = 0; k < m; ++k) samples[n * k + j] = (column[k] - fit.offset) / fit.gain;
        }
    }
}
