#include "arguments.h"

#include <cmath>

#include "args.h"
#include "checks.h"
#include "options.h"

Status CenterArgument(const char *text, int detectors, double *center) {
    *center = RealArgument(text);
    if (!CenterInside(*center, detectors)) return Failure("bad position of rotation center.");
    return Success();
}

Status ImageSizeArgument(int size, int *checked) {
    if (!ImageSizeFits(size)) return Failure("bad image size.");
    *checked = size;
    return Success();
}

Status PixelArgument(const char *text, double *pixel) {
    *pixel = RealArgument(text);
    if (!(*pixel > 0) || std::isinf(*pixel)) return Failure("bad pixel size.");
    return Success();
}

Status ImageCenterArgument(const char *text, double *x, double *y) {
    if (!ReadPair(text, x, y) || !std::isfinite(*x) || !std::isfinite(*y)) return Failure("bad image center.");
    return Success();
}
