// Error for the fuzzing build: the message goes to standard error as in the
// programs, then control returns to the harness (RunProgram), which cleans
// up after the run, instead of ending the process.
#include "error.h"

#include <cstdio>

#include "harness.h"

void Error(const char *message) {
    std::fprintf(stderr, "%s\n", message);
    throw FuzzExit{};
}
