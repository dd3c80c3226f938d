#include "error.h"

#include <cstdio>
#include <cstdlib>

void Error(const char *message) {
    // One formatted call, so the line reaches unbuffered stderr in one write.
    std::fprintf(stderr, "%s\n", message);
    std::exit(1);
}
