#include "bands.h"

#include <string>

#include "band.h"
#include "flat_levels.h"
#include "memory.h"
#include "real.h"
#include "normalise.h"
#include "options.h"
#include "phase_band.h"
#include "zingers.h"

Status PlanBands(const Options &options, const Inputs &in, Plan *plan) {
    const Images &stack = in.stack;
    plan->views = stack.images;
    if (options.half_turn) {
        if (plan->views % 2 != 0) return Failure("odd number of views for a full turn.");
        plan->views /= 2;
    }
    int first = options.range ? options.first : 0;
    int wanted = options.range ? options.count : stack.rows;
    if (first >= stack.rows) return RowRangeOutside(first, wanted, stack.rows);
    plan->first = first;
    plan->count = wanted < stack.rows - first ? wanted : stack.rows - first;
    // The rows a band holds within a budget of `mib` MiB.
    auto rows_within = [&](double mib) {
        double budget = mib * 1048576.0;
        if (options.phase)
            return PhaseBandRows(budget, BandRowBytes(plan->views, stack.columns), options.phase_settings, in,
                                 plan->views, plan->count);
        return BandRowsWithCaches(budget, plan->views, stack.columns, plan->count,
                                  {&stack, in.have_flats ? &in.flats : nullptr, in.have_darks ? &in.darks : nullptr});
    };
    plan->band_rows = rows_within(options.budget_mib);
    if (plan->band_rows == 0) return BudgetTooSmall(rows_within, 1);
    // A huge budget lets the band take every row; its size must still be a
    // number of bytes that can be asked for.
    if (BandRowBytes(plan->views, stack.columns) * plan->band_rows > 0x1p62) return Failure("memory allocation error.");
    return Success();
}

Status RunBands(const Options &options, const Inputs &in, const Plan &plan, Outputs *outputs, Counts *counts) {
    std::size_t width = static_cast<std::size_t>(in.stack.columns);
    std::size_t sinogram = static_cast<std::size_t>(plan.views) * width;
    std::size_t band_rows = static_cast<std::size_t>(plan.band_rows);
    // Reserved, not filled: memory is committed as the pages are read, so a
    // stack whose pages claim more than they hold fails having used about
    // what it held.
    std::size_t band_bytes = band_rows * sinogram * sizeof(double);
    std::size_t means_bytes = band_rows * width * 3 * sizeof(double);
    auto *band = static_cast<double *>(ReserveBlock(band_bytes));
    auto *means = static_cast<double *>(ReserveBlock(means_bytes));
    PhaseBand phase;
    Status status;
    if (options.phase) status = MakePhaseBand(options.phase_settings, in, plan.views, plan.band_rows, &phase);
    if (band == nullptr || means == nullptr) status = Failure("memory allocation error.");
    double *flat = means, *dark = means + band_rows * width, *page = means + 2 * band_rows * width;

    *counts = Counts{};
    // Counts when the flats give the scale; the angles tell which views are close.
    ZingerNoise noise{options.zinger_threshold, in.have_flats};
    std::vector<double> angles = ViewAngles(in, plan.views);
    for (double &a : angles) a = static_cast<Real>(a) * kPi / 180;
    // 64-bit, so that the step past the last band cannot wrap.
    for (long long next = plan.first; status.ok() && next < plan.first + plan.count; next += plan.band_rows) {
        int start = static_cast<int>(next);
        int rows = plan.band_rows < plan.first + plan.count - start ? plan.band_rows : plan.first + plan.count - start;
        if (options.phase) {
            status = ReadPhaseBand(&phase, in, angles.data(), noise, plan.views, start, rows, band,
                                   {&counts->zingers, &counts->flat_zingers, &counts->dark_zingers, &counts->clamped});
            if (status.ok() && counts->clamped > 0 && options.strict) status = Failure("ratio out of range.");
            for (int j = 0; status.ok() && j < rows; ++j)
                status = WriteSinogram(outputs, start + j, band + static_cast<std::size_t>(j) * sinogram,
                                       in.stack.columns, plan.views);
            continue;
        }
        // The band is the flats' and darks' scratch before the stack is read into it.
        std::size_t scratch = static_cast<std::size_t>(rows) * sinogram;
        if (in.have_flats)
            status = FlatLevel(in.flats, start, rows, noise, flat, page, band, scratch, &counts->flat_zingers);
        if (status.ok() && in.have_darks)
            status = FlatLevel(in.darks, start, rows, noise, dark, page, band, scratch, &counts->dark_zingers);
        if (status.ok()) status = ReadRows(in.stack, plan.views, start, rows, band, width, sinogram);
        if (status.ok() && options.zinger_threshold > 0) {
            long long replaced = 0;
            status = RemoveZingers(band, rows, plan.views, in.stack.columns, angles.data(), noise, &replaced);
            counts->zingers += replaced;
        }
        if (!status.ok()) break;
        int dead = in.have_flats ? RowWithoutBeam(flat, in.have_darks ? dark : nullptr, rows, in.stack.columns) : -1;
        if (dead >= 0) {
            status = Failure("flat at or below the dark in every column of row " + std::to_string(start + dead) + ".");
            break;
        }
        if (!in.have_flats && !options.line_integrals)
            TallyTransmissions(band, static_cast<std::size_t>(rows) * sinogram, &counts->transmissions,
                               &counts->above);
        if (options.line_integrals)
            TallyLineIntegrals(band, static_cast<std::size_t>(rows) * sinogram, &counts->integrals,
                               &counts->integrals_above);
        if (!options.line_integrals) {
            long long low = NormaliseBand(band, rows, plan.views, in.stack.columns, in.have_flats ? flat : nullptr,
                                          in.have_darks ? dark : nullptr);
            if (low > 0 && options.strict) status = Failure("ratio out of range.");
            counts->clamped += low;
        }
        for (int j = 0; status.ok() && j < rows; ++j)
            status = WriteSinogram(outputs, start + j, band + static_cast<std::size_t>(j) * sinogram,
                                   in.stack.columns, plan.views);
    }
    if (options.phase) ReleasePhaseBand(&phase);
    ReleaseBlock(band, band_bytes);
    ReleaseBlock(means, means_bytes);
    return status;
}
