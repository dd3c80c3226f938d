// Large blocks that are touched at once.
#pragma once

#include <cstddef>

// Returns a zero-filled block of the given size with its pages already mapped
// (one system call instead of a page fault per 4 KiB), or nullptr when it
// cannot be had. Release it with ReleaseBlock and the same size.
void *AllocateBlock(std::size_t bytes);
void ReleaseBlock(void *block, std::size_t bytes);
