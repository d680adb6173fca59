// Quit signals: a handler that only notes the request, read back by the message processing.
#include "platform/system/QuitSignals.h"

#include <signal.h>

#include <atomic>

namespace platform {

namespace {

// Lock-free, so that the handler (on whichever thread the signal lands) may set it.
std::atomic<bool> quitAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void noteQuit(int) {
    quitAsked.store(true);
}

}  // namespace

void catchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = noteQuit;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes (a save in progress) go on instead of failing.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool takeQuitSignal() {
    return quitAsked.exchange(false);
}

}  // namespace platform
