// The millisecond clock, sleeping, and the timer resolution requests of the main loop.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary fixed point (system start), from a monotonic clock: it never
// jumps when the wall clock is set. Wraps around after about 49.7 days, so compare two readings
// by their unsigned difference.
std::uint32_t clockMilliseconds();

// Suspends the calling thread for at least the given number of milliseconds.
void sleepMilliseconds(std::uint32_t ms);

// Requests and releases a finer timer resolution. Sleeping is already precise to well under a
// millisecond on Linux, so both are no-ops kept so that callers read the same everywhere.
void beginTimerResolution(std::uint32_t ms);
void endTimerResolution(std::uint32_t ms);

}  // namespace platform
