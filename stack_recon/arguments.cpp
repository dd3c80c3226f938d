#include "arguments.h"

#include <cmath>
#include <cstring>

#include "args.h"

Status RangeArgument(const char *text, int *first, int *count) {
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr) return Failure("bad row range.");
    *first = IntArgument(text);
    *count = IntArgument(comma + 1);
    if (*first < 0 || *count <= 0) return Failure("bad row range.");
    return Success();
}

CenterChoice CenterOption(const char *text) {
    if (text == nullptr) return CenterChoice{false, false, 0};
    if (std::strcmp(text, "fit") == 0) return CenterChoice{true, true, 0};
    return CenterChoice{true, false, RealArgument(text)};
}

