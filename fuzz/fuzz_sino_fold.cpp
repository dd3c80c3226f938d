// sino_fold's whole run. Input: a line with the axis c, then the
// sinogram's bytes.
#include <cstdio>
#include <string>

#include "harness.h"
#include "sino_fold/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The axis goes to standard output; keep it out of the fuzzer's log.
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    FuzzInput input{data, size, 0};
    std::string center = NextLine(&input);
    RunProgram(RunSinoFold, {"sino_fold", ScratchFile("fold_in", Rest(&input)), center, "/dev/null"});
    return 0;
}
