// disk_sino's whole run: every input line is one argument before the output
// name (N xC yC R1 ... M).
#include <string>

#include "args.h"
#include "harness.h"
#include "disk_sino/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::vector<std::string> args{"disk_sino"};
    while (input.at < input.size && args.size() < 40) args.push_back(NextLine(&input));
    // Keep one run short: N times M samples, each summing every radius.
    if (args.size() >= 3 && IntArgument(args[1].c_str()) > 4000) return 0;
    if (args.size() >= 3 && IntArgument(args.back().c_str()) > 200) return 0;
    args.push_back("/dev/null");
    RunProgram(RunDiskSino, args);
    return 0;
}
