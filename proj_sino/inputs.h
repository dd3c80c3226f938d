// proj_sino's inputs: the stack with its flat and dark images, whichever
// format holds them, and the views' angles when the file has them.
#pragma once

#include <vector>

#include "images.h"
#include "stack_inputs.h"
#include "arguments.h"
#include "status.h"

struct Inputs : StackInputs {
    std::vector<double> theta;  // degrees, one per image; empty when unknown
};

// Opens the stack, its flats and darks, and (with -A) /exchange/theta;
// fails with the messages of the formats library about the file concerned,
// "one hdf5 file at a time.", "<file>: flats and darks are in the file.",
// "<file>: no /exchange/data.", "darks need flats." or "<file>: sizes
// differ.".
Status OpenInputs(const Options &options, Inputs *in);

// The angles of the views written, in degrees: the file's own, or view k
// of `views` at k 180 / views.
std::vector<double> ViewAngles(const Inputs &in, int views);
