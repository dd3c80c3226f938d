// The one failure path of every program.
#pragma once

#include <cstdio>
#include <string>

#include "status.h"

// Writes the message and a line feed to standard error and ends the process
// with exit status 1 through the normal exit, so open output streams are
// flushed. Outputs still being written (their temporary files, see
// output.h) are removed first, so a failure never replaces a good file.
[[noreturn]] void Error(const char *message);

// The same, with the message after a prefix naming the file it is about
// ("SG0 " + "data read error."); an empty prefix gives the message alone.
[[noreturn]] inline void ErrorAbout(const char *prefix, const char *message) {
    Error((std::string(prefix) + message).c_str());
}

// Ends the process with the status's message when it is a failure; a
// program's run.cpp calls it on what the libraries return.
inline void Check(const Status &status) {
    if (!status.ok()) Error(status.message.c_str());
}

// One line on standard error that does not end the run ("warning: ...").
inline void Warn(const std::string &line) { std::fprintf(stderr, "%s\n", line.c_str()); }
