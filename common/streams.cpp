#include "streams.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

#include "blocks.h"
#include "memory.h"

namespace {

// Streams the current run opened and has not closed, for CloseRunStreams.
std::vector<FILE *> open_streams;

}  // namespace

void EnlargeBuffer(FILE *stream) {
    // glibc ignores setvbuf's size unless the buffer is passed in. A standard
    // stream shared by two inputs keeps the buffer it got first (setvbuf is
    // only allowed before any I/O).
    if (__fbufsize(stream) >= kStreamBuffer) return;
    // The buffer outlives the stream's use: exit may still flush it after an
    // Error. A standard stream's lasts as long as the process; a file's
    // belongs to the run (ReleaseRunMemory takes it back after
    // CloseRunStreams has closed the file).
    bool standard = stream == stdin || stream == stdout;
    void *buffer = standard ? AllocateLastingBlock(kStreamBuffer) : AllocateBlock(kStreamBuffer);
    if (buffer == nullptr) return;  // the default buffer works, only slower
    std::setvbuf(stream, static_cast<char *>(buffer), _IOFBF, kStreamBuffer);
}

void RememberStream(FILE *stream) {
    if (stream != stdin && stream != stdout) open_streams.push_back(stream);
}

void ForgetStream(FILE *stream) {
    for (std::size_t i = 0; i < open_streams.size(); ++i) {
        if (open_streams[i] == stream) {
            open_streams[i] = open_streams.back();
            open_streams.pop_back();
            return;
        }
    }
}

void CloseRunStreams() {
    while (!open_streams.empty()) {
        std::fclose(open_streams.back());
        open_streams.pop_back();
    }
}

void ProtectStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // open() returns the lowest free descriptor: this one.
            if (open("/dev/null", O_RDONLY) != fd) return;
        }
    }
}

bool IsStandardStream(const char *name) { return name[0] == '-'; }

std::string NamePrefix(const char *name, const char *standard) {
    return IsStandardStream(name) ? std::string(standard) : std::string(name) + ": ";
}

Status OpenInput(const char *name, const char *mode, const char *failure, FILE **in) {
    *in = IsStandardStream(name) ? stdin : std::fopen(name, mode);
    if (*in == nullptr) return Failure(failure);
    RememberStream(*in);
    EnlargeBuffer(*in);
    return Success();
}

void CloseInput(FILE *in) {
    if (in == stdin) return;
    ForgetStream(in);
    std::fclose(in);
}
