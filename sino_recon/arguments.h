// sino_recon's command-line numbers, each checked as it is read.
#pragma once

#include "status.h"

// The column of the rotation axis: finite and strictly between 0 and
// detectors - 1, else "bad position of rotation center.".
Status CenterArgument(const char *text, int detectors, double *center);

// The image side K (the argument as atoi reads it, or the default N):
// above zero, with K * K doubles addressable, else "bad image size.".
Status ImageSizeArgument(int size, int *checked);

// -p PIXEL: the pixel side in detector intervals, finite and above zero,
// else "bad pixel size.".
Status PixelArgument(const char *text, double *pixel);

// -o X,Y: the image's center in detector intervals from the axis, both
// finite, else "bad image center.".
Status ImageCenterArgument(const char *text, double *x, double *y);
