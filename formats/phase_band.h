// A band of detector rows read from a projection stack as sinograms of
// line integrals with phase retrieval (phase.h): the rows of the band's
// tiles and their margins are read from every image, zingers replaced,
// each view filtered, and the band's own rows kept.
#pragma once

#include "phase.h"
#include "stack_inputs.h"
#include "zingers.h"
#include "status.h"

// The filter with the window it reads: rows, mean flat and dark rows.
struct PhaseBand {
    PhaseFilter filter;
    int views = 0, band_rows = 0, window_rows = 0;  // the most each read takes
    double *window = nullptr, *means = nullptr;
    std::size_t window_bytes = 0, means_bytes = 0;
};

// The rows of a band within `budget` bytes, at most `rows`, when each
// band row takes `row_bytes` of the caller's and the phase band adds its
// window, the read caches of the stack, flats and darks, and the filter
// of ThreadsFor(views) threads; 0 when not even one row fits.
int PhaseBandRows(double budget, double row_bytes, const PhaseSettings &settings, const StackInputs &in, int views,
                  int rows);

// Takes the memory for bands of up to `band_rows` rows of `views` views.
// Fails with "memory allocation error.".
Status MakePhaseBand(const PhaseSettings &settings, const StackInputs &in, int views, int band_rows, PhaseBand *band);
void ReleasePhaseBand(PhaseBand *band);

// What reading a band counted: zingers replaced in the stack, in the
// flats and in the darks, and ratios clamped.
struct PhaseCounts {
    long long *zingers, *flat_zingers, *dark_zingers, *clamped;
};

// Rows [first, first + count) of the first `views` images (at most the
// band's), as sinograms at out + j * views * columns. Zingers replaced
// with a threshold above zero (RemoveZingers, the views at `angles`
// radians; the flats and darks through FlatLevel). Fails with the readers'
// messages about the file.
Status ReadPhaseBand(PhaseBand *band, const StackInputs &in, const double *angles, ZingerNoise noise, int views,
                     int first, int count, double *out, const PhaseCounts &counts);
