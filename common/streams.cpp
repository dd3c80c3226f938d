#include "streams.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

#include "blocks.h"
#include "memory.h"

namespace {

// Streams the current run opened and has not closed, for CloseRunStreams,
// with the buffers EnlargeBuffer gave them.
struct OpenStream {
    FILE *stream;
    void *buffer;
};
std::vector<OpenStream> open_streams;

// Buffers of closed streams, kept for the next one: a run that writes a
// file per detector row, one after another, puts one buffer's pages in
// place rather than one buffer per file.
std::vector<void *> spare_buffers;

}  // namespace

void EnlargeBuffer(FILE *stream) {
    // glibc ignores setvbuf's size unless the buffer is passed in. A standard
    // stream shared by two inputs keeps the buffer it got first (setvbuf is
    // only allowed before any I/O).
    if (__fbufsize(stream) >= kStreamBuffer) return;
    // The buffer outlives the stream's use: exit may still flush it after an
    // Error. A standard stream's lasts as long as the process; a file's
    // belongs to the run, and goes back to the spares when the file is
    // closed (CloseStream, CloseRunStreams).
    if (stream == stdin || stream == stdout) {
        void *buffer = AllocateLastingBlock(kStreamBuffer);
        if (buffer != nullptr) std::setvbuf(stream, static_cast<char *>(buffer), _IOFBF, kStreamBuffer);
        return;
    }
    for (std::size_t i = open_streams.size(); i-- > 0;) {
        if (open_streams[i].stream != stream) continue;
        void *buffer = nullptr;
        if (!spare_buffers.empty()) {
            buffer = spare_buffers.back();
            spare_buffers.pop_back();
        } else {
            buffer = AllocateBlock(kStreamBuffer);
        }
        if (buffer == nullptr) return;  // the default buffer works, only slower
        open_streams[i].buffer = buffer;
        std::setvbuf(stream, static_cast<char *>(buffer), _IOFBF, kStreamBuffer);
        return;
    }
}

void RememberStream(FILE *stream) {
    if (stream != stdin && stream != stdout) open_streams.push_back(OpenStream{stream, nullptr});
}

int CloseStream(FILE *stream) {
    void *buffer = nullptr;
    for (std::size_t i = 0; i < open_streams.size(); ++i) {
        if (open_streams[i].stream == stream) {
            buffer = open_streams[i].buffer;
            open_streams[i] = open_streams.back();
            open_streams.pop_back();
            break;
        }
    }
    int closed = std::fclose(stream);
    if (buffer != nullptr) spare_buffers.push_back(buffer);
    return closed;
}

void CloseRunStreams() {
    while (!open_streams.empty()) {
        std::fclose(open_streams.back().stream);
        if (open_streams.back().buffer != nullptr) ReleaseBlock(open_streams.back().buffer, kStreamBuffer);
        open_streams.pop_back();
    }
    for (void *buffer : spare_buffers) ReleaseBlock(buffer, kStreamBuffer);
    spare_buffers.clear();
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
    if (in != stdin) CloseStream(in);
}
