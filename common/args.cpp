#include "args.h"

#include <climits>
#include <cstdlib>

int IntArgument(const char *text) {
    long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

double RealArgument(const char *text) { return std::strtod(text, nullptr); }
