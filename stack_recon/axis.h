// The rotation axis found from the stack itself, with sino_center's
// method, on a few rows spread over the rows to reconstruct: each row's
// center and the one used are printed on standard error.
#pragma once

#include <cstdio>

#include "sinograms.h"
#include "stack_inputs.h"
#include "rings_band.h"
#include "status.h"
#include "views.h"

// Which views the search reads and how it takes them: the first `views`
// images as a half turn (FindCenter, on evenly spread views), or, with
// `full_turn`, as the whole turn (FindTurnCenter, center.h: at `angles`,
// or evenly over it when that is null, as sino_center -t).
// Each row's sinogram is cleaned of stripes first as -R cleans the
// volume's (`rings`, when on): a dead or striped column would otherwise
// leave the halves of the turn unmatched and the search without a center.
struct AxisSearch {
    int views;
    bool full_turn;
    const ViewSet *angles;
    const RingsChoice *rings = nullptr;
};

// Finds the center of each row of CenterRows(first, count) and sets
// centers[i] for every row first + i: the median of the rows' centers, or
// with `fit` the least-squares line against the row. More than half of
// the rows looked at must give a clear center, else it fails with "no
// clear center: F of R rows gave one (REASON); give the axis with -c.".
// Writes to `report` one line per row looked at, a warning when two rows
// differ by more than a pixel, and the center used. Also fails with "too
// few rows to fit the center." when fewer than two rows give one for a
// fit, "sinogram too small to find the center.", "memory allocation
// error." or the readers' messages; on a full turn evenly spread, with
// "the views cover a half turn (the last one matches the first one
// mirrored): leave out -t." when a row's views read as a half turn, as
// sino_center -t refuses them.
Status FindAxis(const StackInputs &in, const Reading &how, const AxisSearch &search, int first, int count, bool fit,
                double *centers, FILE *report);

// With the axis given (-c) and the views said to cover the whole turn
// (-t, a full-turn search), whether they do: `row`'s sinogram read as the
// search reads it, refused as FindAxis refuses it when it reads as a half
// turn ("the views cover a half turn (the last one matches the first one
// mirrored): leave out -t."). Where the reading is not clear, or the row
// cannot be read (the slices' reading says why), nothing is said.
Status CheckTurn(const StackInputs &in, const Reading &how, const AxisSearch &search, int row);

// With the views taken for an even half turn (no -a, -t or angles in the
// file), whether they look like a whole turn (LooksLikeWholeTurn,
// whole_turn.h): `row`'s sinogram of `views` views read as the slices
// read it, about `center`. A row that cannot be read, or too little
// memory, says nothing here: the slices meet it again.
bool RowLooksLikeWholeTurn(const StackInputs &in, const Reading &how, int views, int row, double center);
