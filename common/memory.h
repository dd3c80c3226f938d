// Memory of the programs: arrays from the heap, and large blocks that are
// touched at once. The arrays and blocks whose size follows the input (the
// samples, images, tables) go through here, so that a request beyond the
// machine is a failure the program reports, and what a run left behind can
// be taken back (ReleaseRunMemory). Small working arrays (std::vector,
// FFTW's plans and work arrays) come from their own allocators.
#pragma once

#include <cstddef>

// Every array and block here (lasting ones aside) counts against the
// machine's physical memory: a block touched at once (AllocateBlock) that
// would take the run past it gets nullptr before any of it is touched.
// Arrays and reserved blocks are touched as data arrive, so a header that
// promises more than follows fails on its data instead.

// Whether `bytes` more fit beside what the run holds: for a program that
// knows the sum of its next allocations, so that none is touched when
// they cannot all be had.
bool MemoryFits(double bytes);

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

// The same for a block that lives as long as the process (a standard
// stream's buffer): ReleaseRunMemory leaves it alone.
void *AllocateLastingBlock(std::size_t bytes);

// A zero-filled block whose pages are not yet in place: memory is committed
// only as it is touched, so a header that promises more data than follows
// costs no more than the data. TouchBlock puts a range's pages in place in
// one call (best effort: untouched pages still fault in on first use).
// Release it with ReleaseBlock and the same size.
void *ReserveBlock(std::size_t bytes);
void TouchBlock(void *start, std::size_t bytes);

// Releases everything still allocated. The programs leave their memory to
// the process exit on a failure; a caller that runs program entries one
// after another in one process (the fuzz targets) calls this after each.
void ReleaseRunMemory();
