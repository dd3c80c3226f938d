#include "error.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef CT_FUZZING
#include "fuzz_hook.h"
#endif

void Error(const char *message) {
    // One formatted call, so the line reaches unbuffered stderr in one write.
    std::fprintf(stderr, "%s\n", message);
#ifdef CT_FUZZING
    FuzzFailure();
#endif
    std::exit(1);
}

void ErrorAbout(const char *prefix, const char *message) {
    std::string line = std::string(prefix) + message;
    Error(line.c_str());
}
