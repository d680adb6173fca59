// Screen: the primary display's size and the number of displays.
#include "platform/window/Screen.h"

#include <SDL2/SDL.h>

#include "platform/window/Application.h"
#include "platform/window/DisplayScale.h"

namespace platform {

namespace {

SDL_DisplayMode primaryMode() {
    SDL_DisplayMode mode{};
    if (!Application::instance().startVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return SDL_DisplayMode{};
    return mode;
}

}  // namespace

// The mode is read first: starting the window system chooses the scale.
int Screen::width() {
    const int pixels = primaryMode().w;
    return pixels / DisplayScale::factor();
}

int Screen::height() {
    const int pixels = primaryMode().h;
    return pixels / DisplayScale::factor();
}

int Screen::monitorCount() {
    if (!Application::instance().startVideo()) return 0;
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? count : 0;
}

}  // namespace platform
