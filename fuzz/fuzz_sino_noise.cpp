// sino_noise's whole run. Input: a line "I0 seed", then the sinogram's
// bytes.
#include <sstream>
#include <string>

#include "harness.h"
#include "sino_noise/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"sino_noise", ScratchFile("noise_in", Rest(&input))};
    std::string word;
    while (words >> word && args.size() < 5) args.push_back(word);
    args.push_back("/dev/null");
    RunProgram(RunSinoNoise, args);
    return 0;
}
