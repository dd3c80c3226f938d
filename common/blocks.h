// Block sizes of the toolkit, named once with the reason for each size.
// None of them changes a result: they decide only how work and input/output
// are cut into pieces.
#pragma once

#include <cstddef>

// The kernel's huge page: blocks of this size and more are mapped as whole
// huge pages and filled in one call (see memory.cpp).
inline constexpr std::size_t kHugePage = std::size_t{1} << 21;

// A stream's own buffer: 256 KiB, so text and small binary writes reach the
// system in few calls (glibc ignores setvbuf's size unless the buffer is
// passed in).
inline constexpr std::size_t kStreamBuffer = std::size_t{1} << 18;

// Blocks of at least 16 KiB are written straight to the descriptor: copying
// them through the stream's buffer would cost more than the call saves.
inline constexpr std::size_t kDirectWrite = std::size_t{1} << 14;

// A sink's staging block: one huge page, large enough that writes are few,
// small enough to be filled in one call.
inline constexpr std::size_t kSinkBytes = kHugePage;

// Samples read from a file in one piece (4 MiB): one system call per piece,
// and the memory committed ahead of the data stays small when a file is
// shorter than its header says.
inline constexpr std::size_t kReadPieceSamples = std::size_t{1} << 19;

// ax_recon's cosines per block of views: 1024 views keep the table at 8 KiB,
// in the first-level cache, whatever the view count.
inline constexpr int kCosineViews = 1024;

// sino_graft's columns per pass: a whole view of any usual width (64 Ki
// columns), and bounded memory for an absurd one.
inline constexpr int kGraftColumns = 1 << 16;
