#include "pattern.h"

#include <cctype>
#include <vector>

bool ParsePattern(const char *text, NamePattern *pattern) {
    *pattern = NamePattern{"", "", 0, false};
    bool seen = false;
    for (const char *at = text; *at != '\0'; ++at) {
        std::string &part = seen ? pattern->after : pattern->before;
        if (*at != '%') {
            part += *at;
            continue;
        }
        ++at;
        if (*at == '%') {
            part += '%';
            continue;
        }
        if (seen) return false;
        if (*at == '0') {
            pattern->zeros = true;
            ++at;
        }
        // Widths stay small: a name is no longer than a file system allows.
        while (std::isdigit(static_cast<unsigned char>(*at)) && pattern->width < 100)
            pattern->width = pattern->width * 10 + (*at++ - '0');
        if (*at != 'd') return false;
        seen = true;
    }
    return seen;
}

std::string PatternName(const NamePattern &pattern, int row) {
    std::string digits = std::to_string(row);
    if (digits.size() < static_cast<std::size_t>(pattern.width))
        digits.insert(0, static_cast<std::size_t>(pattern.width) - digits.size(), pattern.zeros ? '0' : ' ');
    return pattern.before + digits + pattern.after;
}

std::string SeriesSkeleton(const char *name) {
    std::string out;
    for (const char *c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') out += *c;
        else if (out.empty() || out.back() != '#') out += '#';
    }
    return out;
}

std::string SeriesPattern(const char *name) {
    std::string out = name;
    std::size_t end = out.find_last_of("0123456789");
    if (end == std::string::npos) return out;
    std::size_t start = end;
    while (start > 0 && out[start - 1] >= '0' && out[start - 1] <= '9') --start;
    return out.substr(0, start) + "*" + out.substr(end + 1);
}

namespace {

// The values of a name's runs of digits, in order; false when one has more
// than 18 digits.
bool Numbers(const char *name, std::vector<unsigned long long> *values) {
    values->clear();
    for (const char *c = name; *c != '\0';) {
        if (*c < '0' || *c > '9') {
            ++c;
            continue;
        }
        unsigned long long value = 0;
        int digits = 0;
        for (; *c >= '0' && *c <= '9'; ++c, ++digits) value = value * 10 + static_cast<unsigned long long>(*c - '0');
        if (digits > 18) return false;
        values->push_back(value);
    }
    return true;
}

}  // namespace

bool NumberedOutOfOrder(const char *const *names, int count, const char **earlier, const char **later) {
    std::vector<unsigned long long> before, after;
    for (int i = 1; i < count; ++i) {
        if (SeriesSkeleton(names[i - 1]) != SeriesSkeleton(names[i])) continue;
        if (!Numbers(names[i - 1], &before) || !Numbers(names[i], &after)) continue;
        if (after < before) {
            *earlier = names[i - 1];
            *later = names[i];
            return true;
        }
    }
    return false;
}
