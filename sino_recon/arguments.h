// sino_recon's command-line numbers, each checked as it is read.
#pragma once

#include "status.h"

// The image side K (the argument read by StrictInt, or the default N):
// above zero, with K * K doubles addressable, else "bad image size.".
Status ImageSizeArgument(int size, int *checked);

// -o X,Y, the image's center, is read by ImageCenterArgument (options.h).
