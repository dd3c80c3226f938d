#include "phantom_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "args.h"
#include "memory.h"
#include "streams.h"
#include "text_words.h"

namespace {

// Room for one more ellipse: the array doubles when full.
bool Grow(Phantom *phantom, int *capacity) {
    if (phantom->count < *capacity) return true;
    if (*capacity > (1 << 29)) return false;
    int larger = *capacity == 0 ? 16 : 2 * *capacity;
    Ellipse *more = static_cast<Ellipse *>(AllocateArray(static_cast<std::size_t>(larger), sizeof(Ellipse)));
    if (more == nullptr) return false;
    if (phantom->count > 0) std::memcpy(more, phantom->ellipses, sizeof(Ellipse) * phantom->count);
    ReleaseArray(phantom->ellipses);
    phantom->ellipses = more;
    *capacity = larger;
    return true;
}

// A word as a whole number: strtod must take every character.
bool WordNumber(const std::string &word, double *value) {
    char *end = nullptr;
    *value = std::strtod(word.c_str(), &end);
    return end != word.c_str() && end == word.c_str() + word.size();
}

std::string LineFailure(const std::string &prefix, long long line, const char *message) {
    return prefix + "line " + std::to_string(line) + ": " + message;
}

// Reads the ellipses of a text file, line by line.
Status ReadEllipses(FILE *in, const std::string &prefix, Phantom *phantom) {
    int capacity = 0;
    long long line = 1;
    int c = std::getc(in);
    while (c != EOF) {
        // One line: its words up to the line feed, a comment dropped.
        double numbers[6];
        int count = 0;
        bool bad_word = false;
        std::string word;
        for (c = SkipToWord(in, c, true); c != EOF && c != '\n'; c = SkipToWord(in, c, true)) {
            c = ReadWord(in, c, kLongestNumber, &word);
            // A word longer than any number ends the reading at once.
            if (word.size() > kLongestNumber) return Failure(LineFailure(prefix, line, "data read error."));
            double value = 0;
            if (count >= 6 || !WordNumber(word, &value)) {
                bad_word = true;
            } else {
                numbers[count] = value;
            }
            ++count;
        }
        if (std::ferror(in) || bad_word || (count != 0 && count != 6))
            return Failure(LineFailure(prefix, line, "data read error."));
        if (count == 6) {
            Ellipse e{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]};
            if (!EllipseValid(e)) return Failure(LineFailure(prefix, line, "bad ellipse."));
            if (!Grow(phantom, &capacity)) return Failure("memory allocation error.");
            phantom->ellipses[phantom->count++] = e;
        }
        if (c == '\n') {
            ++line;
            c = std::getc(in);
        }
    }
    if (std::ferror(in)) return Failure(LineFailure(prefix, line, "data read error."));
    if (phantom->count == 0) return FailureAbout(prefix, "no ellipses.");
    return Success();
}

}  // namespace

Status ReadPhantom(const char *name, Phantom *phantom) {
    *phantom = Phantom{0, nullptr};
    std::size_t word = std::strlen(kSheppLogan);
    if (std::strncmp(name, kSheppLogan, word) == 0) {
        double radius = 0;
        Status read = StrictReal(name + word, "bad shepp-logan radius.", &radius);
        if (!read.ok()) return read;
        return SheppLoganPhantom(radius, phantom);
    }
    std::string prefix = NamePrefix(name, "phantom: ");
    FILE *in = nullptr;
    Status status = OpenInput(name, "r", (prefix + "file not found.").c_str(), &in);
    if (!status.ok()) return status;
    status = ReadEllipses(in, prefix, phantom);
    CloseInput(in);
    if (!status.ok()) ReleasePhantom(phantom);
    return status;
}

Status PhantomFromText(const std::string &text, Phantom *phantom) {
    *phantom = Phantom{0, nullptr};
    if (text.empty()) return FailureAbout("phantom: ", "no ellipses.");
    // Read as a file is, through a stream over the text.
    FILE *in = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    if (in == nullptr) return Failure("memory allocation error.");
    Status status = ReadEllipses(in, "phantom: ", phantom);
    std::fclose(in);
    if (!status.ok()) ReleasePhantom(phantom);
    return status;
}

