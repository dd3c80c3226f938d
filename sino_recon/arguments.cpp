#include "arguments.h"

#include "checks.h"

Status ImageSizeArgument(int size, int *checked) {
    if (!ImageSizeFits(size)) return Failure("bad image size.");
    *checked = size;
    return Success();
}
