// Display loss: Xlib's fatal I/O error handler, replaced by one that lets the program save, and
// its protocol error handler, which no longer ends the program for a window that is gone.
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

XErrorHandler previousErrorHandler = nullptr;

// A request can name a window that was destroyed while it travelled (a dialog closing as a
// message about it goes out, a window manager's frame going away): X reports BadWindow, and
// Xlib's own handler would end the process for it. Nothing is lost by dropping such a request.
// Every other protocol error is left to the handler that was there before.
int protocolError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow) return 0;
    return previousErrorHandler ? previousErrorHandler(display, error) : 0;
}

}  // namespace

void setDisplayLostHandler(std::function<void()> handler) {
    displayLostHandler() = std::move(handler);
}

void watchDisplayConnection() {
    XSetIOErrorHandler(connectionLost);
    XErrorHandler previous = XSetErrorHandler(protocolError);
    if (previous != protocolError) previousErrorHandler = previous;
}

}  // namespace platform
