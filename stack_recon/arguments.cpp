#include "arguments.h"

#include <cmath>
#include <cstring>

#include "args.h"

CenterChoice CenterOption(const char *text) {
    if (text == nullptr) return CenterChoice{false, false, 0};
    if (std::strcmp(text, "fit") == 0) return CenterChoice{true, true, 0};
    return CenterChoice{true, false, RealArgument(text)};
}

