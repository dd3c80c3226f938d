// sino_stat's whole run. Input: a line with the arguments after A ("-" for a
// B file, then an optional radius), a line with A's length in bytes, then
// A's bytes followed by B's. The line goes to /dev/null.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "harness.h"
#include "sino_stat/run.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The statistics line of every run would flood the fuzzer's output.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) __builtin_trap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::size_t a_length = std::strtoul(NextLine(&input).c_str(), nullptr, 10);
    std::string files = Rest(&input);
    if (a_length > files.size()) a_length = files.size();
    std::vector<std::string> args{"sino_stat", ScratchFile("stat_a", files.substr(0, a_length))};
    std::string word;
    if (words >> word) {
        args.push_back(ScratchFile("stat_b", files.substr(a_length)));
        while (words >> word && args.size() < 5) args.push_back(word);
    }
    RunProgram(RunSinoStat, args);
    return 0;
}
