// Command-line numbers, read the way atoi and atof read them: leading blanks
// skipped, an optional sign, the longest leading number, 0 when the text does
// not begin with one.
#pragma once

#include <cstddef>

// The longest word a number in a text input may be: longer than any number
// written to be read (a double printed to its last exact digit has under
// 800), so that a word beyond it (an endless run of bytes, /dev/zero) is
// refused when it reaches this length instead of filling memory.
inline constexpr std::size_t kLongestNumber = 1100;

// Integers beyond the 32-bit range are clamped to it rather than wrapped.
int IntArgument(const char *text);

// "nan", "inf" and hexadecimal forms are accepted as atof accepts them.
double RealArgument(const char *text);
