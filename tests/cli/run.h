// Running the built programs from tests: a shell command line in a fresh
// scratch folder, with given standard input, capturing standard output,
// standard error and the exit status.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

struct RunResult {
    int status;       // exit status, or 128 + signal
    std::string out;  // standard output bytes
    std::string err;  // standard error bytes
};

// A scratch folder of its own for one test; removed by the destructor.
struct Scratch {
    Scratch();
    ~Scratch();
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    std::string Path(const std::string &name) const;
    void Write(const std::string &name, const std::string &bytes) const;
    std::string Read(const std::string &name) const;
    bool Exists(const std::string &name) const;

    // Runs `command` with /bin/sh in this folder. "$BIN" in the command is
    // the folder of the built programs.
    RunResult Run(const std::string &command, const std::string &input = "") const;

    std::string dir;
};

// One failing run: the program's arguments, the bytes of the file "in.txt"
// in its scratch folder, the one line expected on standard error, and
// whether the output "out.txt" may exist afterwards.
struct FailureCase {
    const char *args;
    std::string input;
    const char *message;
    bool output_exists;
};

// Runs "$BIN/<program> <args>" for every case and expects exit status 1,
// exactly the message and nothing on standard output.
template <std::size_t N>
void ExpectFailures(const char *program, const FailureCase (&cases)[N]);
void ExpectFailure(const char *program, const FailureCase &c);
template <std::size_t N>
void ExpectFailures(const char *program, const FailureCase (&cases)[N]) {
    for (const FailureCase &c : cases) ExpectFailure(program, c);
}

// Bytes of a sinogram: header "N\tM\n", then the samples little-endian.
std::string SinogramBytes(int columns, int rows, const double *samples);
std::string DoublesBytes(const double *values, long count);
// A stream over a copy of the bytes (a tmpfile, so that empty input works
// too), positioned at its start.
FILE *StreamOf(const std::string &bytes);

// Everything written to a stream so far (a tmpfile: the writers need a
// real file descriptor), read back from its start; closes the stream.
std::string ContentsAndClose(FILE *stream);
// The samples after the header line of sinogram bytes, as bytes and as
// values.
std::string AfterHeader(const std::string &bytes);
std::vector<double> SamplesAfterHeader(const std::string &bytes);

// count values start + step * (i % period): a sawtooth of test samples.
std::vector<double> Ramp(int count, double step, int period, double start);

// Runs a program's entry in this process with these arguments (program name
// first); its last argument, the output, is replaced by a scratch file.
// Returns the output's bytes; the run must succeed.
std::string RunEntry(int (*entry)(int, char **), const std::vector<std::string> &args);

// The recipe under a heading of a markdown page: the lines of the first
// ```sh block after the line `heading` ("## Many slices"), of the page
// named from the source folder ("doc/guide/volumes.md"). Empty when the
// page, the heading or the block is missing.
std::string DocRecipe(const std::string &path_from_source_dir, const std::string &heading);
