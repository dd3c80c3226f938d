#include "profile.h"

#include <cctype>
#include <climits>

#include "args.h"
#include "error.h"
#include "memory.h"
#include "real.h"
#include "streams.h"

namespace {

constexpr const char *kReadError = "data read error.";
constexpr const char *kMemoryError = "memory allocation error.";

// A number must be a whole word: it ends at white space or at the end of
// the input. "3.0" read as a count, or "39,2" read as a value, would
// otherwise stop inside the word and leave its rest to be read as data.
bool EndsWord(FILE *in) {
    int next = std::getc(in);
    return next == EOF || std::isspace(next);
}

double *AllocateSamples(long long count) {
    return static_cast<double *>(AllocateArray(static_cast<std::size_t>(count), sizeof(double)));
}

}  // namespace

Profile ReadProfileFrom(FILE *in, int arrays) {
    // The count is read wide so that a token past the 32-bit range is
    // rejected instead of wrapping into a plausible count.
    long long count = 0;
    if (std::fscanf(in, "%lld", &count) != 1 || !EndsWord(in) || count <= 0 || count > INT_MAX) {
        Error(kReadError);
    }

    Profile profile{static_cast<int>(count), AllocateSamples(count), nullptr};
    if (profile.samples == nullptr) Error(kMemoryError);
    if (arrays == 2) {
        profile.extra = AllocateSamples(count);
        if (profile.extra == nullptr) Error(kMemoryError);
    }
    for (int j = 0; j < profile.count; ++j) {
        if (std::fscanf(in, "%lf", &profile.samples[j]) != 1 || !EndsWord(in)) Error(kReadError);
    }
    return profile;
}

void ReleaseProfile(Profile *profile) {
    ReleaseArray(profile->samples);
    ReleaseArray(profile->extra);
    *profile = Profile{};
}

Profile ReadProfile(const char *name, int arrays) {
    FILE *in = OpenInput(name, "r", "file not found.");
    Profile profile = ReadProfileFrom(in, arrays);
    CloseInput(in);
    return profile;
}

long long DefaultViewCount(long long n) {
    return static_cast<long long>(static_cast<Real>(n) * static_cast<Real>(kPi));
}

int DefaultViewCountOrFail(int n) {
    long long views = DefaultViewCount(n);
    if (views > INT_MAX) Error("profile too long for the default number of views.");
    return static_cast<int>(views);
}

int ViewsArgument(const char *text) {
    int views = IntArgument(text);
    if (views <= 0) Error("bad number of views.");
    return views;
}
