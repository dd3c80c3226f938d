// Output names from a pattern holding the row number once, printf style:
// "slice_%04d.sg" gives slice_0007.sg for row 7.
#pragma once

#include <string>

// A checked pattern: the text around its one conversion, and how the number
// is padded.
struct NamePattern {
    std::string before, after;
    int width;  // minimum digits (0: as many as needed)
    bool zeros;  // pad with zeros, else with blanks
};

// Parses a pattern with exactly one "%d" conversion, optionally with a '0'
// flag and a width ("%d", "%4d", "%04d"); "%%" stands for a percent sign.
// False for any other pattern.
bool ParsePattern(const char *text, NamePattern *pattern);

// The name for one row (row >= 0).
std::string PatternName(const NamePattern &pattern, int row);

// Numbered series of input files (flat_00.tif, flat_01.tif, ...): a name
// with each run of digits made one '#', which the files of one series
// share; and the name with its last run of digits made '*', the pattern
// that names its series.
std::string SeriesSkeleton(const char *name);
std::string SeriesPattern(const char *name);

// Files of one series listed against their numbers, as the shell lists
// proj_0.tif ... proj_359.tif (proj_10.tif before proj_2.tif): the first
// name whose numbers, taken in order, fall below those of the name before
// it in the same series ("proj_2.tif" after "proj_10.tif" sets `later` and
// `earlier`); false when every series rises. Names with a number beyond 18
// digits are not compared.
bool NumberedOutOfOrder(const char *const *names, int count, const char **earlier, const char **later);
