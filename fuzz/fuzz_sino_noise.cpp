// sino_noise's whole run. Input: a line "I0 seed", then the sinogram's
// bytes.
#include "harness.h"
#include "sino_noise/run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    RunOnOneFile(RunSinoNoise, "sino_noise", "noise_in", &input, 3);
    return 0;
}
