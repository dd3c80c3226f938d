// Options before a program's operands, each a word of its own: "-x" for a
// flag, "-x VALUE" for one that takes a value. A dash and a letter that is
// not one of the program's options is a usage error (a mistyped option).
// Any other word ends them (so "-", "-name" and "-5", standard streams by
// the '-' rule, stay operands), and so does "--", which is dropped.
#pragma once

#include <string>
#include <vector>

#include "status.h"

struct OptionWord {
    char letter;
    const char *value;  // nullptr for a flag
};

// Reads the options of `letters` ("a:p:t": a letter followed by ':' takes
// a value) from argv[1] on, in order; *operands is the index of the first
// operand. Fails with `usage` when an option's value is missing or an
// option is unknown.
Status ReadOptions(int argc, char **argv, const char *letters, const char *usage, std::vector<OptionWord> *options,
                   int *operands);

// "-r FIRST,COUNT", a range of detector rows: FIRST >= 0 and COUNT > 0,
// as atoi reads them, else "bad row range.".
Status RowRangeArgument(const char *text, int *first, int *count);

// "X,Y": two reals as atof reads them, separated by a comma; false when
// there is no comma.
bool ReadPair(const char *text, double *x, double *y);
