// Statistics of the finite samples of an image (or sinogram), optionally
// against a second one of the same size and only inside a disk around the
// image center.
#pragma once

#include <cstdio>

struct ImageStats {
    long long count;     // finite samples of A in the region
    double min, max;     // of those samples
    double mean;         // their sum (accumulated extended) over count
    long long compared;  // pixels in the region where A and B are both finite
    double rms;          // sqrt of the mean of (A - B)^2 over those pixels
    double maxabs;       // largest |A - B| over those pixels
    bool overflow;       // some |A - B| of finite samples beyond the double range
};

// Whether pixel (column, row) lies in the region: its center within
// `radius` (inclusive) of the image center ((columns - 1)/2, (rows - 1)/2)
// in pixel units. An infinite radius takes every pixel.
bool InRegion(int column, int row, int columns, int rows, double radius);

// The statistics of `a` (columns x rows, row 0 first), and of a - b when b
// is not null, over the pixels InRegion. Fields over no sample are 0.
ImageStats ComputeStats(const double *a, const double *b, int columns, int rows, double radius);

// The output line: "size CxR count N min X max X mean X", then, when
// `compared`, " compared N rms X maxabs X", and a line feed; numbers with
// "%.9g". Returns what fprintf returned.
int PrintStats(FILE *out, const ImageStats &stats, int columns, int rows, bool compared);
