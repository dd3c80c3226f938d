// Command-line numbers, read the way atoi and atof read them: leading blanks
// skipped, an optional sign, the longest leading number, 0 when the text does
// not begin with one.
#pragma once

// Integers beyond the 32-bit range are clamped to it rather than wrapped.
int IntArgument(const char *text);

// "nan", "inf" and hexadecimal forms are accepted as atof accepts them.
double RealArgument(const char *text);
