#include "error.h"

#include <cstdio>
#include <cstdlib>

#include "output.h"

void Error(const char *message) {
    RemovePendingOutputs();
    // One formatted call, so the line reaches unbuffered stderr in one write.
    std::fprintf(stderr, "%s\n", message);
    std::exit(1);
}
