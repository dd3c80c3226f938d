// Windows over the detectors of a view: flat in the middle and a raised
// cosine down to zero, so that data cut by a window end smoothly and their
// transforms do not ring.
#pragma once

// A window over detectors 0 .. n-1: 1 within half_width - taper of
// `middle`, a raised cosine down to 0 at half_width, 0 beyond.
void TaperedWindow(double *window, int n, double middle, double half_width, double taper);
