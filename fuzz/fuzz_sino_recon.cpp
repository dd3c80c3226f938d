// sino_recon's whole run. Input: a line "{-M METHOD} c interval {size
// {kernel}}", then the sinogram's bytes.
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "sino_recon/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"sino_recon"};
    std::string word;
    // The method, before the operands as options go.
    bool method = words >> word && word == "-M" && words >> word;
    if (method) {
        args.push_back("-M");
        args.push_back(word);
    } else {
        words.clear();
        words.seekg(0);
    }
    std::size_t first = args.size();
    args.push_back(ScratchFile("recon_in", Rest(&input)));
    while (args.size() < first + 5 && words >> word) args.push_back(word);
    // Keep one run short: the image has K * K pixels.
    if (args.size() >= first + 4 && IntArgument(args[first + 3].c_str()) > 512) return 0;
    args.push_back("/dev/null");
    RunProgram(RunSinoRecon, args);
    return 0;
}
