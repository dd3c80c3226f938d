// Convolution kernels sampled at whole detector intervals, as functions of
// the signed offset n. All three are even. Values are evaluated in the
// extended type; every product of n with itself is formed in floating point,
// so large offsets neither overflow nor lose their sign. Offsets are 64-bit
// so that k + j stays exact for the longest profiles.
#pragma once

#include "real.h"
#include "status.h"

Real Ramachandran(long long n);
Real Shepp(long long n);

// Ramachandran smoothed with the weights 1/4, 1/2, 1/4; the kernel of the
// reconstruction.
Real Chesler(long long n);

// The kernels by name, for the programs that let the user choose.
enum class Kernel { kChesler, kShepp, kRamachandran };

// "chesler", "shepp" or "ramachandran" (exactly so); false for any other name.
bool KernelByName(const char *name, Kernel *kernel);

// The kernel argument; fails with "unknown kernel (chesler, shepp or
// ramachandran)." for any other name.
Status KernelArgument(const char *text, Kernel *kernel);

// The kernel's value at offset n, rounded to double.
double KernelValue(Kernel kernel, long long n);
