// What happens when the program loses its connection to the X display.
#pragma once

#include <functional>

namespace platform {

// The handler runs once when the display connection is lost, before the process ends with
// status 1: the program's last chance to keep what it must (its settings). No window can be
// used any more then. An empty handler (the default) only ends the process.
void setDisplayLostHandler(std::function<void()> handler);

// Makes Xlib's fatal connection error run the handler, say what happened on standard error and
// end the process with status 1, instead of only ending it; and makes a BadWindow error (a request
// on a window already destroyed) harmless instead of fatal. Application::startVideo calls it
// once SDL has connected to an X display.
void watchDisplayConnection();

}  // namespace platform
