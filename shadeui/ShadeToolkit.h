// The process-wide values of the shaded toolkit, shared by every container and control.
#pragma once

#include <cstdint>
#include <functional>

class ShadeFader;
class ShadeUI;

// The colour model: dark when true, light when false. Read by the container when it attaches to
// a window and by the control faces when they are rendered; set by the main window.
extern bool dark;

// The title colour base of the light model, and the main window's web-site text.
extern int accentColour;

// The fader that took the last press; a move while it is set changes that fader only. The
// container clears it on each press and on each release.
extern ShadeFader* capturedFader;

// Called after drawing into a window and on every pass of the popup windows' wait loops, so that
// the owner can redraw what lives outside a container's raster (the main window's dial).
extern std::function<void()> idleHook;
// Milliseconds until the idle hook has something new to draw (0: now; UINT32_MAX: only after
// input). Unset, the hook is taken to need nothing.
extern std::function<std::uint32_t()> idleWaitHook;

// The pause of a wait loop: until an event, a due timer or the idle hook's next work, and at
// most `ms` milliseconds (the loop's own next work).
void waitForIdleWork(std::uint32_t ms = UINT32_MAX);

// The container whose change handler is about to run, so a handler shared by several windows
// can find its container.
extern ShadeUI* currentContainer;
