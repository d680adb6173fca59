// The millisecond clock and sleeping, over the kernel's monotonic clock.
#include "platform/system/Clock.h"

#include <cerrno>
#include <ctime>

namespace platform {

std::uint32_t clockMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // The reading is reduced modulo 2^32 on purpose: callers compare unsigned differences.
    std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                       static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void sleepMilliseconds(std::uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // A signal may cut the sleep short; sleep on for the time that is left.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void beginTimerResolution(std::uint32_t) {}

void endTimerResolution(std::uint32_t) {}

}  // namespace platform
