// What every fuzz target shares: running a program's main in-process and
// cleaning up after it, and splitting fuzz input into arguments and files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Thrown by the fuzzing build's Error and caught by RunProgram.
struct FuzzExit {};

// Runs a program's entry (Run<Name>) with these arguments; a failure that
// would end the process ends only the run, and what the run left open or
// allocated is taken back. Returns the exit status: 0, or 1 after a failure.
int RunProgram(int (*entry)(int, char **), const std::vector<std::string> &args);

// A file of this process's own with the given bytes; returns its path.
std::string ScratchFile(const char *name, const std::string &bytes);

// Fuzz input read as text lines first (arguments) and then raw bytes (a
// file), so that seeds stay readable.
struct FuzzInput {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t at;
};
std::string NextLine(FuzzInput *input);
std::string Rest(FuzzInput *input);
