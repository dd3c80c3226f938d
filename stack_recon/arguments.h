// stack_recon's option values, each checked as it is read.
#pragma once

#include "status.h"

// -c: "fit", a number (checked against the detector once it is known), or
// the name of an existing file, a table of centers by row (center_table.h);
// a word that is none of these fails with "bad position of rotation
// center: WORD." (StrictReal, args.h).
struct CenterChoice {
    bool given;  // -c was given
    bool fit;    // -c fit
    double value;
    bool table = false;  // -c FILE
};
Status CenterOption(const char *text, CenterChoice *choice);

// -p, the pixel side in micrometres, is read by PixelArgument (checks.h):
// finite and above zero, else "bad pixel size.".
