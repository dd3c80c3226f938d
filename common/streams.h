// Inputs and outputs named on the command line. A name whose first character
// is '-' denotes standard input or standard output, whatever follows the '-';
// the standard streams are never closed.
#pragma once

#include <cstddef>
#include <cstdio>

bool IsStandardStream(const char *name);

// Makes sure descriptors 0, 1 and 2 are open before anything else is: a file
// the program opens must never become its standard output or error. A
// closed one is taken by /dev/null opened for reading, so that writes to a
// closed standard output still fail, and are reported, instead of landing
// in a data file.
void ProtectStandardStreams();

// Opens an input ("r" or "rb"); ends the process with `failure` when the file
// cannot be opened.
FILE *OpenInput(const char *name, const char *mode, const char *failure);

// Closes an input unless it is standard input.
void CloseInput(FILE *in);

// Whether writing the named output ('-': standard output) would write into
// the regular file `in` is being read from: by name, link or descriptor.
// A program that still reads `in` while it writes must refuse such an
// output, or it would truncate or overwrite its own input.
bool IsSameFile(FILE *in, const char *output);

// Opens an output for binary writing ("wb"); ends the process with `failure`
// when it cannot be created. Outputs get a large buffer, so that they reach
// the system in few large writes.
FILE *OpenOutput(const char *name, const char *failure);

// Writes a block; ends the process with `failure` when it does not complete.
// Large blocks bypass the stream's buffer (after flushing it), so the bytes
// reach the output in order and are copied once.
void WriteBlock(FILE *out, const void *data, std::size_t bytes, const char *failure);

// Flushes the output and closes it unless it is standard output. Any write
// that failed, now or earlier while buffered, ends the process with `failure`:
// a full disk must never end in exit status 0.
void FinishOutput(FILE *out, const char *failure);

// Closes every file a run opened and left open when it failed (standard
// streams excepted); for callers that run program entries one after another
// in one process.
void CloseRunStreams();
