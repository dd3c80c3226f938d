#include "expand.h"

#include <climits>
#include <cstring>

#include "error.h"

int ExpandedColumns(int n) {
    long long columns = 2LL * n - 1;
    if (columns > INT_MAX) Error("profile too long for a sinogram row.");
    return static_cast<int>(columns);
}

void MirrorProfile(const double *p, int n, double *row) {
    for (int j = 0; j < n; ++j) {
        row[n - 1 - j] = p[j];
        row[n - 1 + j] = p[j];
    }
}

void WriteRepeatedRow(SampleSink *sink, const double *row, int columns, int views) {
    std::size_t count = static_cast<std::size_t>(columns);
    for (int k = 0; k < views; ++k) {
        std::memcpy(SinkSpace(sink, count), row, count * sizeof(double));
        SinkAdvance(sink, count);
    }
    SinkFlush(sink);
}
