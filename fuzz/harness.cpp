#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

#include "memory.h"
#include "output.h"
#include "streams.h"

// Huge sizes from fuzzed headers must come back as failed allocations (the
// programs' "memory allocation error."): a run cannot afford what a real run
// may ask for, so requests above 256 MiB fail as if memory had run out. The
// programs leave their memory to the process exit, which RunProgram takes
// back itself.
extern "C" const char *__asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=0";
}

int RunProgram(int (*entry)(int, char **), const std::vector<std::string> &args) {
    std::vector<std::string> copies = args;
    std::vector<char *> argv;
    for (std::string &a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    int status = 1;
    try {
        status = entry(static_cast<int>(copies.size()), argv.data());
    } catch (const FuzzExit &) {
        status = 1;
    }
    CloseRunStreams();
    RemovePendingOutputs();
    ReleaseRunMemory();
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

void RunOnOneFile(int (*entry)(int, char **), const char *program, const char *name, FuzzInput *input,
                  std::size_t most) {
    std::vector<std::string> words = FirstWords(NextLine(input), most);
    std::vector<std::string> args{program, ScratchFile(name, Rest(input))};
    args.insert(args.end(), words.begin(), words.end());
    args.push_back("/dev/null");
    RunProgram(entry, args);
}

std::vector<std::string> FirstWords(const std::string &line, std::size_t most) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string word;
    while (words.size() < most && in >> word) words.push_back(word);
    return words;
}

std::string PhantomArgument(const std::string &phantom, const char *name) {
    if (phantom.compare(0, 12, "shepp-logan:") == 0) return phantom.substr(0, phantom.find('\n'));
    return ScratchFile(name, phantom);
}

std::vector<std::string> PhantomArguments(const char *program, FuzzInput *input, std::size_t most,
                                          const char *angles_name, const char *phantom_name,
                                          std::vector<std::string> *numbers) {
    *numbers = FirstWords(NextLine(input), most);
    std::string angles = NextLine(input);
    std::string phantom = Rest(input);
    std::vector<std::string> args{program};
    if (!angles.empty()) {
        args.push_back("-a");
        args.push_back(ScratchFile(angles_name, angles));
    }
    args.push_back(PhantomArgument(phantom, phantom_name));
    return args;
}
