#include "fbp.h"

#include <cmath>
#include <cstring>

void ReconstructImage(const ViewFilter &filter, double *sinogram, const ViewSet &views, const Detector &detector,
                      const Grid &grid, double interval, double *image, bool zeroed) {
    std::size_t pixels = static_cast<std::size_t>(grid.size) * static_cast<std::size_t>(grid.size);
    if (!zeroed) std::memset(image, 0, pixels * sizeof(double));
    FilterViews(filter, sinogram, views.count);
    WeightViews(sinogram, views, detector.count);
    BackProjectViews(sinogram, views, detector, grid, image);
    ScaleImage(image, pixels, BackProjectionScale(views), interval);
}

bool IntervalKeepsImageFinite(const ViewSet &views, double interval) {
    double largest = BackProjectionScale(views);
    if (!views.even)
        for (int k = 0; k < views.count; ++k) largest = std::fmax(largest, views.weights[k]);
    return std::isfinite(largest / interval) && std::isfinite(1 / interval);
}
