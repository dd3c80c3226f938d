// ax_expand's whole run. Input: a line "2" or "3" (argument count), a views
// line, then the profile's bytes.
#include <string>

#include "args.h"
#include "harness.h"
#include "ax_expand/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    bool with_views = NextLine(&input) == "3";
    std::string views = NextLine(&input);
    std::string profile = Rest(&input);
    if (with_views && IntArgument(views.c_str()) > 200) return 0;  // output size
    std::string path = ScratchFile("expand_in", profile);
    std::vector<std::string> args{"ax_expand", path};
    if (with_views) args.push_back(views);
    args.push_back("/dev/null");
    RunProgram(RunAxExpand, args);
    return 0;
}
