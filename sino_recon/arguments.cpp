#include "arguments.h"

#include <cmath>
#include <cstdint>

#include "args.h"
#include "error.h"

double CentreArgument(const char *text, int detectors) {
    double centre = RealArgument(text);
    // Written so that a NaN fails too.
    if (!(centre > 0 && centre < detectors - 1.0)) Error("bad position of rotation center.");
    return centre;
}

double DetectorIntervalArgument(const char *text) {
    double interval = RealArgument(text);
    if (!(interval > 0) || std::isinf(interval)) Error("bad detector interval.");
    return interval;
}

int ImageSize(int size) {
    if (size <= 0) Error("bad image size.");
    std::size_t side = static_cast<std::size_t>(size);
    if (side > SIZE_MAX / sizeof(double) / side) Error("bad image size.");
    return size;
}

Kernel KernelArgument(const char *text) {
    Kernel kernel;
    if (!KernelByName(text, &kernel)) Error("unknown kernel.");
    return kernel;
}
