#include "phantom_views.h"

#include <cstddef>

#include "phantom_rays.h"
#include "threads.h"

Status WritePhantomViews(SampleSink *sink, const Phantom &phantom, const ViewSet &views, int detectors,
                         double axis) {
    std::size_t n = static_cast<std::size_t>(detectors);
    // As many whole views as the sink's block holds, at least one.
    int per_block = static_cast<int>(sink->capacity / n);
    for (long long first = 0; first < views.count; first += per_block) {
        int count = views.count - first < per_block ? static_cast<int>(views.count - first) : per_block;
        double *block = nullptr;
        Status room = SinkSpace(sink, n * static_cast<std::size_t>(count), &block);
        if (!room.ok()) return room;
#pragma omp parallel for schedule(dynamic, 1) num_threads(ThreadsFor(count))
        for (int k = 0; k < count; ++k) {
            int view = static_cast<int>(first + k);
            PhantomView(phantom, views.cosines[view], views.sines[view], axis, detectors,
                        block + n * static_cast<std::size_t>(k));
        }
        SinkAdvance(sink, n * static_cast<std::size_t>(count));
    }
    return SinkFlush(sink);
}
