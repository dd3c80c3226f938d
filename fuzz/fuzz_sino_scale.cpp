// sino_scale's whole run. Input: a line with the factor and an optional
// offset, then the sinogram's bytes.
#include <sstream>
#include <string>

#include "harness.h"
#include "sino_scale/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"sino_scale", ScratchFile("scale_in", Rest(&input))};
    std::string word;
    while (words >> word && args.size() < 5) args.push_back(word);
    args.push_back("/dev/null");
    RunProgram(RunSinoScale, args);
    return 0;
}
