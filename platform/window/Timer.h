// A window timer: calls its handler every interval, from message processing.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// A timer fires only while the application processes messages (Application::processMessages
// and the loops built on it), never on a thread of its own. An interval that passes several
// times without message processing fires once; the next interval counts from that firing. A
// handler that runs a loop of its own is not fired again from inside it. A new timer is
// enabled with an interval of 1000 ms, counting from its construction.
class Timer {
  public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // A new interval or a switch to enabled starts the count again from now. 0 never fires.
    void setInterval(std::uint32_t ms);
    std::uint32_t interval() const { return intervalMs; }
    void setEnabled(bool on);
    bool enabled() const { return isEnabled; }
    void setHandler(std::function<void()> handler) { onTimer = std::move(handler); }

    // Called by the application with the current clock: fires when an interval has passed.
    void fireIfDue(std::uint32_t now);
    // Milliseconds until the next firing (0 when due), or UINT32_MAX when it cannot fire.
    std::uint32_t msUntilDue(std::uint32_t now) const;

  private:
    std::function<void()> onTimer;
    std::uint32_t intervalMs = 1000;
    std::uint32_t startedAt = 0;
    bool isEnabled = true;
    bool firing = false;
    // Points at a flag of a running fireIfDue, which must not touch the timer after a handler
    // destroyed it.
    bool* destroyedWhileFiring = nullptr;
};

}  // namespace platform
