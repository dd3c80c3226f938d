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

// The run of a program that reads one file: the input's first line gives
// the words after the file (at most `most` of them), the rest the file's
// bytes, written to the scratch file `name`; the output goes to /dev/null.
void RunOnOneFile(int (*entry)(int, char **), const char *program, const char *name, FuzzInput *input,
                  std::size_t most);

// The first words of a line, at most `most`.
std::vector<std::string> FirstWords(const std::string &line, std::size_t most);

// A phantom's argument: the first line of bytes that begin "shepp-logan:",
// else a scratch file `name` holding the bytes.
std::string PhantomArgument(const std::string &phantom, const char *name);

// The input of a program of a phantom seen at angles: a line of numbers
// (at most `most`, into *numbers), a line of angles in degrees (empty: none,
// else "-a" and the scratch file `angles_name`), then the phantom
// (PhantomArgument, `phantom_name`). Returns the arguments so far: the
// program's name, the angles, the phantom.
std::vector<std::string> PhantomArguments(const char *program, FuzzInput *input, std::size_t most,
                                          const char *angles_name, const char *phantom_name,
                                          std::vector<std::string> *numbers);
