#include "phantom_rows.h"

#include "threads.h"

namespace {

int RowsPerBlock(const SampleSink &sink, int size) {
    std::size_t rows = sink.capacity / static_cast<std::size_t>(size);
    return rows > static_cast<std::size_t>(size) ? size : static_cast<int>(rows);
}

}  // namespace

int RowThreads(const SampleSink &sink, int size) { return ThreadsFor(RowsPerBlock(sink, size)); }

Status WritePhantomImage(SampleSink *sink, const EllipseFrame *frames, int count, const Grid &grid, int threads,
                         Real *sums) {
#ifndef _OPENMP
    (void)threads;  // one thread, scratch row 0
#endif
    std::size_t k = static_cast<std::size_t>(grid.size);
    int per_block = RowsPerBlock(*sink, grid.size);
    for (long long first = 0; first < grid.size; first += per_block) {
        int rows = grid.size - first < per_block ? static_cast<int>(grid.size - first) : per_block;
        double *block = nullptr;
        Status room = SinkSpace(sink, k * static_cast<std::size_t>(rows), &block);
        if (!room.ok()) return room;
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
        for (int r = 0; r < rows; ++r) {
            Real *scratch = sums + k * static_cast<std::size_t>(ThreadIndex());
            PhantomImageRow(frames, count, grid, static_cast<int>(first + r), scratch,
                            block + k * static_cast<std::size_t>(r));
        }
        SinkAdvance(sink, k * static_cast<std::size_t>(rows));
    }
    return SinkFlush(sink);
}
