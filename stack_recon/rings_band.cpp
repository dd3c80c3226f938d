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

Status CleanBand(const RingsChoice &choice, double *band, int rows, int views, int columns) {
    std::size_t count = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns);
    // sino_rings' threads: no more than the sinogram's shorter side.
    int threads = ThreadsFor(views < columns ? views : columns);
    Status status;
    for (int j = 0; status.ok() && j < rows; ++j) {
        double *samples = band + static_cast<std::size_t>(j) * count;
        if (AllFinite(samples, count)) status = RemoveRings(samples, columns, views, choice.method, choice.size, threads);
    }
    return status;
}
