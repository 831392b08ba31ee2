// The window framework: binds window and dialog objects to their handles.
#pragma once

namespace vexa {

// Releases the process-wide window-class bookkeeping at process exit.
void releaseWindowClasses();

}  // namespace vexa
