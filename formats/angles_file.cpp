#include "angles_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "args.h"
#include "owned.h"
#include "streams.h"
#include "text_words.h"

namespace {

// Reads the words of the stream as angles in degrees, keeping the first
// `count` in `degrees` and counting all of them in `found`.
Status ReadDegrees(FILE *in, const std::string &prefix, int count, double *degrees, long long *found) {
    std::string word;
    for (int c = SkipToWord(in, std::getc(in), false); c != EOF; c = SkipToWord(in, c, false)) {
        c = ReadWord(in, c, kLongestNumber, &word);
        // The whole word is the number: a NUL byte ends strtod's reading
        // inside it ("0\0junk" is not 0).
        char *end = nullptr;
        double value = std::strtod(word.c_str(), &end);
        if (end == word.c_str() || end != word.c_str() + word.size() || word.size() > kLongestNumber) {
            // A number with a decimal comma (a spreadsheet's export) is
            // named as such.
            std::string pointed = word;
            std::size_t comma = pointed.find(',');
            if (comma != std::string::npos && word.size() <= kLongestNumber) {
                pointed[comma] = '.';
                char *after = nullptr;
                std::strtod(pointed.c_str(), &after);
                if (after != pointed.c_str() && after == pointed.c_str() + pointed.size())
                    return FailureAbout(prefix, ("decimal comma in " + word + ": angles take a point.").c_str());
            }
            return FailureAbout(prefix, "data read error.");
        }
        if (!std::isfinite(value)) return FailureAbout(prefix, "bad angle.");
        if (*found < count) degrees[*found] = value;
        ++*found;
    }
    if (std::ferror(in)) return FailureAbout(prefix, "data read error.");
    return Success();
}

}  // namespace

namespace {

// The first `count` numbers of the file into `degrees` (count doubles).
Status ReadNumbers(const char *name, int count, double *degrees) {
    std::string prefix = NamePrefix(name, "angles: ");
    FILE *in = nullptr;
    Status status = OpenInput(name, "r", (prefix + "file not found.").c_str(), &in);
    if (!status.ok()) return status;
    long long found = 0;
    status = ReadDegrees(in, prefix, count, degrees, &found);
    CloseInput(in);
    if (!status.ok()) return status;
    if (found != count)
        return Failure(prefix + std::to_string(found) + " angles for " + std::to_string(count) + " views.");
    return Success();
}

}  // namespace

Status ReadAngles(const char *name, int count, ViewSet *views, FILE *warn) {
    *views = ViewSet{};
    Owned<double> degrees;
    if (!degrees.Allocate(static_cast<std::size_t>(count))) return Failure("memory allocation error.");
    Status status = ReadNumbers(name, count, degrees);
    if (!status.ok()) return status;
    std::string span;
    if (warn != nullptr && RadiansSpan(degrees, count, &span)) {
        std::fprintf(warn, "warning: %sthe angles read as radians (their values %s).\n",
                     NamePrefix(name, "angles: ").c_str(), span.c_str());
        return ViewsFromRadians(degrees, count, views);
    }
    return ViewsFromDegrees(degrees, count, views);
}

bool RadiansSpan(const double *values, int count, std::string *span) {
    if (count < 1) return false;
    const double pi = 3.14159265358979323846;
    double low = values[0], high = values[0];
    for (int k = 0; k < count; ++k) {
        if (!(std::fabs(values[k]) <= 2 * pi)) return false;
        low = values[k] < low ? values[k] : low;
        high = values[k] > high ? values[k] : high;
    }
    double range = high - low;
    // A half or whole turn, its last view in or out: n views short of a
    // turn by one step span (n - 1) / n of it, 3/4 for as few as 4.
    if (range >= 0.75 * pi && range <= 1.1 * pi) {
        *span = "span about pi";
        return true;
    }
    if (range >= 1.5 * pi && range <= 2.05 * pi) {
        *span = "span about 2 pi";
        return true;
    }
    // A limited range in radians: read as degrees its views would stand
    // under a quarter degree apart within a few degrees.
    if (count >= 8 && range >= 0.25 && range * 4 < count - 1) {
        char text[96];
        std::snprintf(text, sizeof text, "span only %g, %g degrees as radians", range, range * 180 / pi);
        *span = text;
        return true;
    }
    return false;
}

Status ReadAngleValues(const char *name, int count, std::vector<double> *values) {
    Owned<double> numbers;
    if (!numbers.Allocate(static_cast<std::size_t>(count))) return Failure("memory allocation error.");
    Status status = ReadNumbers(name, count, numbers);
    if (!status.ok()) return status;
    values->assign(numbers.get(), numbers.get() + count);
    return Success();
}
