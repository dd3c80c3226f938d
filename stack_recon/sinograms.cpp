#include "sinograms.h"

#include <cstddef>
#include <string>

#include "normalise.h"
#include "zingers.h"

Status ReadSinograms(const StackInputs &in, const Reading &how, int views, int start, int rows, double *band,
                     double *means, ReadCounts *counts) {
    if (how.phase != nullptr)
        return ReadPhaseBand(how.phase, in, how.zinger_threshold, views, start, rows, band, &counts->zingers,
                             &counts->clamped);
    std::size_t width = static_cast<std::size_t>(in.stack.columns);
    std::size_t band_width = static_cast<std::size_t>(rows) * width;
    double *flat = means, *dark = means + band_width, *page = means + 2 * band_width;
    Status status;
    if (in.have_flats) status = MeanRows(in.flats, start, rows, flat, page);
    if (status.ok() && in.have_darks) status = MeanRows(in.darks, start, rows, dark, page);
    if (status.ok())
        status = ReadRows(in.stack, views, start, rows, band, width, static_cast<std::size_t>(views) * width);
    if (status.ok() && how.zinger_threshold > 0) {
        long long replaced = 0;
        status = RemoveZingers(band, rows, views, in.stack.columns, how.zinger_threshold, &replaced);
        counts->zingers += replaced;
    }
    if (!status.ok()) return status;
    int dead = in.have_flats ? RowWithoutBeam(flat, in.have_darks ? dark : nullptr, rows, in.stack.columns) : -1;
    if (dead >= 0) return Failure("flat at or below the dark in every column of row " + std::to_string(start + dead) + ".");
    if (!how.line_integrals)
        counts->clamped += NormaliseBand(band, rows, views, in.stack.columns, in.have_flats ? flat : nullptr,
                                         in.have_darks ? dark : nullptr);
    return Success();
}
