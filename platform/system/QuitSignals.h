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

// Calls `wake` on a thread of its own after each of those signals, so that a thread asleep
// until its next event hears of the signal at once: a signal lands on any thread, and no wait
// can be cut short from inside a handler without a race. It may be called before or after
// catchQuitSignals; the first call starts the thread, later calls change nothing.
void wakeOnQuitSignal(void (*wake)());

}  // namespace platform
