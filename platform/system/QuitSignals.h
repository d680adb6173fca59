// The signals that ask the program to end, caught so that it ends by its normal close path.
#pragma once

namespace platform {

// From now on SIGTERM, SIGINT and SIGHUP (closing the terminal, logging out) only note that the
// program was asked to end; Application's message processing then closes the main form, as a
// close from the window manager does. SIGPIPE is ignored, so that a closed pipe or terminal on
// standard error cannot end the program before it has saved. Call it before anything else
// starts, so that a signal at any moment takes that path; later calls change nothing.
void catchQuitSignals();

// Whether one of those signals arrived since the last call (several count as one).
bool takeQuitSignal();

}  // namespace platform
