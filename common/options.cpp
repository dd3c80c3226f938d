#include "options.h"

#include <cctype>
#include <cstring>

#include "args.h"

Status ReadOptions(int argc, char **argv, const char *letters, const char *usage, std::vector<OptionWord> *options,
                   int *operands) {
    options->clear();
    int i = 1;
    while (i < argc) {
        const char *word = argv[i];
        if (std::strcmp(word, "--") == 0) {
            ++i;
            break;
        }
        if (word[0] != '-' || word[1] == '\0' || word[2] != '\0') break;
        const char *at = std::strchr(letters, word[1]);
        // A dash and a letter the program does not know is a mistyped
        // option, not standard input: waiting on a terminal would hide it.
        if (std::isalpha(static_cast<unsigned char>(word[1])) && at == nullptr) return Failure(usage);
        if (word[1] == ':' || at == nullptr) break;
        bool takes_value = at[1] == ':';
        if (takes_value && i + 1 >= argc) return Failure(usage);
        options->push_back(OptionWord{word[1], takes_value ? argv[i + 1] : nullptr});
        i += takes_value ? 2 : 1;
    }
    *operands = i;
    return Success();
}

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
    *x = RealArgument(text);
    *y = RealArgument(comma + 1);
    return true;
}
