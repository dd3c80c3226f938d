// proj_sino's whole run on a fuzzed TIFF (or HDF5 file): the first input
// line holds options (-t, -s, -l, -m MIB, -z T, -P D,Z,E,P, -A, which writes the angles
// to a scratch file, and -f, which takes the stack as its own flat; others
// are dropped), the rest is the stack. At most four rows are written, into
// this process's scratch folder.
#include <sstream>
#include <string>

#include "harness.h"
#include "proj_sino/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"proj_sino", "-r", "0,4"};
    std::string word;
    while (words >> word && args.size() < 12) {
        if (word == "-t" || word == "-s" || word == "-l") {
            args.push_back(word);
        } else if (word == "-m" || word == "-z" || word == "-P") {
            std::string value;
            if (!(words >> value)) break;
            args.push_back(word);
            args.push_back(value);
        } else if (word == "-A") {
            args.push_back("-A");
            args.push_back(ScratchFile("proj_angles", ""));
        } else if (word == "-f") {
            args.push_back("-f");
            args.push_back(ScratchFile("proj_stack.tif", ""));
        }
    }
    std::string stack = ScratchFile("proj_stack.tif", Rest(&input));
    args.push_back(stack);
    args.push_back(ScratchFile("proj_out", "") + "%d.sg");
    RunProgram(RunProjSino, args);
    return 0;
}
