#include "options.h"

#include <cmath>
#include <cstring>
#include <string>

#include "args.h"

Status RowRangeArgument(const char *text, int *first, int *count) {
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr) return Failure(std::string("bad row range: ") + text + " (FIRST,COUNT).");
    // Each half a whole number: "1.5,2" or "0x1,2" is not a range.
    std::string first_word(text, comma);
    if (!StrictInt(first_word.c_str(), "", first).ok() || !StrictInt(comma + 1, "", count).ok())
        return NotANumber(text, "bad row range.");
    if (*first < 0 || *count <= 0)
        return Failure(std::string("bad row range ") + text + ": the first row is 0 or more, the count 1 or more.");
    return Success();
}

Status RowRangeOutside(int first, int count, int rows) {
    return Failure("bad row range " + std::to_string(first) + "," + std::to_string(count) + ": the stack has rows 0 to " +
                   std::to_string(rows - 1) + ".");
}

bool ReadPair(const char *text, double *x, double *y) {
    const char *comma = std::strchr(text, ',');
    if (comma == nullptr) return false;
    std::string first(text, comma);
    return StrictReal(first.c_str(), "", x).ok() && StrictReal(comma + 1, "", y).ok();
}

Status ImageCenterArgument(const char *text, double *x, double *y) {
    if (!ReadPair(text, x, y)) return NotANumber(text, "bad image center.");
    if (!std::isfinite(*x) || !std::isfinite(*y)) return Failure("bad image center.");
    return Success();
}
