// WindowSystem: what the windows need of the X server beyond SDL: true origins, pointer grabs.
#pragma once

#include <cstdint>

#include "platform/draw/Point.h"

struct SDL_Window;

namespace platform {

// A pointer event as the X server sent it: the window it was sent to, and the pointer's place
// relative to that window and to the screen at the moment the event happened, in the server's
// own pixels (not divided by the display scale).
struct PointerReport {
    enum class Kind { none, motion, press, release, crossing };
    Kind kind = Kind::none;
    std::uint64_t window = 0;
    Point inWindow;
    Point onScreen;
    // A crossing that tells that a grab of the pointer has just ended.
    bool grabEnded = false;
};

// Internal to the window layer. Every function is a no-op (false, 0) where the window system
// is not X11, so the layer falls back to what SDL reports.
class WindowSystem {
  public:
    // Asks SDL to hand over the X server's own events (SDL_SYSWMEVENT) next to its own.
    static void enableNativeEvents();
    // The native (X) window of an SDL window, or 0.
    static std::uint64_t nativeWindow(SDL_Window* window);
    // The client area's top-left corner on the screen, as the X server has it now.
    static bool clientOrigin(SDL_Window* window, Point& origin);
    // Reads a native event: a pointer event fills `report`. True for a pointer event.
    static bool readPointerEvent(const void* sdlEvent, PointerReport& report);
    // Whether the native event says that a window was mapped, moved or given a new parent, so
    // that its origin may have changed; fills the native window.
    static bool isPlacementEvent(const void* sdlEvent, std::uint64_t& window);
    // Writes the window's state for the window manager before it is mapped: out of the task bar
    // (and pager), modal to the window it is transient for. A window manager removes the state
    // of a window it stops managing, so it is written before every map.
    static void setStateBeforeMap(SDL_Window* window, bool skipTaskbar, bool modal);
    // Sends every pointer event of the screen to this window (events over the program's own
    // windows still go to them), as a desktop menu holds the pointer while it is open.
    static bool grabPointer(SDL_Window* window);
    static void ungrabPointer(SDL_Window* window);
    // The window that holds the keyboard focus now, as the X server (of this window) has it;
    // 0 when none does or where it cannot be asked.
    static std::uint64_t focusedWindow(SDL_Window* window);
    // Whether the X server (of this window) holds a mouse button down now; false where it cannot
    // be asked.
    static bool pointerButtonHeld(SDL_Window* window);
    // Whether a window manager that follows the desktop conventions (EWMH) runs on the display:
    // it has announced itself on the root window.
    static bool managerRuns(SDL_Window* window);
    // Whether the running window manager offers the named feature ("_NET_WM_MOVERESIZE", ...)
    // in its list of supported ones.
    static bool managerSupports(SDL_Window* window, const char* feature);
    // Notes the X server time of a user's key or button press among the native events, the
    // time the window manager weighs focus requests by.
    static void noteInputTime(const void* sdlEvent);
    // Writes the hints a window manager reads when it maps the window: the place the program
    // asks for (in the server's pixels), and the time of the user's last input, so that a
    // window opened by a click or a key counts as the user's own.
    static void setHintsBeforeMap(SDL_Window* window, int x, int y);
    // Whether the window's X server can hold a picture as the window's background: an X11
    // window, so that a picture painted before the map is what the server shows from the map on.
    static bool holdsBackgrounds(SDL_Window* window);
    // Makes the window's surface, as it is now, the window's background: the X server paints
    // it wherever the window is exposed, before the program is told of it. False where that
    // cannot be done; the window then keeps no background.
    static bool holdSurfaceAsBackground(SDL_Window* window);
    // Gives the window no background again: the server leaves exposed parts as they are until
    // the program paints them, as it does for a window made by SDL.
    static void dropBackground(SDL_Window* window);
    // Whether the window and all its ancestors are mapped, so that its contents can be seen.
    static bool viewable(SDL_Window* window);
    // Asks the window manager to raise and focus the window, with the time of the user's last
    // input (_NET_ACTIVE_WINDOW). False where there is no window manager to ask or no input yet.
    static bool requestActivation(SDL_Window* window);
    // The X server's Xft.dpi resource (the desktop's text resolution), asked over a connection
    // of its own to the display SDL uses; 0 when the server has none or cannot be reached.
    static double xftDpi();
};

}  // namespace platform
