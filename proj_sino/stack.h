// A projection stack, or a set of flat or dark images, made of TIFF files:
// each file holds one page or many, and the pages of all files, in the
// order given, are the images (views) of the stack.
#pragma once

#include <string>
#include <vector>

struct TiffStack {
    std::vector<const char *> names;
    std::vector<int> pages;  // per file
    int images;              // pages of all files
    int columns;
    int rows;
};

// Opens every file, walks its pages and checks that each one is an image
// this reader takes, all of one size. Ends the process with "<file>: " and
// "file not found.", "not a tiff file.", "data read error.", "bad number of
// pixels.", "unsupported sample format." or "sizes differ.".
TiffStack OpenTiffStack(const std::vector<const char *> &names);

// Reads rows [first, first + count) of the first `images` images: row j of
// image k goes
// to out + k * image_step + j * row_step. Returns an empty string, or the
// failure line ("<file>: data read error.").
std::string ReadStackRows(const TiffStack &stack, int images, int first, int count, double *out,
                          std::size_t image_step,
                          std::size_t row_step);

// The mean of the images' rows [first, first + count), row j at
// mean + j * columns; `page` holds count * columns samples of scratch.
// Returns an empty string or the failure line, as ReadStackRows.
std::string MeanStackRows(const TiffStack &stack, int first, int count, double *mean, double *page);
