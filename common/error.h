// The one failure path of every program.
#pragma once

#include <string>

// Writes the message and a line feed to standard error and ends the process
// with exit status 1 through the normal exit, so open output streams are
// flushed and a partial output file keeps everything written before.
[[noreturn]] void Error(const char *message);

// The same, with the message after a prefix naming the file it is about
// ("SG0 " + "data read error."); an empty prefix gives the message alone.
[[noreturn]] inline void ErrorAbout(const char *prefix, const char *message) {
    Error((std::string(prefix) + message).c_str());
}
