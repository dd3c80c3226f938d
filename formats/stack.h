// A projection stack, or a set of flat or dark images, made of TIFF files:
// each file holds one page or many, and the pages of all files, in the
// order given, are the images (views) of the stack.
#pragma once

#include <string>
#include <vector>

#include "status.h"

struct TiffStack {
    std::vector<const char *> names;
    std::vector<int> pages;  // per file
    int images;              // pages of all files
    int columns;
    int rows;
};

// Opens every file, walks its pages and checks that each one is an image
// this reader takes, all of one size. Fails with "<file>: " and "file not
// found.", "not a tiff file.", "data read error.", "bad number of pixels.",
// "unsupported sample format." or "sizes differ.".
Status OpenTiffStack(const std::vector<const char *> &names, TiffStack *stack);

// Reads rows [first, first + count) of the first `images` images: row j of
// image k goes to out + k * image_step + j * row_step. Fails with
// "<file>: data read error." (or the reader's other messages).
Status ReadStackRows(const TiffStack &stack, int images, int first, int count, double *out,
                          std::size_t image_step,
                          std::size_t row_step);

// The mean of the images' rows [first, first + count), row j at
// mean + j * columns; `page` holds count * columns samples of scratch.
// Fails as ReadStackRows.
Status MeanStackRows(const TiffStack &stack, int first, int count, double *mean, double *page);

// Image k alone, rows x columns samples into `out`; the same failures.
Status ReadStackImage(const TiffStack &stack, int k, double *out);
