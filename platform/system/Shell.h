// Opening a web address in the user's browser.
#pragma once

#include <string>

namespace platform {

// Hands the address to the desktop's opener (xdg-open) as a process of its own and returns at
// once: the caller never waits for the browser, and the opener's output goes to /dev/null, never
// to the terminal. The finished process is reaped in the background, so none lingers as a zombie.
// Returns whether the opener could be started; an empty address or one that starts with "-"
// (which the opener would take for an option) is refused.
bool openWebAddress(const std::string& address);

// Replaces the opener program (a name looked up in PATH, or a path). Tests point it at a script
// of their own so that no browser starts; an empty name restores xdg-open.
void setWebOpener(const std::string& program);

}  // namespace platform
