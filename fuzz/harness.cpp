#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "fuzz_hook.h"
#include "memory.h"
#include "streams.h"

namespace {

struct FuzzExit {};

}  // namespace

// Huge sizes from fuzzed headers must come back as failed allocations (the
// programs' "memory allocation error."), and the programs leave their memory
// to the process exit, which RunProgram takes back itself.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1:detect_leaks=0"; }

void FuzzFailure() { throw FuzzExit{}; }

int RunProgram(int (*program)(int, char **), const std::vector<std::string> &args) {
    std::vector<std::string> copies = args;
    std::vector<char *> argv;
    for (std::string &a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    int status = 1;
    try {
        status = program(static_cast<int>(copies.size()), argv.data());
    } catch (const FuzzExit &) {
        status = 1;
    }
    FuzzCloseStreams();
    FuzzReleaseAllocations();
    return status;
}

std::string ScratchFile(const char *name, const std::string &bytes) {
    const char *folder = std::getenv("TMPDIR");
    std::string path = std::string(folder != nullptr ? folder : "/tmp") + "/ct_fuzz_" + std::to_string(getpid()) +
                       "_" + name;
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) __builtin_trap();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

std::string NextLine(FuzzInput *input) {
    std::string line;
    while (input->at < input->size) {
        char c = static_cast<char>(input->data[input->at++]);
        if (c == '\n') break;
        line += c;
    }
    return line;
}

std::string Rest(FuzzInput *input) {
    std::string rest(reinterpret_cast<const char *>(input->data) + input->at, input->size - input->at);
    input->at = input->size;
    return rest;
}
