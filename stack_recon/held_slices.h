// Float slices held on disk until the whole volume is made: an integer
// volume scaled by the percentiles of every slice cannot write its first
// sample before the last slice exists, and the slices need not fit the
// memory budget. They go to a temporary file in the volume's folder that
// is removed from the folder as soon as it is created: it has no name, so
// nothing of it stays behind on any path out of the process (a failure, a
// signal, even SIGKILL), and its blocks return to the disk when it is
// closed or the process ends.
#pragma once

#include <cstddef>
#include <string>

#include "status.h"

struct HeldSlices {
    int fd = -1;
    std::size_t floats = 0;  // a slice's samples
    std::string write_failure, read_failure;  // "<volume>: data write error.", "... read error."
};

// Creates the file beside `name` (a file of the volume). Fails with
// "cannot create a temporary file beside <name> (<the system's reason>).".
Status HoldSlicesBeside(const std::string &name, std::size_t floats, HeldSlices *held);

// Writes or reads slice `index`, whole. Fail with "<volume>: data write
// error." (a full disk) or "<volume>: data read error.".
Status PutHeldSlice(const HeldSlices &held, int index, const float *slice);
Status GetHeldSlice(const HeldSlices &held, int index, float *slice);

// Closes the file, which gives its blocks back.
void ReleaseHeldSlices(HeldSlices *held);
