#include "error.h"

#include <cstdio>
#include <cstdlib>

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
