// A set of images of one size, from TIFF files or from an HDF5 dataset:
// the stack, its flats or its darks, read by rows whatever the format.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "hdf5_stack.h"
#include "stack.h"

struct Images {
    bool hdf5;
    TiffStack tiff;
    H5Images h5;
    int images, rows, columns;
};

// TIFF files, their pages in order (the failures of OpenTiffStack).
Images TiffImages(const std::vector<const char *> &names);

// A dataset of an HDF5 file; false when the file has no such dataset (the
// other failures of OpenH5Images).
bool Hdf5Images(const char *file, const char *dataset, Images *images);

// Whether the named file starts as an HDF5 file does (false when it cannot
// be read: the TIFF reader then says why).
bool IsHdf5File(const char *name);

// Rows [first, first + count) of the first `count_images` images, row j of
// image k at out + k * image_step + j * row_step; and the mean of all
// images' rows, row j at mean + j * columns, with count * columns samples
// of scratch in `page`. Both return the empty string or the failure line.
std::string ReadRows(const Images &images, int count_images, int first, int count, double *out,
                     std::size_t image_step, std::size_t row_step);
std::string MeanRows(const Images &images, int first, int count, double *mean, double *page);
