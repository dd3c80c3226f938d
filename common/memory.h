// Large blocks that are touched at once.
#pragma once

#include <cstddef>

// Returns a zero-filled block of at least the given size with its pages
// already in place (a few system calls instead of a fault per page), or
// nullptr when it cannot be had. Release it with ReleaseBlock and the same
// size.
void *AllocateBlock(std::size_t bytes);
void ReleaseBlock(void *block, std::size_t bytes);
