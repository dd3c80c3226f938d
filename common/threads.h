// How many threads a step starts: as many as OpenMP would, but no more than
// it has pieces of work. An absurd OMP_NUM_THREADS (a million, or a number
// that wraps) then costs idle threads only up to the work's size, instead of
// a team the runtime cannot start. Header-only, so that only the programs
// built with OpenMP link its runtime.
#pragma once

#ifdef _OPENMP
#include <omp.h>
#endif

inline int ThreadsFor(long long pieces) {
    long long threads = 1;
#ifdef _OPENMP
    threads = omp_get_max_threads();
#endif
    if (threads > pieces) threads = pieces;
    return threads < 1 ? 1 : static_cast<int>(threads);
}

// The calling thread's number within its team (0 outside a parallel
// region, and in a build without OpenMP): the index of its work array.
inline int ThreadIndex() {
#ifdef _OPENMP
    return omp_get_thread_num();
#else
    return 0;
#endif
}
