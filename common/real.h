// The extended-precision type: a 64-bit significand where the platform has
// one (x87 80-bit long double), otherwise double. Intermediate results inside
// one formula are evaluated in this type and rounded to double when stored.
#pragma once

#include <cfloat>

#if LDBL_MANT_DIG == 64
using Real = long double;
#else
using Real = double;
#endif

// Pi as the toolkit uses it everywhere.
inline constexpr double kPi = 3.141592653589793;
