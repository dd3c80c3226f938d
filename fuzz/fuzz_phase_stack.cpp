// phase_stack's whole run. Input: a line "N M DELTA,BETA,DISTANCE,ENERGY,PIXEL",
// a line of angles in degrees (empty: the even half turn, else passed with
// -a), then the phantom file's bytes; a phantom that begins "shepp-logan:"
// is passed as that word (its first line).
#include <string>

#include "args.h"
#include "harness.h"
#include "phase_stack/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::vector<std::string> numbers;
    std::vector<std::string> args = PhantomArguments("phase_stack", &input, 3, "phase_angles", "phase_stack_in", &numbers);
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
