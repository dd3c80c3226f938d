#include "rings_band.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

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
    double window = choice.size;
    // Per sample and per thread, as the methods allocate them: sort's
    // values and their views, and each thread's pairs; fft's detail, and
    // each thread's block of eight columns; detect's baseline, and each
    // thread's three rows; auto's blocks of eight columns of residuals
    // (three arrays and three more rows), its median windows and the
    // partial stripes' mending windows.
    double bytes = 0, thread = 0;
    switch (choice.method) {
        case StripeMethod::kSort:
            bytes = samples * (sizeof(double) + sizeof(int));
            thread = views * sizeof(RankedValue) + (columns + window) * sizeof(double);
            break;
        case StripeMethod::kFft:
            bytes = samples * sizeof(double);
            thread = (8.0 * views + columns + window) * sizeof(double);
            break;
        case StripeMethod::kDetect:
            bytes = samples * sizeof(double);
            thread = (3.0 * views + columns + window) * sizeof(double);
            break;
        case StripeMethod::kAuto:
            // Each column's medians in up to kPartialBlocks blocks of views
            // (three arrays' worth), its partial-stripe and leakage marks,
            // its step-stripe mark and level, its quartile deviation and
            // place among the pairs about the axis; and the columns kept
            // whole before the mending (held stripes that may stop within
            // the views, pairs about the axis).
            bytes = 3.0 * kPartialBlocks * columns * sizeof(double) + 2.0 * columns + columns * (1.0 + sizeof(double)) +
                    columns * (sizeof(double) + sizeof(int)) +
                    (std::min(columns, kHeldKept) + std::min(columns, kTwinsKept)) * static_cast<double>(views) *
                        sizeof(double);
            thread = (27.0 * views + columns + 4.0 * kLargestAutoSize) * sizeof(double);
            break;
    }
    // Each column's findings and each view's level.
    return bytes + 64.0 * columns + 8.0 * views + threads * thread;
}

int RingsThreads(int rows) { return ThreadsFor(rows); }

Status CleanBand(const RingsChoice &choice, double *band, int rows, int views, int columns) {
    std::size_t count = static_cast<std::size_t>(views) * static_cast<std::size_t>(columns);
    std::vector<Status> done(static_cast<std::size_t>(rows));
    // A sinogram a thread, each removal on one thread: a removal's bytes do
    // not depend on its threads, and whole sinograms spare the threads the
    // many short waits of sharing one.
#pragma omp parallel for schedule(dynamic, 1) num_threads(RingsThreads(rows))
    for (int j = 0; j < rows; ++j) {
        double *samples = band + static_cast<std::size_t>(j) * count;
        if (AllFinite(samples, count))
            done[static_cast<std::size_t>(j)] = RemoveRings(samples, columns, views, choice.method, choice.size, 1);
    }
    // The first row's failure, whatever the threads.
    for (const Status &status : done)
        if (!status.ok()) return status;
    return Success();
}
