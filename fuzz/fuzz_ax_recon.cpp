// ax_recon's whole run. Input: a line "3" or "4" (argument count), a views
// line, an interval line, then the profile's bytes.
#include <cstdlib>
#include <string>

#include "args.h"
#include "harness.h"
#include "ax_recon/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    bool with_views = NextLine(&input) == "4";
    std::string views = NextLine(&input);
    std::string interval = NextLine(&input);
    std::string profile = Rest(&input);
    // Keep one run short: the work grows with samples times views.
    if (with_views && IntArgument(views.c_str()) > 2000) return 0;
    std::string path = ScratchFile("recon_in", profile);
    std::vector<std::string> args{"ax_recon", path};
    if (with_views) args.push_back(views);
    args.push_back(interval);
    args.push_back("/dev/null");
    RunProgram(RunAxRecon, args);
    return 0;
}
