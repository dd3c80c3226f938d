// phase_stack's whole run. Input: a line "N M DELTA,BETA,DISTANCE,ENERGY,PIXEL",
// a line of angles in degrees (empty: the even half turn, else passed with
// -a), then the phantom file's bytes; a phantom that begins "shepp-logan:"
// is passed as that word (its first line).
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "phase_stack/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::string angles = NextLine(&input);
    std::string phantom = Rest(&input);
    std::vector<std::string> args{"phase_stack"};
    if (!angles.empty()) {
        args.push_back("-a");
        args.push_back(ScratchFile("phase_angles", angles));
    }
    if (phantom.compare(0, 12, "shepp-logan:") == 0) {
        args.push_back(phantom.substr(0, phantom.find('\n')));
    } else {
        args.push_back(ScratchFile("phase_stack_in", phantom));
    }
    std::vector<std::string> numbers;
    std::string word;
    while (numbers.size() < 3 && words >> word) numbers.push_back(word);
    // Keep one run short: M transforms of 2N x 2N samples.
    if (numbers.size() >= 2) {
        double n = IntArgument(numbers[0].c_str()), m = IntArgument(numbers[1].c_str());
        if (n * n * m > 100000) return 0;
    }
    args.insert(args.end(), numbers.begin(), numbers.end());
    args.push_back(ScratchFile("phase_stack_out.tif", ""));
    RunProgram(RunPhaseStack, args);
    return 0;
}
