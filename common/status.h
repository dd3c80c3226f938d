// What library code returns instead of ending the process: success, or the
// one line a program prints before it ends with exit status 1. Only a
// program's run.cpp turns a failure into that end (Check, error.h).
#pragma once

#include <string>
#include <utility>

struct [[nodiscard]] Status {
    std::string message;  // empty on success
    bool ok() const { return message.empty(); }
};

inline Status Success() { return Status{}; }
inline Status Failure(std::string message) { return Status{std::move(message)}; }

// "<prefix><message>": the prefix names the file a message is about
// ("SG0 ", "scan.tif: ", or nothing).
inline Status FailureAbout(const std::string &prefix, const char *message) { return Status{prefix + message}; }

// "<name>: <message>", the way messages about one of several files read.
inline std::string About(const std::string &name, const char *message) { return name + ": " + message; }
