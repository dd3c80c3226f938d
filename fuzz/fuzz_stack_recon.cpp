// stack_recon's whole run on a fuzzed stack (TIFF or HDF5): the first
// input line holds options (-t, -c X, -m MIB, -k NAME, -p X, -P D,Z,E,P, -s N with N at
// most 64, and "h5", "tif" or "img" for the volume's kind; others are
// dropped), the rest is the stack. At most four rows are reconstructed,
// into this process's scratch folder.
#include <cstdlib>
#include <sstream>
#include <string>

#include "harness.h"
#include "stack_recon/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::istringstream words(NextLine(&input));
    std::vector<std::string> args{"stack_recon", "-r", "0,4"};
    std::string word, volume = ScratchFile("stack_volume.tif", "");
    while (words >> word && args.size() < 16) {
        if (word == "-t") {
            args.push_back(word);
        } else if (word == "-c" || word == "-m" || word == "-k" || word == "-p" || word == "-P") {
            std::string value;
            if (words >> value) {
                args.push_back(word);
                args.push_back(value);
            }
        } else if (word == "-s") {
            std::string value;
            if (words >> value) {
                int n = std::atoi(value.c_str());
                args.push_back("-s");
                args.push_back(std::to_string(n > 64 ? 64 : n));
            }
        } else if (word == "h5") {
            volume = ScratchFile("stack_volume.h5", "");
        } else if (word == "img") {
            volume = ScratchFile("stack_volume_", "") + "%d.img";
        }
    }
    args.push_back(ScratchFile("stack_input", Rest(&input)));
    args.push_back(volume);
    RunProgram(RunStackRecon, args);
    return 0;
}
