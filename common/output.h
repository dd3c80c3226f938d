// Outputs named on the command line, written so that a failure never
// destroys what was there before.
//
// A name that is a regular file, or names nothing yet, is written to a new
// temporary file in the same folder (".<name>.XXXXXX") and renamed over the
// name only after its last write, flush and close succeeded. A failure that
// ends the process (Error), and the signals SIGINT, SIGTERM, SIGHUP and
// SIGPIPE, remove the temporary file: the old file stays as it was. A
// symbolic link is followed, so the file it points to is replaced and the
// link stays. The new file keeps the old one's permission bits (a new name
// gets 0666 less the umask); a file that may not be written is refused as
// fopen would refuse it.
//
// Standard output ('-': a name whose first character is '-') and names that
// are not regular files (a FIFO, /dev/null, a device, a dangling link) are
// written directly: what went there before a failure stays there.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "status.h"

struct Output {
    FILE *stream;           // open while being written
    std::string temporary;  // the file written, renamed at the end; empty when written directly
    std::string target;     // the file the temporary replaces
    void *pending;          // its entry among the files to remove on a failure
};

// Opens the named output for binary writing, with a large buffer so that it
// reaches the system in few large writes. Fails with `failure` when it
// cannot be created.
Status OpenOutput(const char *name, const char *failure, Output *out);

// The same for an output that another library writes by name (HDF5): no
// stream is opened; out->temporary, or out->target when written directly,
// is the path to write. The file exists, empty, when this succeeds.
Status ReserveOutput(const char *name, const char *failure, Output *out);

// The path the writer of a reserved output writes to.
const std::string &OutputPath(const Output &out);

// Writes a block; fails with `failure` when it does not complete. Large
// blocks bypass the stream's buffer (after flushing it), so the bytes reach
// the output in order and are copied once.
Status WriteBlock(FILE *out, const void *data, std::size_t bytes, const char *failure);

// Flushes the output and closes it (standard output is flushed, not
// closed). Any write that failed, now or earlier while buffered, fails with
// `failure`: a full disk must never end in exit status 0.
Status CloseOutput(Output *out, const char *failure);

// Renames the closed temporary file over its target; nothing for an output
// written directly.
Status CommitOutput(Output *out, const char *failure);

// Flushes standard output, for a program whose result is text printed
// there; fails with `failure` when any write to it failed.
Status FlushStandardOutput(const char *failure);

// CloseOutput, then CommitOutput: the end of a successful output.
Status FinishOutput(Output *out, const char *failure);

// Closes the output if it is open and removes its temporary file: the
// target stays as it was.
void AbandonOutput(Output *out);

// Removes every temporary file not yet renamed. Error calls it before the
// process ends, the signal handler when a signal ends it, and a caller that
// runs program entries one after another in one process after each run.
void RemovePendingOutputs();

// Whether writing the named output would write into the regular file that
// `in` reads: only an output written directly can (standard output opened
// on the input, "- 1<>in.sg"); a named regular file goes to a temporary
// file and replaces the input only when complete. A program that still
// reads `in` while it writes must refuse such an output.
bool WritesInto(FILE *in, const char *output);
