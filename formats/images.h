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
Status TiffImages(const std::vector<const char *> &names, Images *images);

// A dataset of an HDF5 file; *present is false when the file has no such
// dataset (the other failures of OpenH5Images).
Status Hdf5Images(const char *file, const char *dataset, Images *images, bool *present);

// Rows [first, first + count) of the first `count_images` images, row j of
// image k at out + k * image_step + j * row_step; and the mean of all
// images' rows, row j at mean + j * columns, with count * columns samples
// of scratch in `page`. Both fail with the line about the file.
Status ReadRows(const Images &images, int count_images, int first, int count, double *out,
                std::size_t image_step, std::size_t row_step);
Status MeanRows(const Images &images, int first, int count, double *mean, double *page);

// The file that holds image k: the HDF5 file, or the TIFF file of that
// page.
const char *ImageFile(const Images &images, int k);

// The memory that reading `count` rows (wherever they start) takes besides
// `out`, `mean` and `page`: the chunk cache of an HDF5 dataset whose chunks
// span several images (H5ChunkBytesAnyRows); 0 for TIFF pages, whose
// decoding buffer holds one strip or tile.
double ReadCacheBytes(const Images &images, int count);

// The rows of a band within `budget` bytes, at most `rows`: BandRowBytes
// (band.h) for each row, plus the read caches of every set (ReadCacheBytes
// of the stack, the flats, the darks; nullptr entries are skipped); 0 when
// not even one row fits.
int BandRowsWithCaches(double budget, int views, int columns, int rows, const std::vector<const Images *> &sets);
