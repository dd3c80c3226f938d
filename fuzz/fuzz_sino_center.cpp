// sino_center's whole run on a sinogram file made of the input bytes.
#include <cstdio>
#include <string>

#include "harness.h"
#include "sino_center/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The centre goes to standard output; keep it out of the fuzzer's log.
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    std::string bytes(reinterpret_cast<const char *>(data), size);
    RunProgram(RunSinoCenter, {"sino_center", ScratchFile("center_in", bytes)});
    return 0;
}
