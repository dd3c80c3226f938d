// sino_center's whole run. Input: the sinogram's bytes; or a first line
// "-t" (the views over the full turn) or "-a" followed by angles in degrees
// (written to a file of angles), then the sinogram's bytes.
#include <cstdio>
#include <string>

#include "harness.h"
#include "sino_center/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The centre goes to standard output; keep it out of the fuzzer's log.
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    std::vector<std::string> args{"sino_center"};
    FuzzInput input{data, size, 0};
    if (size >= 2 && data[0] == '-' && (data[1] == 't' || data[1] == 'a')) {
        std::string line = NextLine(&input);
        if (line[1] == 't') {
            args.push_back("-t");
        } else {
            args.push_back("-a");
            args.push_back(ScratchFile("center_angles", line.substr(2)));
        }
    }
    args.push_back(ScratchFile("center_in", Rest(&input)));
    RunProgram(RunSinoCenter, args);
    return 0;
}
