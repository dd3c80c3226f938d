// phantom_image's whole run. Input: a line "K {PIXEL}" (with PIXEL, passed
// with -p), then the phantom file's bytes; a phantom that begins
// "shepp-logan:" is passed as that word (its first line).
#include <sstream>
#include <string>

#include "args.h"
#include "harness.h"
#include "phantom_image/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::string phantom = Rest(&input);
    std::string size_word, pixel;
    words >> size_word >> pixel;
    // Keep one run short: K times K pixels, each summing every ellipse.
    if (IntArgument(size_word.c_str()) > 64) return 0;
    std::vector<std::string> args{"phantom_image"};
    if (!pixel.empty()) {
        args.push_back("-p");
        args.push_back(pixel);
    }
    args.push_back(PhantomArgument(phantom, "phantom_image_in"));
    args.push_back(size_word);
    args.push_back("/dev/null");
    RunProgram(RunPhantomImage, args);
    return 0;
}
