#include "tiff_memory.h"

#include <cstring>
#include <new>

namespace {

TiffBytes *Of(thandle_t handle) { return static_cast<TiffBytes *>(handle); }

tmsize_t Read(thandle_t handle, void *buffer, tmsize_t size) {
    TiffBytes *t = Of(handle);
    if (size <= 0 || t->at >= t->bytes.size()) return 0;
    std::size_t n = t->bytes.size() - t->at;
    if (static_cast<std::size_t>(size) < n) n = static_cast<std::size_t>(size);
    std::memcpy(buffer, t->bytes.data() + t->at, n);
    t->at += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t Write(thandle_t, void *, tmsize_t) { return -1; }

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    TiffBytes *t = Of(handle);
    toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? t->at : t->bytes.size();
    // Positions past the end are allowed, as with a file; reads there get
    // nothing.
    t->at = static_cast<std::size_t>(base + offset);
    return t->at;
}

int Close(thandle_t) { return 0; }

toff_t Size(thandle_t handle) { return Of(handle)->bytes.size(); }

int Map(thandle_t, void **, toff_t *) { return 0; }

void Unmap(thandle_t, void *, toff_t) {}

}  // namespace

Status ReadAll(FILE *in, std::vector<unsigned char> *bytes) {
    unsigned char piece[1 << 16];
    std::size_t got;
    try {
        while ((got = std::fread(piece, 1, sizeof piece, in)) > 0) bytes->insert(bytes->end(), piece, piece + got);
    } catch (const std::bad_alloc &) {
        return Failure("memory allocation error.");
    }
    if (std::ferror(in) != 0) return Failure("data read error.");
    return Success();
}

TiffHandle OpenTiffBytes(TiffBytes *tiff) {
    tiff->at = 0;
    // "m": no mapping, every read goes through Read above.
    return TiffHandle(TIFFClientOpen("tiff", "rm", tiff, Read, Write, Seek, Close, Size, Map, Unmap));
}
