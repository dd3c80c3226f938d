// sino_rings's whole run. Input: a line with the method and size words (none,
// one or two), then the sinogram's bytes.
#include <sstream>
#include <string>

#include "harness.h"
#include "sino_rings/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"sino_rings", ScratchFile("rings_in", Rest(&input))};
    std::string word;
    while (words >> word && args.size() < 4) args.push_back(word);
    args.push_back("/dev/null");
    RunProgram(RunSinoRings, args);
    return 0;
}
