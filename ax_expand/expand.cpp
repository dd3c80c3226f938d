#include "expand.h"

#include <climits>
#include <cstring>

#include "error.h"
#include "memory.h"
#include "streams.h"

namespace {

constexpr const char *kWriteError = "data write error.";
constexpr std::size_t kBlockBytes = 1 << 20;

}  // namespace

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

void WriteRepeatedRow(FILE *out, const double *row, int columns, int views) {
    std::size_t row_bytes = sizeof(double) * static_cast<std::size_t>(columns);
    std::size_t rows_per_block = row_bytes >= kBlockBytes ? 1 : kBlockBytes / row_bytes;
    if (rows_per_block > static_cast<std::size_t>(views)) rows_per_block = views;
    std::size_t block_bytes = rows_per_block * row_bytes;

    // A block of identical rows, written whole: few system calls and no
    // per-sample work.
    char *block = static_cast<char *>(AllocateBlock(block_bytes));
    if (block == nullptr) {
        for (int k = 0; k < views; ++k) WriteBlock(out, row, row_bytes, kWriteError);
        return;
    }
    for (std::size_t r = 0; r < rows_per_block; ++r) std::memcpy(block + r * row_bytes, row, row_bytes);
    std::size_t remaining = static_cast<std::size_t>(views);
    while (remaining > 0) {
        std::size_t rows = remaining < rows_per_block ? remaining : rows_per_block;
        WriteBlock(out, block, rows * row_bytes, kWriteError);
        remaining -= rows;
    }
    ReleaseBlock(block, block_bytes);
}
