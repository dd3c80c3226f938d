// sino_tiff's whole run: the input is the file read (a TIFF, or a
// sinogram when it does not start with 'I' or 'M'); a first line "64"
// asks for 64-bit floats.
#include <string>

#include "harness.h"
#include "sino_tiff/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::vector<std::string> args{"sino_tiff"};
    std::string bytes(reinterpret_cast<const char *>(data), size);
    if (bytes.rfind("64\n", 0) == 0) {
        bytes.erase(0, 3);
        args.push_back(ScratchFile("tiff_in", bytes));
        args.push_back("64");
    } else {
        args.push_back(ScratchFile("tiff_in", bytes));
    }
    args.push_back("/dev/null");
    RunProgram(RunSinoTiff, args);
    return 0;
}
