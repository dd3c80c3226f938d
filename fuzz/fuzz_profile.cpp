// The profile reader on any bytes: a profile, or one of its messages.
#include <cstdio>
#include <string>

#include "harness.h"
#include "profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::string path = ScratchFile("profile", Rest(&input));
    RunProgram(
        [](int, char **argv) {
            Profile profile;
            if (!ReadProfile(argv[1], 2, &profile).ok()) return 1;
            // Every sample was read; touch them all.
            double sum = 0;
            for (int j = 0; j < profile.count; ++j) sum += profile.samples[j];
            profile.extra[profile.count - 1] = sum;
            return 0;
        },
        {"profile", path});
    return 0;
}
