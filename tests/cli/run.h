// Running the built programs from tests: a shell command line in a fresh
// scratch folder, with given standard input, capturing standard output,
// standard error and the exit status.
#pragma once

#include <cstddef>
#include <cstdio>
#include <initializer_list>
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

// Runs `command` in the scratch folder once for each thread count (as
// OMP_NUM_THREADS) and expects the file `output` it writes to hold exactly
// `expected` each time: the toolkit's results do not depend on the threads.
void ExpectSameBytesForThreads(const Scratch &scratch, const std::string &command, const std::string &output,
                               const std::string &expected, std::initializer_list<int> threads = {1, 2, 3});

// Runs `command` in the scratch folder, expects it to succeed with nothing
// on standard output or standard error, and returns the bytes of the file
// `output` it wrote.
std::string QuietlyWritten(const Scratch &scratch, const std::string &command, const std::string &output);

// A number given to a program where an argument stood: the word at
// `position` of the base arguments replaced by `value`, and the message it
// gives (empty: the run succeeds).
struct HostileCase {
    int position;
    std::string value;
    const char *message;
};

// The outcome of such a run: exit status 1, exactly the message and no
// `output` left, or for an empty message success with `output` made.
// Returns whether it succeeded.
bool ExpectOutcome(const Scratch &scratch, const RunResult &r, const HostileCase &c, const std::string &output);

// The arguments of one failing run, or of several that fail alike: a row
// of a failure table is either "in.txt 0 out.txt" or {"in.txt 0 out.txt",
// "in.txt -4 out.txt"}.
struct ArgumentLines {
    ArgumentLines(const char *one) : lines{one} {}
    ArgumentLines(std::initializer_list<const char *> many) : lines(many.begin(), many.end()) {}
    std::vector<std::string> lines;
};

// Shell words for a failure table's argument lines that make a file in the
// scratch folder before the program runs and give its name: a TIFF (its
// first bytes), an HDF5 file (the signature), a line of text, a PNG (the
// signature). String literals, so that a row reads "in.txt " TIFF_FILE("s.tif").
#define TIFF_FILE(name) "$(printf 'II*\\000junk' >" name "; echo " name ")"
#define HDF5_FILE(name) "$(printf '\\211HDF\\r\\n\\032\\n' >" name "; echo " name ")"
#define TEXT_FILE(name) "$(echo notes >" name "; echo " name ")"
#define PNG_FILE(name) "$(printf '\\211PNG\\r\\n\\032\\n' >" name "; echo " name ")"

// Failing runs: the program's arguments, the bytes of the file "in.txt"
// in its scratch folder, the one line expected on standard error, and
// whether the output "out.txt" may exist afterwards.
struct FailureCase {
    ArgumentLines args;
    std::string input;
    const char *message;
    bool output_exists = false;
};

// Runs "$BIN/<program> <args>" for every case and every argument line of a
// case, and expects exit status 1, exactly the message and nothing on
// standard output.
template <std::size_t N>
void ExpectFailures(const char *program, const FailureCase (&cases)[N]);
void ExpectFailure(const char *program, const FailureCase &c);
template <std::size_t N>
void ExpectFailures(const char *program, const FailureCase (&cases)[N]) {
    for (const FailureCase &c : cases) ExpectFailure(program, c);
}

// A shell command that writes, in the scratch folder, the head
// (shepp-logan:`radius`) over `detectors` as scans given for what they are
// not and the ordinary ones beside them: whole.sg (360 views at 0 ... 359
// degrees, listed in whole.txt; axis `axis`), whole_noisy.sg and
// half_noisy.sg (axis `off`, counts of 1e4 after scaling by 0.05), half.sg
// (180 views), closed.sg (181 views to 180 degrees, closed.txt) and one.sg
// (one view).
std::string MisgivenScansCommand(int radius, int detectors, double axis, double off);

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

// The number after the word `name` in a line of sino_stat's ("size 4x2 ...
// rms 0.5 ..."); a test failure and 0 when the line has none.
double StatValue(const std::string &line, const std::string &name);

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
