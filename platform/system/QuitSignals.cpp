// Quit signals: a handler that only notes the request, read back by the message processing.
#include "platform/system/QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace platform {

namespace {

// Lock-free, so that the handler (on whichever thread the signal lands) may set it.
std::atomic<bool> quitAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The handler writes a byte here for each signal; the waking thread reads them. -1 until
// catchQuitSignals made the pipe.
int quitPipe[2] = {-1, -1};

void noteQuit(int) {
    quitAsked.store(true);
    if (quitPipe[1] < 0) return;
    const int saved = errno;
    const char byte = 'q';
    // A full pipe already holds a wake-up; the byte may be dropped.
    [[maybe_unused]] const ssize_t written = write(quitPipe[1], &byte, 1);
    errno = saved;
}

// Made by whichever of catchQuitSignals and wakeOnQuitSignal comes first.
bool makePipe() {
    if (quitPipe[0] >= 0) return true;
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    quitPipe[0] = ends[0];
    quitPipe[1] = ends[1];
    return true;
}

void wakeForEachSignal(void (*wake)()) {
    char byte = 0;
    for (;;) {
        const ssize_t got = read(quitPipe[0], &byte, 1);
        if (got == 1) wake();
        if (got == 0 || (got < 0 && errno != EINTR)) return;
    }
}

}  // namespace

void catchQuitSignals() {
    makePipe();
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

void wakeOnQuitSignal(void (*wake)()) {
    static std::atomic<bool> started{false};
    if (wake == nullptr || !makePipe() || started.exchange(true)) return;
    // The thread blocks in read until a signal comes and lives as long as the process.
    std::thread(wakeForEachSignal, wake).detach();
}

}  // namespace platform
