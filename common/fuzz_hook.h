// The fuzzing build's way out of a failed run: Error calls this after its
// message instead of ending the process, and the fuzzing harness, which
// defines it, resumes with the next input. Other builds never see it.
#pragma once

[[noreturn]] void FuzzFailure();
