#include "text_words.h"

#include <cctype>

int SkipToWord(FILE *in, int c, bool lines) {
    while (c != EOF) {
        if (c == '#') {
            while (c != EOF && c != '\n') c = std::getc(in);
        } else if (c == '\n' && lines) {
            return c;
        } else if (std::isspace(c)) {
            c = std::getc(in);
        } else {
            return c;
        }
    }
    return c;
}

int ReadWord(FILE *in, int c, std::size_t longest, std::string *word) {
    word->clear();
    while (c != EOF && !std::isspace(c) && c != '#' && word->size() <= longest) {
        *word += static_cast<char>(c);
        c = std::getc(in);
    }
    return c;
}
