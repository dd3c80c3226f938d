// sino_recon's command-line numbers and names, each checked as it is read;
// a value out of range ends the process with its message.
#pragma once

#include "filter.h"

// The column of the rotation axis: finite and strictly between 0 and
// detectors - 1, else "bad position of rotation center.".
double CentreArgument(const char *text, int detectors);

// The detector interval: finite and above zero, else "bad detector interval.".
double DetectorIntervalArgument(const char *text);

// The image side K (the argument as atoi reads it, or the default N):
// above zero, with K * K doubles addressable, else "bad image size.".
int ImageSize(int size);

// "chesler", "shepp" or "ramachandran", else "unknown kernel.".
Kernel KernelArgument(const char *text);
