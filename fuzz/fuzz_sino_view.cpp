// sino_view's whole run. Input: a line with "lo hi" or nothing, then the
// sinogram's bytes.
#include <sstream>
#include <string>

#include "harness.h"
#include "sino_view/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"sino_view", ScratchFile("view_in", Rest(&input))};
    std::string lo, hi;
    if (words >> lo >> hi) {
        args.push_back(lo);
        args.push_back(hi);
    }
    args.push_back("/dev/null");
    RunProgram(RunSinoView, args);
    return 0;
}
