// The flat and dark levels a band is normalised against, cleaned of
// zingers: a zinger in a flat would otherwise divide its column in every
// view and leave a ring in the slice.
#pragma once

#include <cstddef>

#include "images.h"
#include "status.h"
#include "zingers.h"

// The level of rows [first, first + count) of a set of flat or dark
// images, row j at level + j * columns, with count * columns samples of
// scratch in `page`. With a threshold of 0, the mean of every image
// (MeanRows). Otherwise, taking the images as counts (ZingerNoise):
//  - of several images, per pixel, the mean of those not lying more than
//    T noises above the median of the pixel's values, the noise being the
//    larger of sqrt(median) and kSpreadShare times their robust spread
//    (three images or more; sqrt(median) alone for two);
//  - of one image, each pixel that is a zinger among its eight neighbours
//    in the image (IsZinger) replaced by their median.
// The images' values left out or replaced are counted in *removed.
// `scratch` (`scratch_samples` doubles, the band before it is read) holds
// the rows of every image at once, a few rows at a time, or the rows above
// and below the band for a single image (left out when it holds too few:
// never for a band of two views or more). When it cannot hold one row of
// every image, the mean is taken as it is. Fails with the line about the
// file.
Status FlatLevel(const Images &images, int first, int count, ZingerNoise noise, double *level, double *page,
                 double *scratch, std::size_t scratch_samples, long long *removed);
