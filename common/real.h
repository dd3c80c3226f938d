// The extended-precision type: a 64-bit significand where the platform has
// one (x87 80-bit long double on x86 and x86-64), otherwise double.
//
// Why: the toolkit's results are defined by formulas whose inner operations
// are evaluated with a 64-bit significand and rounded to double only when a
// named quantity is stored (ax_recon's running filter sums, disk_sino's
// R * R, sino_graft's positions, row fractions and bilinear terms). Doing
// the same reproduces the reference output bit for bit; plain double
// arithmetic would differ in the last bits and, for the default view count
// n * pi above 78 million, by a whole view.
//
// Which platforms agree bit for bit: every x86-64 build (long double is the
// x87 format there, whatever the vector unit). Platforms where long double is
// double (ARM64 on macOS, MSVC) or binary128 (AArch64 Linux, POWER) compute
// the same formulas with another significand, so their outputs may differ in
// the last bits, and a floor or truncation of a whole number up to rounding
// may differ by one.
//
// How to read the casts: every static_cast<Real> in the programs widens one
// operand so that the formula around it is evaluated in this type; each one
// decides bits of the output, none is decoration. The reference is the
// straightforward evaluations in tests/oracle/, written as the formulas read:
// the tests compare the fast code with them byte for byte, so a cast added
// or removed shows there.
#pragma once

#include <cfloat>

#if LDBL_MANT_DIG == 64
using Real = long double;
#else
using Real = double;
#endif

// Pi as the toolkit uses it everywhere.
inline constexpr double kPi = 3.141592653589793;
