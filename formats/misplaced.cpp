#include "misplaced.h"

#include <cmath>
#include <vector>

#include "median.h"

void TallySigns(const double *integrals, std::size_t count, double *negative, double *positive) {
    for (std::size_t i = 0; i < count; ++i) {
        if (integrals[i] < 0) *negative -= integrals[i];
        if (integrals[i] > 0) *positive += integrals[i];
    }
}

bool MostlyNegative(double negative, double positive) { return negative > 3 * positive && std::isfinite(negative); }

void AddViewSums(const double *sinogram, int views, int columns, double *sums) {
    for (int k = 0; k < views; ++k) {
        const double *view = sinogram + static_cast<std::size_t>(k) * static_cast<std::size_t>(columns);
        for (int j = 0; j < columns; ++j) sums[k] += view[j];
    }
}

int DarkViews(const double *sums, int views, int *first) {
    *first = -1;
    std::vector<double> sorted(sums, sums + views);
    double median = MedianOf(sorted.data(), sorted.size());
    if (!(median > 0)) return 0;
    int count = 0;
    for (int k = 0; k < views; ++k) {
        if (sums[k] < median / 10) {
            if (count++ == 0) *first = k;
        }
    }
    return count;
}

std::string DarkViewsWarning(int count, int first, const char *file) {
    std::string image = "image " + std::to_string(first) + " (" + file + ")";
    if (count == 1)
        return "warning: " + image +
               " is far darker than the others (under a tenth of the median image): a dark among the projections? "
               "give the darks with -d.";
    return "warning: " + std::to_string(count) + " images, the first " + image +
           ", are far darker than the others (under a tenth of the median image): darks among the projections? "
           "give the darks with -d.";
}
