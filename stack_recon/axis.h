// The rotation axis found from the stack itself, with sino_center's
// method, on a few rows spread over the rows to reconstruct: each row's
// center and the one used are printed on standard error.
#pragma once

#include <cstdio>

#include "sinograms.h"
#include "stack_inputs.h"
#include "status.h"

// Finds the center of each row of CenterRows(first, count) from the
// first `half_turn` views (an even half turn) and sets centers[i] for
// every row first + i: the median of the rows' centers, or with `fit` the
// least-squares line against the row. Writes to `report` one line per
// row looked at, a warning when two rows differ by more than a pixel, and
// the center used. Fails with "no clear center: the halves of the turn do
// not match." when no row gives one, "too few rows to fit the center."
// when fewer than two do for a fit, "memory allocation error." or the
// readers' messages. With `full_turn` views (-t: the first half of a full
// turn is reconstructed), each row looked at is also read whole and
// checked as sino_center -t checks it: "the views cover a half turn (the
// last one matches the first one mirrored): leave out -t." when they read
// as a half turn.
Status FindAxis(const StackInputs &in, const Reading &how, int half_turn, int full_turn, int first, int count,
                bool fit, double *centers, FILE *report);
