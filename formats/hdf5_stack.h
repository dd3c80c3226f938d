// Images in an HDF5 file of the Data Exchange layout: /exchange/data holds
// the projections as views x rows x columns, /exchange/data_white the flat
// images and /exchange/data_dark the dark ones, each of any number of
// images of the same rows and columns. Samples are unsigned integers of
// 8, 16 or 32 bits or floats of 32 or 64 bits; the HDF5 library converts
// them to doubles exactly.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include <hdf5.h>

#include "status.h"

struct H5Images {
    const char *file;
    const char *dataset;
    int images, rows, columns;
    // The chunks' extent in images, rows and columns (all 0 for a dataset
    // stored in one piece) and the bytes of one stored sample: what the
    // chunk cache of a read must hold.
    long long chunk_images = 0, chunk_rows = 0, chunk_columns = 0;
    int sample_bytes = 0;
};

inline constexpr const char *kH5Data = "/exchange/data";
inline constexpr const char *kH5White = "/exchange/data_white";
inline constexpr const char *kH5Dark = "/exchange/data_dark";
inline constexpr const char *kH5Theta = "/exchange/theta";

// Looks the dataset up and checks it. *present is false when the file has
// no such dataset; fails with "<file>: " and "data read error." (the file
// cannot be opened or read, or the dataset is not wholly stored in it: never
// written, chunks missing, or its storage past the end of the file),
// "unsupported dataset layout." (a virtual dataset, or one whose samples
// are in external files), "bad number of pixels." (not three dimensions,
// or one empty or beyond 2147483647) or "unsupported sample format.".
// Everything is checked before a sample is read, so that a file whose
// datasets HDF5 would fill with their fill value is refused up front.
Status OpenH5Images(const char *file, const char *dataset, H5Images *images, bool *present);

// The check OpenH5Images makes of a dataset's storage, for any dataset of
// an open file: fails with "<name>: data read error." or "<name>:
// unsupported dataset layout." as there.
Status CheckH5Storage(hid_t file, hid_t data, const char *name);

// The bytes of the chunks that rows [first, first + count) of one image
// touch, over all the images those chunks hold: what a read keeps in its
// chunk cache so that each chunk is decoded once, whatever its shape. 0
// for a dataset not in chunks.
double H5ChunkBytes(const H5Images &images, int first, int count);

// The most H5ChunkBytes gives for `count` rows, wherever they start.
double H5ChunkBytesAnyRows(const H5Images &images, int count);

// As ReadStackRows and MeanStackRows (stack.h), for a dataset: fails with
// "<file>: data read error.". Each chunk is decoded once per call.
Status ReadH5Rows(const H5Images &images, int count_images, int first, int count, double *out,
                  std::size_t image_step, std::size_t row_step);
Status MeanH5Rows(const H5Images &images, int first, int count, double *mean, double *page);

// Image k alone, rows x columns samples into `out`; the same failures.
Status ReadH5Image(const H5Images &images, int k, double *out);

// The views' angles of /exchange/theta, in degrees as the layout stores
// them. *present is false when the file has none; fails with "<file>: bad
// /exchange/theta." when it holds other than `views` finite numbers in a
// list (or a column or row of one); a list of another length is "<file>:
// <n> angles in /exchange/theta for <views> views.".
Status ReadH5Angles(const char *file, int views, std::vector<double> *degrees, bool *present);

// The unit of /exchange/theta. The layout says degrees, but many files
// hold radians: unless told (-u), values of the shape RadiansSpan
// (angles_file.h) tells -- a half or whole turn, or a limited range packed
// too close for degrees -- are taken as radians, since a scan over a few
// degrees is no tomography.
enum class ThetaUnit { kTold, kDegrees, kRadians };

// "degrees" or "radians", else "bad angle unit (degrees or radians).".
Status ThetaUnitArgument(const char *text, ThetaUnit *unit);

// Whether the file's theta values are radians: as `unit` says, or told
// from the values as above. Radians told from the values are said on
// `warn`: "warning: <file>: /exchange/theta read as radians (its values
// span about pi); -u degrees reads them as degrees." (or as RadiansSpan
// says); for an
// angle list (`list`), "warning: <file>: the angles read as radians
// (their values span about pi); -u degrees reads them as degrees.".
bool ThetaInRadians(const char *file, const std::vector<double> &theta, ThetaUnit unit, FILE *warn,
                    bool list = false);
