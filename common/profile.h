// Profiles: a count n, then n real samples as text, sample 0 on the rotation
// axis. Tokens are separated by any white space, and each number is a whole
// token: "3.0" as a count or "39,2" as a value is a read error, not a number
// followed by more data.
#pragma once

#include <cstdio>

#include "status.h"

struct Profile {
    int count;        // n > 0
    double *samples;  // n values, sample 0 first
    double *extra;    // a further array of n doubles when two were asked for
};

// Reads the profile named on the command line ('-': standard input), with
// `arrays` (1 or 2) arrays of n doubles allocated after the count is read and
// before any value is read. Fails with "file not found.", "data read error."
// or "memory allocation error.".
Status ReadProfile(const char *name, int arrays, Profile *profile);

// Reads the count and values from an open stream; the same failures.
Status ReadProfileFrom(FILE *in, int arrays, Profile *profile);

// Gives the arrays back; the profile is empty after.
void ReleaseProfile(Profile *profile);

// n times pi truncated toward zero, with the product formed with a 64-bit
// significand so that it is the floor of the exact product. The result can
// exceed the 32-bit range for n above 683565275; callers check.
long long DefaultViewCount(long long n);

// The view count from DefaultViewCount; fails with "profile too long for
// the default number of views." when it leaves the 32-bit range.
Status DefaultViews(int n, int *views);

// An explicit view count as atoi reads it; zero or less fails with "bad
// number of views.".
Status ViewsArgument(const char *text, int *views);
