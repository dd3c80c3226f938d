#include "arguments.h"

#include <cmath>
#include <cstring>

#include <sys/stat.h>

#include "args.h"

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
    return number;
}

