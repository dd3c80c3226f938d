// A volume as one multi-page TIFF of 32-bit floats: one page per slice, in
// order, every page of the same size, one sample per pixel, IEEE floats
// (SampleFormat 3), uncompressed, each page one strip. The header and all
// the pages' directories come first and the samples follow in one
// contiguous block, slice after slice, so the file is written front to
// back and a reader can take the samples as one 3-D array (ImageJ reads
// them so when the first page's description says "images=N"; tifffile
// does when the pages are uniform and contiguous).
//
// A volume whose bytes fit 32-bit offsets is a classic TIFF, with an
// ImageJ description; a larger one is a BigTIFF. With a pixel size the
// pages carry it as XResolution and YResolution (pixels per micron,
// ResolutionUnit none) and the description as "unit=micron" and
// "spacing".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "output.h"
#include "status.h"

// Whether a volume of `pages` slices of size x size floats fits a classic
// TIFF with its directories.
bool VolumeFitsClassicTiff(int pages, int size);

// The bytes before the samples: header and directories, padded to a
// multiple of 16. Page k's samples follow at head.size() + k * size * size
// * 4. `pixel` is the pixel side in micrometres, 0 for none. `texts`,
// empty or one a page, are lines of each page's own description: page 0's
// follows the volume's description, the others' stand alone.
std::vector<unsigned char> VolumeTiffHead(int pages, int size, double pixel,
                                          const std::vector<std::string> &texts = {});

// Whether the file is a volume this toolkit wrote: a classic TIFF whose
// first page's description is the one written here ("ImageJ=1.11a" then
// "images=N"), or a BigTIFF of square pages of 32-bit floats (a volume too
// large for the description). A file that cannot be read as a TIFF is not.
bool IsVolumeTiff(const char *file);

// A volume being written.
struct VolumeTiff {
    Output out;
    int pages, size, written;
    std::string failure;       // "<name>: data write error."
    std::vector<float> slice;  // one slice as floats
    std::vector<std::string> page_texts;  // set before BeginVolumeTiff: VolumeTiffHead's texts
};

// Opens the output (atomically, see output.h) and writes the header and
// directories. Fails with "<name>: file not open.", "<name>: data write
// error." or "memory allocation error.".
Status BeginVolumeTiff(const char *name, int pages, int size, double pixel, VolumeTiff *tiff);

// Appends the next slice (size x size doubles, row 0 first), each sample
// rounded to the nearest float. Fails with "<name>: data write error.".
Status WriteVolumeTiffSlice(VolumeTiff *tiff, const double *image);

// Closes the file and renames it into place once every page was written.
Status FinishVolumeTiff(VolumeTiff *tiff);
