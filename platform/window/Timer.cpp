// Timer: a handler called every interval from the application's message processing.
#include "platform/window/Timer.h"

#include <SDL2/SDL.h>

#include <limits>

#include "platform/window/Application.h"

namespace platform {

Timer::Timer() : startedAt(SDL_GetTicks()) {
    Application::instance().addTimer(this);
}

Timer::~Timer() {
    if (destroyedWhileFiring) *destroyedWhileFiring = true;
    Application::instance().removeTimer(this);
}

void Timer::setInterval(std::uint32_t ms) {
    intervalMs = ms;
    startedAt = SDL_GetTicks();
}

void Timer::setEnabled(bool on) {
    if (on && !isEnabled) startedAt = SDL_GetTicks();
    isEnabled = on;
}

std::uint32_t Timer::msUntilDue(std::uint32_t now) const {
    if (!isEnabled || intervalMs == 0 || firing || !onTimer)
        return std::numeric_limits<std::uint32_t>::max();
    const std::uint32_t elapsed = now - startedAt;
    return elapsed >= intervalMs ? 0 : intervalMs - elapsed;
}

void Timer::fireIfDue(std::uint32_t now) {
    if (msUntilDue(now) != 0) return;
    // The count restarts before the handler runs, so a handler that takes long does not make
    // the timer fire again at once; the flag keeps the handler's own loops from re-firing it.
    startedAt = now;
    firing = true;
    bool destroyed = false;
    destroyedWhileFiring = &destroyed;
    std::function<void()> handler = onTimer;
    handler();
    if (destroyed) return;
    destroyedWhileFiring = nullptr;
    firing = false;
}

}  // namespace platform
