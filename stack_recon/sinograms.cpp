#include "sinograms.h"

#include <cstddef>
#include <string>

#include "checks.h"
#include "flat_levels.h"
#include "misplaced.h"
#include "normalise.h"
#include "zingers.h"

Status ReadSinograms(const StackInputs &in, const Reading &how, int views, int start, int rows, double *band,
                     double *means, ReadCounts *counts) {
    if (how.phase != nullptr)
        return ReadPhaseBand(how.phase, in, how.angles, ZingerNoise{how.zinger_threshold, in.have_flats}, views,
                             start, rows, band,
                             {&counts->zingers, &counts->flat_zingers, &counts->dark_zingers, &counts->clamped});
    std::size_t width = static_cast<std::size_t>(in.stack.columns);
    std::size_t band_width = static_cast<std::size_t>(rows) * width;
    double *flat = means, *dark = means + band_width, *page = means + 2 * band_width;
    Status status;
    // Counts when the flats give the scale; the band is the flats' and
    // darks' scratch before the stack is read into it.
    ZingerNoise noise{how.zinger_threshold, in.have_flats};
    std::size_t scratch = band_width * static_cast<std::size_t>(views);
    if (in.have_flats) status = FlatLevel(in.flats, start, rows, noise, flat, page, band, scratch, &counts->flat_zingers);
    if (status.ok() && in.have_darks)
        status = FlatLevel(in.darks, start, rows, noise, dark, page, band, scratch, &counts->dark_zingers);
    if (status.ok())
        status = ReadRows(in.stack, views, start, rows, band, width, static_cast<std::size_t>(views) * width);
    if (status.ok() && how.zinger_threshold > 0) {
        long long replaced = 0;
        status = RemoveZingers(band, rows, views, in.stack.columns, how.angles, noise, &replaced);
        counts->zingers += replaced;
    }
    if (!status.ok()) return status;
    // Line integrals go to the filter as read: a sample that is not finite
    // (and that no zinger removal replaced) would spread over its slice.
    if (how.line_integrals) {
        std::size_t count = band_width * static_cast<std::size_t>(views);
        std::size_t at = FirstNotFinite(band, count);
        if (at < count) {
            std::size_t view_width = static_cast<std::size_t>(views) * width;
            int row = start + static_cast<int>(at / view_width), image = static_cast<int>(at % view_width / width);
            return Failure(About(ImageFile(in.stack, image),
                                 ("sample not finite (image " + std::to_string(image) + ", row " + std::to_string(row) +
                                  ", column " + std::to_string(at % width) + ").")
                                     .c_str()));
        }
    }
    if (how.line_integrals)
        TallyLineIntegrals(band, band_width * static_cast<std::size_t>(views), &counts->integrals,
                           &counts->integrals_above);
    if (!in.have_flats && !how.line_integrals) {
        TallyTransmissions(band, band_width * static_cast<std::size_t>(views), &counts->transmissions,
                           &counts->above);
    }
    if (!how.line_integrals) {
        std::size_t count = static_cast<std::size_t>(views);
        if (counts->view_sums.size() != count) counts->view_sums.assign(count, 0.0);
        for (int j = 0; j < rows; ++j)
            AddViewSums(band + static_cast<std::size_t>(j) * width * static_cast<std::size_t>(views), views,
                        in.stack.columns, counts->view_sums.data());
    }
    int dead = in.have_flats ? RowWithoutBeam(flat, in.have_darks ? dark : nullptr, rows, in.stack.columns) : -1;
    if (dead >= 0) return Failure("flat at or below the dark in every column of row " + std::to_string(start + dead) + ".");
    if (!how.line_integrals)
        counts->clamped += NormaliseBand(band, rows, views, in.stack.columns, in.have_flats ? flat : nullptr,
                                         in.have_darks ? dark : nullptr);
    if (in.have_flats && !how.line_integrals)
        TallySigns(band, band_width * static_cast<std::size_t>(views), &counts->negative, &counts->positive);
    return Success();
}
