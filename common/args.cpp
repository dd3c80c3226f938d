#include "args.h"

#include <climits>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

int IntArgument(const char *text) {
    long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

double RealArgument(const char *text) { return std::strtod(text, nullptr); }

Status NotANumber(const char *text, const char *message) {
    std::string line = message;
    if (!line.empty() && line.back() == '.') line.pop_back();
    return Failure(line + ": " + text + ".");
}

Status StrictReal(const char *text, const char *message, double *value) {
    // strtod would also take leading blanks and hexadecimal forms.
    const char *digits = text + (text[0] == '+' || text[0] == '-');
    bool hexadecimal = digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    char *end = nullptr;
    if (text[0] != '\0' && !std::isspace(static_cast<unsigned char>(text[0])) && !hexadecimal) {
        *value = std::strtod(text, &end);
        if (end != text && *end == '\0') return Success();
    }
    return NotANumber(text, message);
}

Status CommaReals(const char *text, int count, const char *const *bad, const char *shape, double *values) {
    const char *field = text;
    for (int i = 0; i < count; ++i) {
        const char *comma = std::strchr(field, ',');
        if ((i < count - 1) != (comma != nullptr)) return Failure(shape);
        std::string word = comma != nullptr ? std::string(field, comma) : std::string(field);
        Status read = StrictReal(word.c_str(), bad[i], &values[i]);
        if (!read.ok()) return read;
        if (comma != nullptr) field = comma + 1;
    }
    return Success();
}

Status StrictInt(const char *text, const char *message, int *value) {
    const char *digits = text + (text[0] == '+' || text[0] == '-');
    if (digits[0] == '\0' || std::strspn(digits, "0123456789") != std::strlen(digits)) return NotANumber(text, message);
    // A whole number beyond the 32-bit range is clamped to it, so that the
    // caller's range check words the failure as for any number out of range.
    *value = IntArgument(text);
    return Success();
}
