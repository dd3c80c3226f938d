// How many detector rows are read and written together: a band holds, for
// each of its rows, the row of every view (the row's whole sinogram), the
// row of the mean flat and of the mean dark, and one image row of scratch.
#pragma once

#include <cstddef>

// Bytes one band row takes.
double BandRowBytes(int views, int columns);

// The rows of a band within `budget` bytes, at most `rows`; 0 when not even
// one row fits.
int BandRows(double budget, int views, int columns, int rows);

// The default budget: 1 GiB.
inline constexpr double kDefaultBudgetMiB = 1024;
