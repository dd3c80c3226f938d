// phantom_sino's whole run. Input: a line "N c M", a line of angles in
// degrees (empty: the even half turn, else passed with -a), then the
// phantom file's bytes; a phantom that begins "shepp-logan:" is passed as
// that word (its first line).
#include <string>

#include "args.h"
#include "harness.h"
#include "phantom_sino/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::vector<std::string> numbers;
    std::vector<std::string> args = PhantomArguments("phantom_sino", &input, 4, "phantom_angles", "phantom_sino_in", &numbers);
    // Keep one run short: N times M samples, each summing every ellipse.
    if (numbers.size() >= 3 && static_cast<long long>(IntArgument(numbers[0].c_str())) *
                                       IntArgument(numbers[2].c_str()) > 200000)
        return 0;
    args.insert(args.end(), numbers.begin(), numbers.end());
    args.push_back("/dev/null");
    RunProgram(RunPhantomSino, args);
    return 0;
}
