// disk_image's whole run: every input line is one argument before the output
// name (K xC yC R1 ...).
#include <cstring>
#include <string>

#include "args.h"
#include "harness.h"
#include "disk_image/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::vector<std::string> args{"disk_image"};
    while (input.at < input.size && args.size() < 40) args.push_back(NextLine(&input));
    // Keep one run short: K times K pixels. K is the first operand, after
    // the "--" that may end the (empty) options; the program reads each
    // argument up to its first zero byte.
    std::size_t k = args.size() >= 2 && std::strcmp(args[1].c_str(), "--") == 0 ? 2 : 1;
    if (args.size() > k && IntArgument(args[k].c_str()) > 1000) return 0;
    args.push_back("/dev/null");
    RunProgram(RunDiskImage, args);
    return 0;
}
