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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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

int EvenHalfTurnViews(const double *angles, int count) {
    if (count < 2) return 0;
    double step = angles[1] - angles[0];
    if (!(std::fabs(step) > 0)) return 0;
    double views = kPi / std::fabs(step);
    long long half = std::llround(views);
    if (half < 2 || half > count || std::fabs(views - static_cast<double>(half)) > 1e-6 * views) return 0;
    for (long long k = 0; k < half; ++k)
        if (std::fabs(angles[k] - (angles[0] + static_cast<double>(k) * step)) > 1e-6 * std::fabs(step)) return 0;
    return static_cast<int>(half);
}
