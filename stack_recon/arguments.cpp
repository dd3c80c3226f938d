#include "arguments.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "args.h"

namespace {

bool LooksLikeFileName(const char *text) {
    if (std::strchr(text, '/') != nullptr) return true;
    const char *dot = std::strrchr(text, '.');
    if (dot == nullptr || !std::isalpha(static_cast<unsigned char>(dot[1]))) return false;
    for (const char *c = dot + 1; *c != '\0'; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c))) return false;
    return true;
}

}  // namespace

Status CenterOption(const char *text, CenterChoice *choice) {
    *choice = CenterChoice{text != nullptr, text != nullptr && std::strcmp(text, "fit") == 0, 0};
    if (!choice->given || choice->fit) return Success();
    Status number = StrictReal(text, "bad position of rotation center.", &choice->value);
    // A word that is not a number names a table when such a file exists.
    struct stat file;
    if (!number.ok() && stat(text, &file) == 0) {
        choice->table = true;
        return Success();
    }
    // A word that reads as a file's name (a folder in it, or a suffix of
    // letters: "axes.txt", not "163.7px") names a file that is not there.
    if (!number.ok() && LooksLikeFileName(text)) return Failure(std::string(text) + ": file not found.");
    return number;
}

