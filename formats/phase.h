// Single-distance phase retrieval for a homogeneous object (Paganin,
// Mayo, Gureyev, Miller and Wilkins, J. Microsc. 206 (2002) 33-40).
//
// A propagation-based phase-contrast projection, flat-corrected (the
// transmission I / I0), is filtered in two-dimensional Fourier space,
//     T = F^-1[ F[I / I0] / (1 + pi lambda z (delta / beta) |u|^2) ],
// u in cycles per metre, and -ln(T) is the line integral of the linear
// attenuation mu = 4 pi beta / lambda through the object: the sinograms
// hold what an absorption scan of the object would give, with the edge
// fringes of propagation removed. It assumes one material (a fixed
// delta/beta) and the near field: the object's features larger than the
// first Fresnel zone, their Fresnel numbers size^2 / (lambda z) above 1.
//
// Each projection is filtered in tiles of rows fixed on the detector
// (PhaseTileRows rows, tile t holding rows [t K, (t + 1) K)), each with a
// margin of PhaseMarginRows rows above and below, so that the result of a
// row does not depend on which rows are read together; beyond the
// detector's edges and beyond a tile's margin the projection is continued
// by reflection. The margin is where the filter's kernel has fallen
// below 1e-6 of its weight.
#pragma once

#include <cstddef>
#include <string>

#include <fftw3.h>

#include "status.h"

// -P DELTA_BETA,DISTANCE,ENERGY,PIXEL: delta/beta, the distance from the
// object to the detector in metres, the photon energy in keV, the detector
// pixel in metres.
struct PhaseSettings {
    double delta_beta, distance, energy, pixel;
};

// Reads the four numbers, each field wholly a number (StrictReal, args.h),
// finite and above zero. Fails with "bad phase retrieval (-P DELTA_BETA,
// DISTANCE,ENERGY,PIXEL)." when there are not four, else "bad delta/beta
// (-P).", "bad distance (-P).", "bad energy (-P)." or "bad pixel (-P)."
// (a field that is not a number is named: "bad energy (-P): 20keV.").
Status PhaseArgument(const char *text, PhaseSettings *settings);

// Values that no propagation-based scan has (a distance beyond 20 m, an
// energy below 1 or beyond 1000 keV, a pixel beyond 1 mm or below 10 nm):
// most likely millimetres, electronvolts or micrometres where metres and
// keV are meant. The warning line naming them ("warning: -P: unlikely
// values (distance 300 m): DISTANCE and PIXEL are in metres, ENERGY in
// keV."), or an empty string.
std::string PhaseUnitsWarning(const PhaseSettings &settings);

// The wavelength in metres of photons of `kev` keV: 12.398419843320026e-10 / kev.
double WavelengthOfEnergy(double kev);

// The coefficient of |u|^2 in the filter: pi lambda z delta/beta (m^2).
double PaganinCoefficient(const PhaseSettings &settings);

// Rows of margin each side of a tile: 16 decay lengths of the filter's
// kernel, sqrt(PaganinCoefficient) / (2 pi), in pixels, at least 1.
// Returns 0 when the margin leaves the int range.
int PhaseMarginRows(const PhaseSettings &settings);

// Rows of one tile: twice the margin, at least 32.
int PhaseTileRows(int margin);

// The rows a filter needs read to give rows [first, first + count) of a
// detector of `rows` rows: [*window_first, *window_first + return).
int PhaseWindow(int margin, int tile, int rows, int first, int count, int *window_first);

// The filter for projections of rows x columns, with its FFTW plans (made
// once) and the work arrays of `threads` threads.
struct PhaseFilter {
    double coefficient = 0, pixel = 0;
    int rows = 0, columns = 0, margin = 0, tile = 0;
    int padded_rows = 0, padded_columns = 0;  // the transforms' sizes
    int threads = 0;
    double *weights = nullptr;  // padded_rows x (padded_columns / 2 + 1)
    double **work = nullptr;
    fftw_complex **spectra = nullptr;
    fftw_plan forward = nullptr, backward = nullptr;
};

// Bytes a filter takes (weights and the work of each thread).
double PhaseFilterBytes(const PhaseSettings &settings, int rows, int columns, int threads);

// Makes the filter; fails with "memory allocation error." (sizes beyond
// the int range too).
Status MakePhaseFilter(const PhaseSettings &settings, int rows, int columns, int threads, PhaseFilter *filter);
void ReleasePhaseFilter(PhaseFilter *filter);

// Retrieves rows [first, first + count) of every view. `window` holds
// the rows PhaseWindow names, from window_first on, of the counts as a
// band (normalise.h: row j of view v at window + (j * views + v) *
// columns); `flat` and `dark` their mean rows (either
// nullptr, as NormaliseBand takes them). The ratio (I - D) / (F - D) is
// filtered and row first + j of view v gets its line integral at
// out + (j * views + v) * columns. A ratio that is not finite is taken as
// kRatioFloor before filtering, and a filtered value that is not a
// positive number has LineIntegral's floor; both are counted in the
// return. Views are filtered in parallel, with the same result for any
// number of threads.
long long RetrievePhase(const PhaseFilter &filter, const double *window, int window_first, int views,
                        const double *flat, const double *dark, int first, int count, double *out);
