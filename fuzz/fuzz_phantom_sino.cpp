// phantom_sino's whole run. Input: a line "N c M", a line of angles in
// degrees (empty: the even half turn, else passed with -a), then the
// phantom file's bytes; a phantom that begins "shepp-logan:" is passed as
// that word (its first line).
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "phantom_sino/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::string angles = NextLine(&input);
    std::string phantom = Rest(&input);
    std::vector<std::string> args{"phantom_sino"};
    if (!angles.empty()) {
        args.push_back("-a");
        args.push_back(ScratchFile("phantom_angles", angles));
    }
    if (phantom.compare(0, 12, "shepp-logan:") == 0) {
        args.push_back(phantom.substr(0, phantom.find('\n')));
    } else {
        args.push_back(ScratchFile("phantom_sino_in", phantom));
    }
    std::vector<std::string> numbers;
    std::string word;
    while (numbers.size() < 4 && words >> word) numbers.push_back(word);
    // Keep one run short: N times M samples, each summing every ellipse.
    if (numbers.size() >= 3 && static_cast<long long>(IntArgument(numbers[0].c_str())) *
                                       IntArgument(numbers[2].c_str()) > 200000)
        return 0;
    args.insert(args.end(), numbers.begin(), numbers.end());
    args.push_back("/dev/null");
    RunProgram(RunPhantomSino, args);
    return 0;
}
