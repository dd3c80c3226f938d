// stack_recon's option values, each checked as it is read.
#pragma once

#include "status.h"

// -c: "fit", or a number (checked against the detector once it is known).
struct CenterChoice {
    bool given;  // -c was given
    bool fit;    // -c fit
    double value;
};
CenterChoice CenterOption(const char *text);

// -p, the pixel side in micrometres, is read by PixelArgument (checks.h):
// finite and above zero, else "bad pixel size.".
