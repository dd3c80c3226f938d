// Option values that several programs share.
#pragma once

#include "status.h"

// "-r FIRST,COUNT", a range of detector rows: FIRST >= 0 and COUNT > 0,
// as atoi reads them, else "bad row range.".
Status RowRangeArgument(const char *text, int *first, int *count);

// The failure of a row range that starts past the stack's last row: "bad
// row range FIRST,COUNT: the stack has rows 0 to ROWS-1.".
Status RowRangeOutside(int first, int count, int rows);

// "X,Y": two reals separated by a comma, each field wholly a number
// (StrictReal, args.h); false when there is no comma or a field is not one.
bool ReadPair(const char *text, double *x, double *y);

// -o X,Y (sino_recon, stack_recon): the image's center in detector
// intervals from the axis, both finite, else "bad image center." ("bad
// image center: WORD." for a word that is not two numbers).
Status ImageCenterArgument(const char *text, double *x, double *y);
