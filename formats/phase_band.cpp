#include "phase_band.h"

#include "flat_levels.h"

#include "band.h"
#include "memory.h"
#include "search.h"
#include "threads.h"
#include "zingers.h"

namespace {

// The most rows a band of `band_rows` reads: its tiles and their margins.
int WindowRows(const PhaseSettings &settings, int rows, int band_rows) {
    int margin = PhaseMarginRows(settings);
    long long most = band_rows + 2LL * (PhaseTileRows(margin) - 1) + 2LL * margin;
    return most < rows ? static_cast<int>(most) : rows;
}

}  // namespace

int PhaseBandRows(double budget, double row_bytes, const PhaseSettings &settings, const StackInputs &in, int views,
                  int rows) {
    int columns = in.stack.columns;
    double fixed = PhaseFilterBytes(settings, in.stack.rows, columns, ThreadsFor(views));
    auto fits = [&](int band) {
        int window = WindowRows(settings, in.stack.rows, band);
        double bytes = fixed + row_bytes * band + BandRowBytes(views, columns) * window;
        for (const Images *set : {&in.stack, in.have_flats ? &in.flats : nullptr, in.have_darks ? &in.darks : nullptr})
            if (set != nullptr) bytes += ReadCacheBytes(*set, window);
        return bytes <= budget;
    };
    return LargestThatHolds(rows, fits);
}

Status MakePhaseBand(const PhaseSettings &settings, const StackInputs &in, int views, int band_rows, PhaseBand *band) {
    *band = PhaseBand{};
    int columns = in.stack.columns;
    Status made = MakePhaseFilter(settings, in.stack.rows, columns, ThreadsFor(views), &band->filter);
    if (!made.ok()) return made;
    band->views = views;
    band->band_rows = band_rows;
    band->window_rows = WindowRows(settings, in.stack.rows, band_rows);
    std::size_t width = static_cast<std::size_t>(columns), rows = static_cast<std::size_t>(band->window_rows);
    band->window_bytes = rows * static_cast<std::size_t>(views) * width * sizeof(double);
    band->means_bytes = 3 * rows * width * sizeof(double);
    // Reserved, not filled, as proj_sino's own band.
    band->window = static_cast<double *>(ReserveBlock(band->window_bytes));
    band->means = static_cast<double *>(ReserveBlock(band->means_bytes));
    if (band->window == nullptr || band->means == nullptr) {
        ReleasePhaseBand(band);
        return Failure("memory allocation error.");
    }
    return Success();
}

void ReleasePhaseBand(PhaseBand *band) {
    if (band->filter.threads > 0) ReleasePhaseFilter(&band->filter);
    if (band->window != nullptr) ReleaseBlock(band->window, band->window_bytes);
    if (band->means != nullptr) ReleaseBlock(band->means, band->means_bytes);
    *band = PhaseBand{};
}

Status ReadPhaseBand(PhaseBand *band, const StackInputs &in, const double *angles, ZingerNoise noise, int views,
                     int first, int count, double *out, const PhaseCounts &counts) {
    const PhaseFilter &filter = band->filter;
    int start = 0;
    int rows = PhaseWindow(filter.margin, filter.tile, filter.rows, first, count, &start);
    std::size_t width = static_cast<std::size_t>(in.stack.columns);
    std::size_t window_width = static_cast<std::size_t>(rows) * width;
    double *flat = band->means, *dark = band->means + window_width, *page = band->means + 2 * window_width;
    Status status;
    // The window is the flats' and darks' scratch before the stack is read into it.
    std::size_t scratch = window_width * static_cast<std::size_t>(views);
    if (in.have_flats)
        status = FlatLevel(in.flats, start, rows, noise, flat, page, band->window, scratch, counts.flat_zingers);
    if (status.ok() && in.have_darks)
        status = FlatLevel(in.darks, start, rows, noise, dark, page, band->window, scratch, counts.dark_zingers);
    if (status.ok())
        status = ReadRows(in.stack, views, start, rows, band->window, width, static_cast<std::size_t>(views) * width);
    if (status.ok() && noise.threshold > 0) {
        long long replaced = 0;
        status = RemoveZingers(band->window, rows, views, in.stack.columns, angles, noise, &replaced);
        *counts.zingers += replaced;
    }
    if (!status.ok()) return status;
    *counts.clamped += RetrievePhase(filter, band->window, start, views, in.have_flats ? flat : nullptr,
                              in.have_darks ? dark : nullptr, first, count, out);
    return Success();
}
