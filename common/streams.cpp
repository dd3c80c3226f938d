#include "streams.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <stdio_ext.h>
#include <unistd.h>

#include "blocks.h"
#include "error.h"
#include "memory.h"

namespace {

// Gives a stream a large buffer of its own; glibc ignores setvbuf's size
// unless the buffer is passed in. A standard stream shared by two inputs
// keeps the buffer it got first (setvbuf is only allowed before any I/O).
void EnlargeBuffer(FILE *stream) {
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

// Streams the current run opened and has not closed, for CloseRunStreams.
std::vector<FILE *> open_streams;

void Remember(FILE *stream) {
    if (stream != stdin && stream != stdout) open_streams.push_back(stream);
}

void Forget(FILE *stream) {
    for (std::size_t i = 0; i < open_streams.size(); ++i) {
        if (open_streams[i] == stream) {
            open_streams[i] = open_streams.back();
            open_streams.pop_back();
            return;
        }
    }
}

}  // namespace

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

FILE *OpenInput(const char *name, const char *mode, const char *failure) {
    FILE *in = IsStandardStream(name) ? stdin : std::fopen(name, mode);
    if (in == nullptr) Error(failure);
    Remember(in);
    EnlargeBuffer(in);
    return in;
}

void CloseInput(FILE *in) {
    if (in == stdin) return;
    Forget(in);
    std::fclose(in);
}

bool IsSameFile(FILE *in, const char *output) {
    struct stat source, target;
    if (fstat(fileno(in), &source) != 0 || !S_ISREG(source.st_mode)) return false;
    int found = IsStandardStream(output) ? fstat(STDOUT_FILENO, &target) : stat(output, &target);
    return found == 0 && source.st_dev == target.st_dev && source.st_ino == target.st_ino;
}

FILE *OpenOutput(const char *name, const char *failure) {
    FILE *out = IsStandardStream(name) ? stdout : std::fopen(name, "wb");
    if (out == nullptr) Error(failure);
    Remember(out);
    EnlargeBuffer(out);
    return out;
}

void WriteBlock(FILE *out, const void *data, std::size_t bytes, const char *failure) {
    if (bytes < kDirectWrite) {
        if (bytes != 0 && std::fwrite(data, 1, bytes, out) != bytes) Error(failure);
        return;
    }
    // What the stream holds goes first, then the block itself.
    if (std::fflush(out) != 0) Error(failure);
    const char *next = static_cast<const char *>(data);
    while (bytes > 0) {
        ssize_t written = write(fileno(out), next, bytes);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Error(failure);
        next += written;
        bytes -= static_cast<std::size_t>(written);
    }
}

void FinishOutput(FILE *out, const char *failure) {
    bool failed = std::fflush(out) != 0 || std::ferror(out) != 0;
    if (out != stdout) {
        Forget(out);
        if (std::fclose(out) != 0) failed = true;
    }
    if (failed) Error(failure);
}
