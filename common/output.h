// Outputs named on the command line, written so that a failure never
// destroys what was there before.
//
// A name that is a regular file, or names nothing yet, is written to a new
// temporary file in the same folder (".<name>.XXXXXX") and renamed over the
// name only after its last write, flush and close succeeded. A failure that
// ends the process (Error), and every signal whose default action ends the
// process (SIGKILL aside), remove the temporary file: the old file stays as
// it was. A signal the process started with ignored stays ignored. A
// symbolic link is followed, so the file it points to is replaced and the
// link stays. The new file keeps the old one's permission bits, and its
// owner and group where the process may give them (a new name gets 0666
// less the umask); a file that may not be written is refused as fopen
// would refuse it, and one whose folder may not be written is refused with
// the reason. A file with other hard links is replaced by a new file under
// this name: the other names keep the old contents.
//
// Standard output ('-': a name whose first character is '-') and names that
// are not regular files (a FIFO, /dev/null, a device, a dangling link) are
// written directly: what went there before a failure stays there.
#pragma once

#include <cstddef>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include <sys/types.h>

#include "status.h"

struct Output {
    FILE *stream;           // open while being written
    std::string temporary;  // the file written, renamed at the end; empty when written directly
    std::string target;     // the file the temporary replaces
    void *pending;          // its entry among the files to remove on a failure
    // Where the temporary's target is: its folder, and the old file when
    // there is one (0 0 when none), to tell two outputs naming one file.
    dev_t folder_device;
    ino_t folder_inode;
    dev_t file_device;
    ino_t file_inode;
};

// Opens the named output for binary writing, with a large buffer so that it
// reaches the system in few large writes. Fails when it cannot be created:
// with "<name>: cannot create (<the system's reason>)." when `failure`
// starts with "<name>: " (the toolkit's form), else with `failure` as given
// (the fixed texts of the first programs, "file not open.").
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

// Renames a set of closed temporary files over their targets, all or
// none as far as the process can tell: every target is checked first (a
// directory now in its place, its folder no longer writable, the temporary
// gone), failing with "<target>: <failure>" before any rename, and the
// signals are held back while the renames run, so a signal ends the process
// before the first or after the last. A power cut can still leave some
// renamed and the rest not: the system need not keep the order.
Status CommitOutputSet(Output *files, std::size_t count, const char *failure);

// The files a run's outputs replace, so that no two outputs of one run
// replace one file (the second would silently take the first's place).
struct OutputNames {
    std::set<std::tuple<dev_t, ino_t, std::string>> places;  // folder and name
    std::set<std::pair<dev_t, ino_t>> files;                  // existing files
};

// Notes an output; false when an earlier one replaces the same file: the
// same name in the same folder however it was spelled, or two names
// (links) of one existing file. Outputs written directly always pass.
bool NoteOutputName(const Output &out, OutputNames *names);

// Whether a named output replaces the file standard output writes to
// ("sino_fold in.sg 1.5 out.sg > out.sg"): what went to standard output
// would be lost with the old file.
bool ReplacesStandardOutput(const Output &out);

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
