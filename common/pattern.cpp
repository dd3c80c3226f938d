#include "pattern.h"

#include <cctype>

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
