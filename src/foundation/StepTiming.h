// Step timing of one launch, for the launch benchmark only. The benchmark
// build of the launcher (vexa-steps.exe, the same sources compiled with
// VEXA_STEP_TIMING) records the end of every step of init and run; the
// shipped launcher compiles every mark to nothing.
//
// A step's time is the time since the previous mark, so marks are placed
// only on a path that runs one step after another (the process entry
// thread, and the Java main thread while the entry thread waits for it).
#pragma once

#ifdef VEXA_STEP_TIMING

namespace vexa::steps {

// Ends the step named `name` (a string literal) now.
void mark(const char* name);
// Writes the recorded steps to the file named by VEXA_STEP_LOG, one
// "name<TAB>milliseconds" line each, the first being the time from process
// creation to the first mark.
void report();

}  // namespace vexa::steps

#define VEXA_STEP(name) ::vexa::steps::mark(name)
#define VEXA_STEP_REPORT() ::vexa::steps::report()

#else

#define VEXA_STEP(name) ((void)0)
#define VEXA_STEP_REPORT() ((void)0)

#endif
