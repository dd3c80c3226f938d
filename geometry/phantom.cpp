#include "phantom.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "args.h"
#include "memory.h"
#include "streams.h"

namespace {

// The modified Shepp-Logan head (higher contrast), on its unit circle:
// xC yC a b angle value.
constexpr double kSheppLoganTable[10][6] = {
    {0, 0, 0.69, 0.92, 0, 1},
    {0, -0.0184, 0.6624, 0.874, 0, -0.8},
    {0.22, 0, 0.11, 0.31, -18, -0.2},
    {-0.22, 0, 0.16, 0.41, 18, -0.2},
    {0, 0.35, 0.21, 0.25, 0, 0.1},
    {0, 0.1, 0.046, 0.046, 0, 0.1},
    {0, -0.1, 0.046, 0.046, 0, 0.1},
    {-0.08, -0.605, 0.046, 0.023, 0, 0.1},
    {0, -0.605, 0.023, 0.023, 0, 0.1},
    {0.06, -0.605, 0.023, 0.046, 0, 0.1},
};

bool Within(double x) { return std::fabs(x) <= kPhantomLimit; }

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
        while (c != EOF && c != '\n') {
            if (c == '#') {
                while (c != EOF && c != '\n') c = std::getc(in);
                break;
            }
            if (std::isspace(c)) {
                c = std::getc(in);
                continue;
            }
            word.clear();
            while (c != EOF && c != '\n' && c != '#' && !std::isspace(c)) {
                word += static_cast<char>(c);
                // A word longer than any number ends the reading at once.
                if (word.size() > kLongestNumber) return Failure(LineFailure(prefix, line, "data read error."));
                c = std::getc(in);
            }
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

bool EllipseValid(const Ellipse &e) {
    return Within(e.xc) && Within(e.yc) && e.a > 0 && Within(e.a) && e.b > 0 && Within(e.b) &&
           std::isfinite(e.angle) && Within(e.value);
}

Status SheppLoganPhantom(double radius, Phantom *phantom) {
    *phantom = Phantom{0, nullptr};
    if (!(radius > 0) || !Within(radius)) return Failure("bad shepp-logan radius.");
    phantom->ellipses = static_cast<Ellipse *>(AllocateArray(10, sizeof(Ellipse)));
    if (phantom->ellipses == nullptr) return Failure("memory allocation error.");
    for (const double *row : kSheppLoganTable) {
        phantom->ellipses[phantom->count++] =
            Ellipse{row[0] * radius, row[1] * radius, row[2] * radius, row[3] * radius, row[4], row[5]};
    }
    return Success();
}

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

void ReleasePhantom(Phantom *phantom) {
    ReleaseArray(phantom->ellipses);
    *phantom = Phantom{0, nullptr};
}

void DegreesCosineSine(double degrees, Real *cosine, Real *sine) {
    // The remainder is exact, so every multiple of 90 degrees is found.
    double turn = std::fmod(degrees, 360.0);
    const double rights[] = {0, 90, 180, 270, -90, -180, -270};
    const int cosines[] = {1, 0, -1, 0, 0, -1, 0};
    const int sines[] = {0, 1, 0, -1, -1, 0, 1};
    for (int r = 0; r < 7; ++r) {
        if (turn == rights[r]) {
            *cosine = cosines[r];
            *sine = sines[r];
            return;
        }
    }
    Real radians = static_cast<Real>(turn) * kExtendedPi / 180;
    *cosine = std::cos(radians);
    *sine = std::sin(radians);
}
