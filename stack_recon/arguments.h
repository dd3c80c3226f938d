// stack_recon's option values, each checked as it is read.
#pragma once

#include "status.h"

// -c: "fit", or a number (checked against the detector once it is known);
// a word that is neither fails with "bad position of rotation center:
// WORD." (StrictReal, args.h).
struct CenterChoice {
    bool given;  // -c was given
    bool fit;    // -c fit
    double value;
};
Status CenterOption(const char *text, CenterChoice *choice);

// -p, the pixel side in micrometres, is read by PixelArgument (checks.h):
// finite and above zero, else "bad pixel size.".
