// Block sizes of the toolkit's input and output, named once with the reason
// for each size.
#pragma once

#include <cstddef>

// Samples read from a file in one piece: large enough that a read is one
// system call per 4 MiB, small enough that memory committed ahead of the
// data stays small when a file is shorter than its header says.
inline constexpr std::size_t kReadPieceSamples = std::size_t{1} << 19;
