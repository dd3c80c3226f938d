// Images in an HDF5 file of the Data Exchange layout: /exchange/data holds
// the projections as views x rows x columns, /exchange/data_white the flat
// images and /exchange/data_dark the dark ones, each of any number of
// images of the same rows and columns. Samples are unsigned integers of
// 8, 16 or 32 bits or floats of 32 or 64 bits; the HDF5 library converts
// them to doubles exactly.
#pragma once

#include <cstddef>
#include <string>

#include "status.h"

struct H5Images {
    const char *file;
    const char *dataset;
    int images, rows, columns;
};

inline constexpr const char *kH5Data = "/exchange/data";
inline constexpr const char *kH5White = "/exchange/data_white";
inline constexpr const char *kH5Dark = "/exchange/data_dark";

// Looks the dataset up and checks it. *present is false when the file has
// no such dataset; fails with "<file>: " and "data read error." (the file
// cannot be opened or read, or the dataset was never written), "bad number
// of pixels." (not three dimensions, or one empty or beyond 2147483647) or
// "unsupported sample format.".
Status OpenH5Images(const char *file, const char *dataset, H5Images *images, bool *present);

// As ReadStackRows and MeanStackRows (stack.h), for a dataset: fails with
// "<file>: data read error.".
Status ReadH5Rows(const H5Images &images, int count_images, int first, int count, double *out,
                  std::size_t image_step, std::size_t row_step);
Status MeanH5Rows(const H5Images &images, int first, int count, double *mean, double *page);
