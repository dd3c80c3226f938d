// A band of detector rows read from the stack as sinograms of line
// integrals, the way proj_sino writes them: each row's views in order,
// zingers replaced (-z), normalised against the mean flat and dark rows
// (unless the stack holds line integrals already, -l).
#pragma once

#include <vector>

#include "phase_band.h"
#include "stack_inputs.h"
#include "status.h"

// How a band becomes sinograms.
struct Reading {
    bool line_integrals;      // -l: no normalisation
    double zinger_threshold;  // -z: 0 when zingers stay
    const double *angles;     // the views' angles, radians (which views are close)
    PhaseBand *phase = nullptr;  // -P: the band reads through phase retrieval
};

// What reading did, counted over the bands.
struct ReadCounts {
    long long clamped = 0;  // ratios replaced by the floor
    long long zingers = 0;  // samples replaced by their neighbours' median
    long long flat_zingers = 0, dark_zingers = 0;  // values left out of the flats' and darks' levels
    // Without flats the stack is read as transmissions (at most 1 but for
    // noise): the samples read so, and those above 1.5 (TallyTransmissions).
    long long transmissions = 0, above = 0;
    // With -l: the samples read, and those above 50 (TallyLineIntegrals).
    long long integrals = 0, integrals_above = 0;
    // With flats: the magnitudes of the negative and positive line
    // integrals (TallySigns, misplaced.h).
    double negative = 0, positive = 0;
    // Unless -l: each view's samples summed before normalisation
    // (AddViewSums), over the rows read; empty until a row is.
    std::vector<double> view_sums;
};


// Reads rows [start, start + rows) of the first `views` images into
// `band` (sinogram j at band + j * views * columns), replaces zingers and
// normalises them (through phase retrieval with -P, ReadPhaseBand);
// `means` holds 3 * rows * columns doubles of scratch.
// normalises them against the flat and dark levels (FlatLevel, cleaned of
// zingers too with -z); `means` holds 3 * rows * columns doubles of
// scratch.
// Fails with the readers' messages about the file.
Status ReadSinograms(const StackInputs &in, const Reading &how, int views, int start, int rows, double *band,
                     double *means, ReadCounts *counts);
