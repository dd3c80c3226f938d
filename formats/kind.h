// What kind of file a stream or a file holds, told from its first bytes: the
// one place the toolkit sniffs a format.
#pragma once

#include <cstddef>
#include <cstdio>

enum class FileKind {
    kTiff,     // "II*\0" or "MM\0*", or BigTIFF's 43 for 42
    kHdf5,     // the HDF5 signature "\x89HDF\r\n\x1a\n"
    kUnknown,  // anything else: for the toolkit's readers, a sinogram or a profile
};

// The kind of the first `count` bytes of a file.
FileKind KindOf(const unsigned char *bytes, std::size_t count);

// The kind of an open stream, its first bytes read and put back (a pipe
// included), so that the reader that follows starts at the first byte.
FileKind PeekKind(FILE *in);

// The kind of a named file; kUnknown when it cannot be read (the reader
// that opens it then says why).
FileKind KindOfFile(const char *name);
