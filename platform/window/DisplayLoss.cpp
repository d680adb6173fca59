// Display loss: Xlib's fatal I/O error handler, replaced by one that lets the program save.
#include "platform/window/DisplayLoss.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace platform {

namespace {

std::function<void()>& displayLostHandler() {
    static std::function<void()> handler;
    return handler;
}

// Xlib calls this when the connection breaks (the server ended or went away) and ends the
// process itself if it returns. The handler may not touch the display, so the process ends here,
// without running destructors that would: with status 1, as Xlib's own handler does.
int connectionLost(Display*) {
    static bool handled = false;
    if (!handled) {
        handled = true;
        std::fprintf(stderr, "%s: lost the connection to the display\n",
                     program_invocation_short_name);
        std::fflush(stderr);
        if (displayLostHandler()) displayLostHandler()();
    }
    std::fflush(nullptr);
    _exit(1);
}

}  // namespace

void setDisplayLostHandler(std::function<void()> handler) {
    displayLostHandler() = std::move(handler);
}

void watchDisplayConnection() {
    XSetIOErrorHandler(connectionLost);
}

}  // namespace platform
