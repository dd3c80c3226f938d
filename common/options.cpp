#include "options.h"

#include <cstring>
#include <string>

#include "args.h"

Status RowRangeArgument(const char *text, int *first, int *count) {
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr) return Failure("bad row range.");
    *first = IntArgument(text);
    *count = IntArgument(comma + 1);
    if (*first < 0 || *count <= 0) return Failure("bad row range.");
    return Success();
}

bool ReadPair(const char *text, double *x, double *y) {
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr) return false;
    std::string first(text, comma);
    return StrictReal(first.c_str(), "", x).ok() && StrictReal(comma + 1, "", y).ok();
}
