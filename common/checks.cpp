#include "checks.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "args.h"

bool CenterInside(double center, int detectors) { return center > 0 && center < detectors - 1.0; }

bool IntervalValid(double interval) { return interval > 0 && !std::isinf(interval); }

Status IntervalArgument(const char *text, double *interval) {
    *interval = RealArgument(text);
    if (!IntervalValid(*interval)) return Failure("bad detector interval.");
    return Success();
}

Status StrictIntervalArgument(const char *text, double *interval) {
    Status read = StrictReal(text, "bad detector interval.", interval);
    if (!read.ok()) return read;
    if (!IntervalValid(*interval)) return Failure("bad detector interval.");
    return Success();
}

Status CenterArgument(const char *text, int detectors, double *center) {
    constexpr const char *kBad = "bad position of rotation center.";
    Status read = StrictReal(text, kBad, center);
    if (!read.ok()) return read;
    if (!CenterInside(*center, detectors)) return Failure(kBad);
    return Success();
}

Status PixelArgument(const char *text, double *pixel) {
    Status read = StrictReal(text, "bad pixel size.", pixel);
    if (!read.ok()) return read;
    if (!(*pixel > 0) || std::isinf(*pixel)) return Failure("bad pixel size.");
    return Success();
}

bool AllFinite(const double *samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(samples[i])) return false;
    return true;
}

std::size_t FirstNotFinite(const double *samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(samples[i])) return i;
    return count;
}

bool AxisAndIntervalSwapped(int detectors, double center, double interval) {
    const double margin = detectors / 8.0, last = detectors - 1.0;
    bool axis_at_end = center < margin || center > last - margin;
    bool interval_inside = interval >= margin && interval <= last - margin;
    return axis_at_end && interval_inside;
}

std::string SwappedAxisWarning(double center, double interval) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "warning: the axis (%.9g) lies near an end of the detector and the interval (%.9g) where an axis "
                  "would: were they swapped? c comes before interval.",
                  center, interval);
    return line;
}

std::string OneViewWarning(int views) {
    if (views != 1) return "";
    return "warning: one view: the image is that projection smeared across it (a slice needs views over a half "
           "turn).";
}

bool ImageSizeFits(int size) {
    if (size <= 0) return false;
    std::size_t side = static_cast<std::size_t>(size);
    return side <= SIZE_MAX / sizeof(double) / side;
}

namespace {

bool Smooth(long long n, int largest_prime) {
    for (int p : {2, 3, 5, 7}) {
        if (p > largest_prime) break;
        while (n % p == 0) n /= p;
    }
    return n == 1;
}

}  // namespace

int SmoothLength(long long minimum, int largest_prime) {
    long long n = minimum < 1 ? 1 : minimum;
    while (n <= INT_MAX && !Smooth(n, largest_prime)) ++n;
    return n > INT_MAX ? 0 : static_cast<int>(n);
}
