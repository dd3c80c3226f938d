#include "rings_band.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "checks.h"
#include "threads.h"

Status RingsOption(const char *text, RingsChoice *choice) {
    *choice = RingsChoice{};
    const char *comma = std::strchr(text, ',');
    std::string method = comma == nullptr ? std::string(text) : std::string(text, comma);
    Status status = MethodArgument(method.c_str(), &choice->method);
    if (!status.ok()) return status;
    choice->size = DefaultSize(choice->method);
    if (comma != nullptr) status = SizeArgument(comma + 1, &choice->size);
    choice->on = status.ok();
    return status;
}

double RingsBytes(const RingsChoice &choice, int views, int columns, int threads) {
    if (!choice.on) return 0;
    double samples = static_cast<double>(views) * columns;
    double thread = (32.0 * views + columns + 2.0 * kLargestSize + 2.0 * choice.size) * sizeof(double) + 16.0 * views;
    return samples * (sizeof(double) + sizeof(int)) + 64.0 * columns + 8.0 * views + threads * thread;
}

int RingsThreads(int views, int columns) { return ThreadsFor(views < columns ? views : columns); }

Status CleanBand(const RingsChoice &choice, double *band, int rows, int views, int columns) {
    std::size_t count = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns);
    int threads = RingsThreads(views, columns);
    Status status;
    for (int j = 0; status.ok() && j < rows; ++j) {
        double *samples = band + static_cast<std::size_t>(j) * count;
        if (AllFinite(samples, count)) status = RemoveRings(samples, columns, views, choice.method, choice.size, threads);
    }
    return status;
}
