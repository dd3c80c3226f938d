// Inputs named on the command line, and the standard streams. A name whose
// first character is '-' denotes standard input or standard output,
// whatever follows the '-'; the standard streams are never closed.
#pragma once

#include <cstdio>
#include <string>

#include "status.h"

bool IsStandardStream(const char *name);

// The prefix of messages about a named file ("slice.sg: "); `standard` (the
// program's own prefix, often empty) for a standard stream.
std::string NamePrefix(const char *name, const char *standard);

// Makes sure descriptors 0, 1 and 2 are open before anything else is: a file
// the program opens must never become its standard output or error. A
// closed one is taken by /dev/null opened for reading, so that writes to a
// closed standard output still fail, and are reported, instead of landing
// in a data file.
void ProtectStandardStreams();

// Opens an input ("r" or "rb"); fails with `failure` when the file cannot be
// opened.
Status OpenInput(const char *name, const char *mode, const char *failure, FILE **in);

// Closes an input unless it is standard input.
void CloseInput(FILE *in);

// Gives a stream a large buffer of its own, so that it reaches the system in
// few large reads or writes.
void EnlargeBuffer(FILE *stream);

// The files a run opened and has not closed, for CloseRunStreams: every
// stream but the standard ones is remembered when opened (before
// EnlargeBuffer) and closed through CloseStream, which returns fclose's
// result and keeps the stream's buffer for the next stream.
void RememberStream(FILE *stream);
int CloseStream(FILE *stream);

// Closes every file a run opened and left open when it failed (standard
// streams excepted), and gives back the spare buffers; for callers that run
// program entries one after another in one process.
void CloseRunStreams();
