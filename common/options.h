// Option values that several programs share.
#pragma once

#include <string>

#include "status.h"

// "-r FIRST,COUNT", a range of detector rows: FIRST >= 0 and COUNT > 0,
// as atoi reads them, else "bad row range.".
Status RowRangeArgument(const char *text, int *first, int *count);

// The failure of a row range that starts past the stack's last row: "bad
// row range FIRST,COUNT: the stack has rows 0 to ROWS-1.".
Status RowRangeOutside(int first, int count, int rows);

// The failure of a memory budget that holds too few rows: "memory budget
// too small: -m N will do.", N the least whole number of MiB for
// which `rows_within(mib)` gives `least` rows or more (the rows a budget
// holds grow with it); without the number where no budget up to 2^40 MiB
// would do.
template <class RowsWithin>
Status BudgetTooSmall(RowsWithin rows_within, int least) {
    double high = 1;
    while (rows_within(high) < least && high < 0x1p40) high *= 2;
    if (rows_within(high) < least) return Failure("memory budget too small.");
    // rows_within(low) falls short (or low is 0), rows_within(high) does not.
    double low = high / 2 < 1 ? 0 : high / 2;
    while (high - low > 1) {
        double middle = low + static_cast<double>(static_cast<long long>((high - low) / 2));
        if (rows_within(middle) < least) low = middle;
        else high = middle;
    }
    std::string mib = std::to_string(static_cast<long long>(high));
    return Failure("memory budget too small: -m " + mib + " will do.");
}

// "X,Y": two reals separated by a comma, each field wholly a number
// (StrictReal, args.h); false when there is no comma or a field is not one.
bool ReadPair(const char *text, double *x, double *y);

// -o X,Y (sino_recon, stack_recon): the image's center in detector
// intervals from the axis, both finite, else "bad image center." ("bad
// image center: WORD." for a word that is not two numbers).
Status ImageCenterArgument(const char *text, double *x, double *y);
