// -R METHOD[,SIZE]: the stripes of each sinogram of a band removed as
// sino_rings removes them (RemoveRings, rings.h), after the band is read
// and before its slices are reconstructed, so that each slice is
// sino_rings' sinogram of its row reconstructed.
#pragma once

#include "rings.h"
#include "status.h"

struct RingsChoice {
    bool on = false;
    StripeMethod method = StripeMethod::kAuto;
    int size = 0;
};

// "METHOD" or "METHOD,SIZE", METHOD and SIZE as sino_rings takes its
// operands (MethodArgument, SizeArgument: their messages), SIZE by default
// the method's DefaultSize.
Status RingsOption(const char *text, RingsChoice *choice);

// Removes the stripes of `rows` sinograms at `band` (`views` x `columns`
// doubles each) in place, each on as many threads as sino_rings would
// give it. A sinogram with a sample that is not finite is left as it is
// (sino_rings refuses it; here its slice shows it). Fails with
// RemoveRings' messages.
Status CleanBand(const RingsChoice &choice, double *band, int rows, int views, int columns);
