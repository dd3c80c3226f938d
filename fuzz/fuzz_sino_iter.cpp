// sino_iter's whole run. Input: a line "c interval {size {method}}", then
// the sinogram's bytes; a few iterations, with -n and -v chosen by the
// line's length.
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "sino_iter/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::string line = NextLine(&input);
    std::istringstream words(line);
    std::vector<std::string> args{"sino_iter", "-i", "3"};
    if (line.size() % 2 == 0) args.push_back("-n");
    args.push_back(ScratchFile("iter_in", Rest(&input)));
    std::string word;
    while (args.size() < 8 && words >> word) args.push_back(word);
    // Keep one run short: the image has K * K pixels.
    if (args.size() >= 7 && IntArgument(args[args.size() - 2].c_str()) > 256) return 0;
    args.push_back("/dev/null");
    RunProgram(RunSinoIter, args);
    return 0;
}
