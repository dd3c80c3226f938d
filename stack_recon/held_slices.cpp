#include "held_slices.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string &name) {
    std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

// Whole transfers at a 64-bit offset, resumed after a short one.
bool Transfer(int fd, char *bytes, std::size_t count, off_t at, bool writing) {
    while (count > 0) {
        ssize_t n = writing ? pwrite(fd, bytes, count, at) : pread(fd, bytes, count, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        count -= static_cast<std::size_t>(n);
        at += n;
    }
    return true;
}

off_t OffsetOf(const HeldSlices &held, int index) {
    return static_cast<off_t>(index) * static_cast<off_t>(held.floats * sizeof(float));
}

}  // namespace

Status HoldSlicesBeside(const std::string &name, std::size_t floats, HeldSlices *held) {
    held->floats = floats;
    held->write_failure = name + ": data write error.";
    held->read_failure = name + ": data read error.";
    std::string path = FolderOf(name) + "/.stack_recon_slices.XXXXXX";
    std::string buffer = path;
    int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0)
        return Failure("cannot create a temporary file beside " + name + " (" + std::strerror(errno) + ").");
    unlink(buffer.c_str());
    held->fd = fd;
    return Success();
}

Status PutHeldSlice(const HeldSlices &held, int index, const float *slice) {
    auto *bytes = reinterpret_cast<char *>(const_cast<float *>(slice));
    if (!Transfer(held.fd, bytes, held.floats * sizeof(float), OffsetOf(held, index), true))
        return Failure(held.write_failure);
    return Success();
}

Status GetHeldSlice(const HeldSlices &held, int index, float *slice) {
    if (!Transfer(held.fd, reinterpret_cast<char *>(slice), held.floats * sizeof(float), OffsetOf(held, index), false))
        return Failure(held.read_failure);
    return Success();
}

void ReleaseHeldSlices(HeldSlices *held) {
    if (held->fd >= 0) close(held->fd);
    held->fd = -1;
}
