#include "band.h"

#include <cmath>

double BandRowBytes(int views, int columns) {
    // Counted in floating point, so that no product of counts can wrap.
    return (static_cast<double>(views) + 3.0) * static_cast<double>(columns) * sizeof(double);
}

int BandRows(double budget, int views, int columns, int rows) {
    double fit = std::floor(budget / BandRowBytes(views, columns));
    return fit >= rows ? rows : static_cast<int>(fit);
}
