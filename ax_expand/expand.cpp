#include "expand.h"

#include <climits>
#include <cstring>


Status ExpandedColumns(int n, int *columns) {
    long long count = 2LL * n - 1;
    if (count > INT_MAX) return Failure("profile too long for a sinogram row.");
    *columns = static_cast<int>(count);
    return Success();
}

void MirrorProfile(const double *p, int n, double *row) {
    for (int j = 0; j < n; ++j) {
        row[n - 1 - j] = p[j];
        row[n - 1 + j] = p[j];
    }
}

Status WriteRepeatedRow(SampleSink *sink, const double *row, int columns, int views) {
    std::size_t count = static_cast<std::size_t>(columns);
    for (int k = 0; k < views; ++k) {
        double *space = nullptr;
        Status room = SinkSpace(sink, count, &space);
        if (!room.ok()) return room;
        std::memcpy(space, row, count * sizeof(double));
        SinkAdvance(sink, count);
    }
    return SinkFlush(sink);
}
