// The rotation axis of a stack from a few of its rows: which rows are
// looked at, how their centers make one value (the median) or a line
// against the row (a tilted axis).
#pragma once

#include <vector>

#include "median.h"

// How many rows the axis is found on: enough that one odd row does not
// move the median, few enough that the search costs little beside the
// reconstruction.
inline constexpr int kCenterRows = 5;

// Rows spread evenly over [first, first + count): the middles of
// min(count, kCenterRows) equal parts, in increasing order.
std::vector<int> CenterRows(int first, int count);

// The least-squares line center = intercept + slope * row through the
// points; with one point, or all at one row, the slope is 0.
void FitLine(const std::vector<int> &rows, const std::vector<double> &centers, double *intercept, double *slope);


