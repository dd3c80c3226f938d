#include "slices.h"

#include <cstdlib>
#include <vector>

#include "threads.h"

int SliceWorkersFor(int rows) { return ThreadsFor((rows + 1) / 2); }

bool MakeSliceWorkers(int detectors, Kernel kernel, int size, int count, SliceWorkers *workers) {
    *workers = SliceWorkers{};
    workers->recs = static_cast<GridRec *>(std::calloc(static_cast<std::size_t>(count), sizeof(GridRec)));
    if (workers->recs == nullptr) return false;
    // FFTW's planning is not thread-safe: every plan is made here, in turn.
    for (int w = 0; w < count; ++w) {
        if (!MakeGridRec(detectors, kernel, size, 1, &workers->recs[w])) {
            ReleaseSliceWorkers(workers);
            return false;
        }
        workers->count = w + 1;
    }
    return true;
}

void ReleaseSliceWorkers(SliceWorkers *workers) {
    for (int w = 0; w < workers->count; ++w) ReleaseGridRec(&workers->recs[w]);
    std::free(workers->recs);
    *workers = SliceWorkers{};
}

void GridRows(const SliceWorkers &workers, const double *sinograms, std::size_t stride, int first, int rows,
              const double *axes, const ViewSet &views, const Grid &grid, double *images) {
    // The units: a pair's first row, or a lone row.
    std::vector<int> units;
    for (int j = 0; j < rows;) {
        units.push_back(j);
        j += (first + j) % 2 == 0 && j + 1 < rows ? 2 : 1;
    }
    int size = workers.recs[0].size;
    std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    int count = static_cast<int>(units.size());
#pragma omp parallel num_threads(workers.count < count ? workers.count : count)
    {
        int slot = ThreadIndex();
        const GridRec &rec = workers.recs[slot];
#pragma omp for schedule(dynamic, 1)
        for (int u = 0; u < count; ++u) {
            int j = units[static_cast<std::size_t>(u)];
            bool pair = (first + j) % 2 == 0 && j + 1 < rows;
            const double *samples = sinograms + stride * j;
            double *image = images + pixels * j;
            if (pair)
                GridRecPair(rec, samples, samples + stride, views, axes + j, grid, 1.0, image, image + pixels);
            else
                GridRecImage(rec, samples, views, Detector{rec.detectors, axes[j]}, grid, 1.0, image);
        }
    }
}
