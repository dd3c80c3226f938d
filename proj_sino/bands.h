// proj_sino's band loop: the rows to write, cut into bands that fit the
// memory budget, each read from every image once, cleaned, normalised and
// written as whole sinograms.
#pragma once

#include "inputs.h"
#include "arguments.h"
#include "outputs.h"
#include "status.h"

// The rows to write, the views of each sinogram and the band's size.
struct Plan {
    int first, count;  // detector rows
    int views;
    int band_rows;
};

// Fails with "odd number of views for a full turn.", "bad row range
// FIRST,COUNT: the stack has rows 0 to N.",
// "memory budget too small." or "memory allocation error.".
Status PlanBands(const Options &options, const Inputs &in, Plan *plan);

// What the loop counted: zingers replaced in the stack and removed from
// the flats and darks (-z), and ratios clamped.
struct Counts {
    long long zingers = 0, flat_zingers = 0, dark_zingers = 0, clamped = 0;
    long long transmissions = 0, above = 0;  // read without flats, and above 1.5 among them
    long long integrals = 0, integrals_above = 0;  // read with -l, and above 50 among them
};

// Reads, cleans, normalises and writes every band; fails with the first
// failure of a read or a write, or "ratio out of range." (-s).
Status RunBands(const Options &options, const Inputs &in, const Plan &plan, Outputs *outputs, Counts *counts);
