// Linked into every program's executable: in a threaded program it makes
// waiting threads sleep rather than spin, unless the user chose a policy
// with OMP_WAIT_POLICY (a program without threads never reads it).
//
// Why: on a shared machine a spinning thread holds its core while the thread
// it waits for is descheduled; with the other core busy, two threads ran
// slower than one (most of their time in the runtime's spin-wait). Sleeping
// costs a wake-up per parallel region, which is nothing beside the work of a
// region here.
//
// The runtime reads the variable once, in its own constructor. The programs
// carry the runtime inside (the top CMakeLists.txt links GCC's libgomp.a), so
// that constructor is one of the program's, and this one, of the first
// priority, runs before it.
#include <cstdlib>

namespace {

__attribute__((constructor(101))) void PreferPassiveWaiting() { setenv("OMP_WAIT_POLICY", "passive", 0); }

}  // namespace
