// The rotation axis of a stack from a few of its rows: which rows are
// looked at, how their centers make one value (the median) or a line
// against the row (a tilted axis), and which views form the half turn the
// centre finder needs.
#pragma once

#include <vector>

// How many rows the axis is found on: enough that one odd row does not
// move the median, few enough that the search costs little beside the
// reconstruction.
inline constexpr int kCenterRows = 5;

// Rows spread evenly over [first, first + count): the middles of
// min(count, kCenterRows) equal parts, in increasing order.
std::vector<int> CenterRows(int first, int count);

// The median of the values (the mean of the middle two for an even count);
// `values` must not be empty.
double Median(std::vector<double> values);

// The least-squares line center = intercept + slope * row through the
// points; with one point, or all at one row, the slope is 0.
void FitLine(const std::vector<int> &rows, const std::vector<double> &centers, double *intercept, double *slope);

// The views of an angle list (radians, count values) that make an even
// half turn from view 0: H views at a0 + k d, |d| H = pi, each within a
// millionth of the step. Returns H, or 0 when the first views are not such
// a run.
int EvenHalfTurnViews(const double *angles, int count);
