// Detector counts to line integrals: p = -ln((I - D) / (F - D)), with F and
// D the mean flat (open beam) and dark images.
#pragma once

#include <cstddef>

// A ratio (I - D) / (F - D) that is not a positive finite number (no signal
// above the dark, a dead flat pixel, a sample that is not a number), or
// any ratio where the flat is at or below the dark (F - D <= 0: no open
// beam to compare with), has no line integral; it is replaced by this
// floor, whose line integral is -ln(1e-6) = 13.8155...
inline constexpr double kRatioFloor = 1e-6;

// The line integral of one ratio; sets *clamped when the floor was used.
double LineIntegral(double ratio, bool *clamped);

// Normalises a band in place: `rows` sinograms of `views` x `columns`
// samples, sinogram j at band + j * views * columns, against the mean flat
// and dark rows (row j at flat + j * columns; either may be nullptr: no
// dark means D = 0, no flat means F = 1, the samples being intensities
// already normalised). Returns how many samples were clamped.
long long NormaliseBand(double *band, int rows, int views, int columns, const double *flat, const double *dark);

// The first of `rows` mean flat rows that is at or below its dark row (0
// when dark is nullptr) in every column: flats and darks given the wrong
// way round, or a flat of no beam, which no ratio can use. -1 when none.
int RowWithoutBeam(const double *flat, const double *dark, int rows, int columns);

// Without flats a stack is read as intensities already normalised (1 and
// below but for noise: 1.5 is five noises above 1 at a hundred counts).
// Adds to *samples the `count` samples of `band` and to *above those
// above 1.5: where a tenth or more are, the stack holds counts whose flats
// were forgotten (all above), or line integrals without -l (those through
// the object), and what is made of them is nonsense.
void TallyTransmissions(const double *band, std::size_t count, long long *samples, long long *above);
inline bool NotTransmissions(long long samples, long long above) { return samples > 0 && 10 * above >= samples; }
// The warning a program gives at the end of such a run.
inline constexpr const char *kNotTransmissions =
    "warning: many samples are above 1.5 and there are no flats: they were read as transmissions (give the flats "
    "with -f, or -l for line integrals).";

// Line integrals (-l) of a scan are near 0 along the rays that miss the
// object: counts given with -l are large along every ray. Adds to
// *samples the `count` samples of `band` and to *above those above 50:
// where nine tenths or more are, the stack holds counts (a detector's open
// beam is hundreds or thousands) and what is made of them is nonsense.
// Simulated line integrals in detector intervals may pass 50 through a
// large object, but the air around it keeps them under the rule.
void TallyLineIntegrals(const double *band, std::size_t count, long long *samples, long long *above);
inline bool NotLineIntegrals(long long samples, long long above) { return samples > 0 && 10 * above >= 9 * samples; }
// The warning a program gives at the end of such a run.
inline constexpr const char *kNotLineIntegrals =
    "warning: nine tenths of the samples are above 50 and -l was given: counts? leave out -l and give the flats and "
    "darks.";
