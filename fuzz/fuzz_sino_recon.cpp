// sino_recon's whole run. Input: a line "c interval {size {kernel}}", then
// the sinogram's bytes.
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "sino_recon/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"sino_recon", ScratchFile("recon_in", Rest(&input))};
    std::string word;
    while (args.size() < 6 && words >> word) args.push_back(word);
    // Keep one run short: the image has K * K pixels.
    if (args.size() >= 5 && IntArgument(args[4].c_str()) > 512) return 0;
    args.push_back("/dev/null");
    RunProgram(RunSinoRecon, args);
    return 0;
}
