#include "profile.h"

#include <cctype>
#include <climits>

#include "args.h"
#include "memory.h"
#include "real.h"
#include "streams.h"

static_assert(kLongestNumber == 1100, "the widths of the fscanf formats below");

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

Status ReadProfileFrom(FILE *in, int arrays, Profile *profile) {
    *profile = Profile{};
    // The count is read wide so that a token past the 32-bit range is
    // rejected instead of wrapping into a plausible count.
    long long count = 0;
    // The widths stop a word longer than any number (kLongestNumber): its
    // rest is then not white space, and the word is refused.
    if (std::fscanf(in, "%1100lld", &count) != 1 || !EndsWord(in) || count <= 0 || count > INT_MAX) {
        return Failure(kReadError);
    }

    *profile = Profile{static_cast<int>(count), AllocateSamples(count), nullptr};
    if (profile->samples == nullptr) return Failure(kMemoryError);
    if (arrays == 2) {
        profile->extra = AllocateSamples(count);
        if (profile->extra == nullptr) return Failure(kMemoryError);
    }
    for (int j = 0; j < profile->count; ++j) {
        if (std::fscanf(in, "%1100lf", &profile->samples[j]) != 1 || !EndsWord(in)) return Failure(kReadError);
    }
    return Success();
}

void ReleaseProfile(Profile *profile) {
    ReleaseArray(profile->samples);
    ReleaseArray(profile->extra);
    *profile = Profile{};
}

Status ReadProfile(const char *name, int arrays, Profile *profile) {
    *profile = Profile{};
    FILE *in = nullptr;
    Status opened = OpenInput(name, "r", "file not found.", &in);
    if (!opened.ok()) return opened;
    Status read = ReadProfileFrom(in, arrays, profile);
    CloseInput(in);
    return read;
}

long long DefaultViewCount(long long n) {
    return static_cast<long long>(static_cast<Real>(n) * static_cast<Real>(kPi));
}

Status DefaultViews(int n, int *views) {
    long long count = DefaultViewCount(n);
    if (count > INT_MAX) return Failure("profile too long for the default number of views.");
    *views = static_cast<int>(count);
    return Success();
}

Status ViewsArgument(const char *text, int *views) {
    *views = IntArgument(text);
    if (*views <= 0) return Failure("bad number of views.");
    return Success();
}
