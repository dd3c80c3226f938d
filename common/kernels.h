// Convolution kernels sampled at whole detector intervals, as functions of
// the signed offset n. All three are even. Values are evaluated in the
// extended type; every product of n with itself is formed in floating point,
// so large offsets neither overflow nor lose their sign. Offsets are 64-bit
// so that k + j stays exact for the longest profiles.
#pragma once

#include "real.h"

Real Ramachandran(long long n);
Real Shepp(long long n);

// Ramachandran smoothed with the weights 1/4, 1/2, 1/4; the kernel of the
// reconstruction.
Real Chesler(long long n);
