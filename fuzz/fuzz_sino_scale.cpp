// sino_scale's whole run. Input: a line with the factor and an optional
// offset, then the sinogram's bytes.
#include "harness.h"
#include "sino_scale/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    RunOnOneFile(RunSinoScale, "sino_scale", "scale_in", &input, 3);
    return 0;
}
