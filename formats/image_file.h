// One image named on the command line, wherever it is kept: a sinogram
// file of the toolkit (or standard input), a TIFF page, or a slice of an
// HDF5 file's /exchange/data, such as the volumes stack_recon writes.
// "NAME:K" names page (slice) K of a TIFF (HDF5) file, counted from 0; a
// TIFF or HDF5 file named alone must hold one image. A file whose whole
// name is the argument, colon and all, is read as it is.
#pragma once

#include <string>

#include "sinogram.h"
#include "status.h"

// Reads the image into `image` (columns x rows samples, as ReadSinogram
// gives them). Fails as ReadSinogram does for a sinogram, with the TIFF and
// HDF5 readers' messages about the file, with "<name>: K images: name one
// as <name>:K (0 to K - 1)." for a volume named alone, or "<name>: no image
// K (0 to K - 1)." for a page that is not there.
Status ReadImageFile(const char *argument, const std::string &prefix, Sinogram *image);

// Whether the argument names a TIFF or HDF5 file, or an image in one.
bool IsImageFile(const char *argument);

// A sinogram where a program reads one: the toolkit's sinogram file (or
// standard input), or the one image of a whole TIFF or HDF5 file read as
// ReadImageFile reads it (sino_tiff's TIFF of floats, for one). Only a
// regular file's first bytes are looked at, so that a pipe's are left to
// the sinogram reader. The failures of ReadSinogram and ReadImageFile.
Status ReadSinogramFile(const char *name, const std::string &prefix, Sinogram *sinogram);
