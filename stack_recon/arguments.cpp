#include "arguments.h"

#include <cmath>
#include <cstring>

#include "args.h"

Status CenterOption(const char *text, CenterChoice *choice) {
    *choice = CenterChoice{text != nullptr, text != nullptr && std::strcmp(text, "fit") == 0, 0};
    if (!choice->given || choice->fit) return Success();
    return StrictReal(text, "bad position of rotation center.", &choice->value);
}

