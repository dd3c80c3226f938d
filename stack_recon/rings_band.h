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

// At least the bytes one sinogram's stripe removal takes (RingsWork for
// `views` x `columns` samples on `threads` threads), which the memory
// plan counts beside the band for each of RingsThreads: a sample's worth of sorted values and views
// (sort), of detail (fft) or of baseline (detect); each column's findings;
// each thread's columns of views, its row and its median windows.
double RingsBytes(const RingsChoice &choice, int views, int columns, int threads);

// The threads that remove the stripes of `rows` sinograms, each taking
// whole sinograms: no more than the rows.
int RingsThreads(int rows);

// Removes the stripes of `rows` sinograms at `band` (`views` x `columns`
// doubles each) in place, a sinogram a thread (RingsThreads), each
// removal on one thread: the same bytes as sino_rings gives on any number
// of threads. A sinogram with a sample that is not finite is left as it is
// (sino_rings refuses it; here its slice shows it). Fails with
// RemoveRings' messages.
Status CleanBand(const RingsChoice &choice, double *band, int rows, int views, int columns);
