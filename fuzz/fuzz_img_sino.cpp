// img_sino's whole run. Input: a line "N c M" (options first if any:
// "-p PIXEL"), then the image's bytes.
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "img_sino/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"img_sino"}, rest;
    std::string word;
    while (rest.size() < 5 && words >> word) rest.push_back(word);
    // Keep one run short: N * M samples, each crossing every image line.
    if (rest.size() >= 3 && (IntArgument(rest[rest.size() - 3].c_str()) > 300 ||
                             IntArgument(rest[rest.size() - 1].c_str()) > 300))
        return 0;
    std::string image = ScratchFile("img_in", Rest(&input));
    std::size_t operand = rest.size() >= 2 && rest[0] == "-p" ? 2 : 0;
    args.insert(args.end(), rest.begin(), rest.begin() + static_cast<long>(operand));
    args.push_back(image);
    args.insert(args.end(), rest.begin() + static_cast<long>(operand), rest.end());
    args.push_back("/dev/null");
    RunProgram(RunImgSino, args);
    return 0;
}
