// A volume as one multi-page TIFF of 32-bit floats (or unsigned 8 or 16-bit
// integers, volume_samples.h): one page per slice, in order, every page of
// the same size, one sample per pixel, IEEE floats (SampleFormat 3) or
// unsigned integers (SampleFormat 1), uncompressed, each page one strip. The header and all
// the pages' directories come first and the samples follow in one
// contiguous block, slice after slice, so the file is written front to
// back and a reader can take the samples as one 3-D array (ImageJ reads
// them so when the first page's description says "images=N"; tifffile
// does when the pages are uniform and contiguous).
//
// A volume whose bytes fit 32-bit offsets is a classic TIFF, a larger one
// a BigTIFF. A volume that records its run (volume_record.h) carries the
// record as the first page's description: one JSON object, placed after
// the samples and written last (its room reserved at the start, padded
// with spaces), so that values known only at the end are in it. Other
// pages may carry a text of their own, placed after it. A volume without
// a record (the Python module's) has the ImageJ description instead, in a
// classic TIFF, as volumes had before they recorded their runs. With a pixel size the
// pages carry it as XResolution and YResolution (pixels per micron,
// ResolutionUnit none) and the description as "unit=micron" and
// "spacing".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "output.h"
#include "status.h"
#include "volume_samples.h"

// The shape of a volume's file.
struct VolumeTiffLayout {
    int pages = 0, size = 0;
    double pixel = 0;  // micrometres, 0 for none
    SampleType type = SampleType::kFloat32;
    std::size_t record_room = 0;  // the record's reserved length; 0: no record
    // Page k's own description (empty: none). Page 0's follows the ImageJ
    // description of a volume without a record; a record holds it itself
    // (volume.h), so that it is left out here.
    std::vector<std::string> page_texts;
};

// Whether a volume of `pages` slices of size x size floats fits a classic
// TIFF with its directories.
bool VolumeFitsClassicTiff(int pages, int size);

// The bytes before the samples: header and directories, padded to a
// multiple of 16. Page k's samples follow at head.size() + k * size * size
// * SampleBytes(type); the record and the pages' texts after the last.
std::vector<unsigned char> VolumeTiffHead(const VolumeTiffLayout &layout);
std::vector<unsigned char> VolumeTiffHead(int pages, int size, double pixel);

// Whether the file is a volume this toolkit wrote: a TIFF whose first
// page's description is a record (starts with kRecordStart), or one
// written before volumes recorded their runs: a classic TIFF whose first
// page's description is the ImageJ one written here ("ImageJ=1.11a" then
// "images=N"), or a BigTIFF of square pages of 32-bit floats without a
// description. A file that cannot be read as a TIFF is not.
bool IsVolumeTiff(const char *file);

// A volume being written.
struct VolumeTiff {
    Output out;
    int pages, size, written;
    std::string failure;       // "<name>: data write error."
    std::vector<float> slice;  // one slice as floats
    VolumeTiffLayout layout;
    // Set before BeginVolumeTiff: each page's own text (the layout's
    // page_texts; page 0's follows the ImageJ description).
    std::vector<std::string> page_texts;
    bool tail_written = false;
};

// Opens the output and writes the header and directories for this layout.
// Fails as BeginVolumeTiff.
Status BeginVolumeTiffLayout(const char *name, const VolumeTiffLayout &layout, VolumeTiff *tiff);

// Appends the next slice's samples as they are stored (size * size *
// SampleBytes bytes). Fails with "<name>: data write error.".
Status WriteVolumeTiffSamples(VolumeTiff *tiff, const unsigned char *samples);

// Writes what follows the samples: the record (JSON text no longer than
// the room reserved, padded with spaces) and the pages' texts. After the
// last slice, before FinishVolumeTiff (which writes the pages' texts itself
// for a volume without a record).
Status WriteVolumeTiffTail(VolumeTiff *tiff, const std::string &record);

// The same bytes, for a file written and closed before its record was
// known (a pattern's image): appended to the file at `path`.
Status AppendVolumeTiffTail(const VolumeTiffLayout &layout, const std::string &record, const std::string &path,
                            const char *failure);

// Opens the output (atomically, see output.h) and writes the header and
// directories. Fails with "<name>: file not open.", "<name>: data write
// error." or "memory allocation error.".
Status BeginVolumeTiff(const char *name, int pages, int size, double pixel, VolumeTiff *tiff);

// Appends the next slice (size x size doubles, row 0 first), each sample
// rounded to the nearest float. Fails with "<name>: data write error.".
Status WriteVolumeTiffSlice(VolumeTiff *tiff, const double *image);

// Closes the file and renames it into place once every page was written.
Status FinishVolumeTiff(VolumeTiff *tiff);
