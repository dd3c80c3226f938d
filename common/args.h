// Command-line numbers, read the way atoi and atof read them: leading blanks
// skipped, an optional sign, the longest leading number, 0 when the text does
// not begin with one.
#pragma once

#include <cstddef>

#include "status.h"

// The longest word a number in a text input may be: longer than any number
// written to be read (a double printed to its last exact digit has under
// 800), so that a word beyond it (an endless run of bytes, /dev/zero) is
// refused when it reaches this length instead of filling memory.
inline constexpr std::size_t kLongestNumber = 1100;

// Integers beyond the 32-bit range are clamped to it rather than wrapped.
int IntArgument(const char *text);

// "nan", "inf" and hexadecimal forms are accepted as atof accepts them.
double RealArgument(const char *text);

// The newer programs' numbers: the word must be the number and nothing
// else. A real is a decimal number as strtod reads it (sign, digits, point,
// exponent; "inf" and "nan" too, left to the range checks), an integer an
// optional sign and digits, clamped to the 32-bit range (left to the range
// checks, as a real's infinity is). "163,7", "163.7px",
// "0x10", "" and " 5" are not numbers: they fail with the message, its
// final period replaced by ": " and the word ("bad position of rotation
// center: 163,7."). Ranges are the caller's to check.
Status StrictReal(const char *text, const char *message, double *value);
Status StrictInt(const char *text, const char *message, int *value);

// `count` numbers separated by commas ("5e-8,5e-11,0.1"), each read as
// StrictReal reads a word, with the message bad[i] for the i-th. Fails with
// `shape` when the text has other than count - 1 commas, the fields
// checked from the first.
Status CommaReals(const char *text, int count, const char *const *bad, const char *shape, double *values);

// The failure of a word that is not a number, worded as above.
Status NotANumber(const char *text, const char *message);
