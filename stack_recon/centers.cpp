#include "centers.h"

#include <algorithm>
#include <cmath>

#include "real.h"

std::vector<int> CenterRows(int first, int count) {
    int parts = count < kCenterRows ? count : kCenterRows;
    std::vector<int> rows;
    for (int i = 0; i < parts; ++i)
        rows.push_back(first + static_cast<int>((2LL * i + 1) * count / (2LL * parts)));
    return rows;
}

void FitLine(const std::vector<int> &rows, const std::vector<double> &centers, double *intercept, double *slope) {
    double n = static_cast<double>(rows.size());
    double mean_row = 0, mean_center = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        mean_row += rows[i];
        mean_center += centers[i];
    }
    mean_row /= n;
    mean_center /= n;
    double sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        sxx += (rows[i] - mean_row) * (rows[i] - mean_row);
        sxy += (rows[i] - mean_row) * (centers[i] - mean_center);
    }
    *slope = sxx > 0 ? sxy / sxx : 0;
    *intercept = mean_center - *slope * mean_row;
}

