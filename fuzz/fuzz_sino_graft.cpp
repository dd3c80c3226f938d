// sino_graft's whole run. Input: one line of arguments separated by blanks
// (c0, then "-" for an SG1 file or N1 M1, then c1 ratio ot dx dy), a line
// with SG0's length in bytes, then SG0's bytes followed by SG1's.
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "sino_graft/run.h"
#include "sinogram.h"

namespace {

// Work of one run, roughly SG2's samples; runs far past a few million are
// skipped so that the fuzzer keeps its pace.
bool Affordable(const std::string &sg0, const std::vector<std::string> &numbers, const std::string &sg1) {
    int n0 = 0, m0 = 0;
    if (!ParseSinogramHeader(sg0.c_str(), &n0, &m0)) return true;  // fails early
    int n1 = 0, m1 = 0;
    if (numbers.size() == 8) {
        n1 = IntArgument(numbers[1].c_str());
        m1 = IntArgument(numbers[2].c_str());
    } else if (!ParseSinogramHeader(sg1.c_str(), &n1, &m1)) {
        return true;
    }
    double ratio = std::fabs(RealArgument(numbers[numbers.size() - 4].c_str()));
    double dx = std::fabs(RealArgument(numbers[numbers.size() - 2].c_str()));
    double dy = std::fabs(RealArgument(numbers[numbers.size() - 1].c_str()));
    double width = n1 + 4.0 * (n0 * ratio + dx + dy);
    return !(width * std::fmax(m1, 1) > 4e6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> numbers;
    std::string word;
    while (words >> word && numbers.size() < 8) numbers.push_back(word);
    if (numbers.size() != 7 && numbers.size() != 8) return 0;
    std::size_t sg0_length = std::strtoul(NextLine(&input).c_str(), nullptr, 10);
    std::string files = Rest(&input);
    if (sg0_length > files.size()) sg0_length = files.size();
    std::string sg0 = files.substr(0, sg0_length), sg1 = files.substr(sg0_length);
    if (!Affordable(sg0, numbers, sg1)) return 0;

    std::vector<std::string> args{"sino_graft", ScratchFile("sg0", sg0), numbers[0]};
    if (numbers.size() == 7) {
        args.push_back(ScratchFile("sg1", sg1));  // the "-" placeholder
        args.insert(args.end(), numbers.begin() + 2, numbers.end());
    } else {
        args.insert(args.end(), numbers.begin() + 1, numbers.end());
    }
    args.push_back("/dev/null");
    RunProgram(RunSinoGraft, args);
    return 0;
}
