#include "arguments.h"

#include <cmath>

#include "args.h"
#include "checks.h"
#include "options.h"

Status ImageSizeArgument(int size, int *checked) {
    if (!ImageSizeFits(size)) return Failure("bad image size.");
    *checked = size;
    return Success();
}

Status ImageCenterArgument(const char *text, double *x, double *y) {
    if (!ReadPair(text, x, y)) return NotANumber(text, "bad image center.");
    if (!std::isfinite(*x) || !std::isfinite(*y)) return Failure("bad image center.");
    return Success();
}
