// The exponential and the natural logarithm computed with additions,
// multiplications, divisions and exact scalings by powers of two only, so
// that they give the same bits on every machine whatever its C library
// (whose exp and log may differ in the last bit between versions and
// between the code paths chosen for a processor). Both are within two
// units in the last place.
#pragma once

// e^x: 0 below -745.2, infinity above 709.78.
double PortableExp(double x);

// ln x for finite x > 0 (not a subnormal number).
double PortableLog(double x);
