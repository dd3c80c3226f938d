// Memory of the programs: arrays from the heap, and large blocks that are
// touched at once. Every allocation of the programs goes through here, so
// that the fuzzing build can take back what a run left behind.
#pragma once

#include <cstddef>

// An array of `count` elements of `size` bytes, not initialised; nullptr
// when it cannot be had, including when count * size overflows.
void *AllocateArray(std::size_t count, std::size_t size);
void ReleaseArray(void *array);

// Returns a zero-filled block of at least the given size with its pages
// already in place (a few system calls instead of a fault per page), or
// nullptr when it cannot be had. Release it with ReleaseBlock and the same
// size.
void *AllocateBlock(std::size_t bytes);
void ReleaseBlock(void *block, std::size_t bytes);

// A zero-filled block whose pages are not yet in place: memory is committed
// only as it is touched, so a header that promises more data than follows
// costs no more than the data. TouchBlock puts a range's pages in place in
// one call (best effort: untouched pages still fault in on first use).
// Release it with ReleaseBlock and the same size.
void *ReserveBlock(std::size_t bytes);
void TouchBlock(void *start, std::size_t bytes);

#ifdef CT_FUZZING
// Releases everything still allocated: the programs leave their memory to
// the process exit, which an in-process fuzzing run never reaches.
void FuzzReleaseAllocations();
#endif
