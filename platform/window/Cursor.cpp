// Cursor: the screen position of the mouse and the system cursor shapes.
#include "platform/window/Cursor.h"

#include <SDL2/SDL.h>

#include "platform/window/Application.h"
#include "platform/window/DisplayScale.h"

namespace platform {

namespace {

Point lastEventPosition;
bool eventSeen = false;

}  // namespace

// The mouse events tell the position exactly, each at its moment. SDL's global query is only
// the fallback before any event: on X11 it refreshes its answer on raw input alone, which a
// warped pointer (a remote desktop, automation) never produces.
Point Cursor::screenPixel() {
    Application& app = Application::instance();
    if (eventSeen || !app.videoStarted() || !app.hasRealDisplay()) return lastEventPosition;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    return {x, y};
}

Point Cursor::position() {
    const Point pixel = screenPixel();
    const int scale = DisplayScale::factor();
    return {floorDiv(pixel.x, scale), floorDiv(pixel.y, scale)};
}

void Cursor::noteEvent(const Point& screenPixel) {
    lastEventPosition = screenPixel;
    eventSeen = true;
}

void Cursor::apply(CursorShape shape) {
    // System cursors are made once and kept for the life of the process.
    static SDL_Cursor* made[3] = {};
    static const SDL_SystemCursor ids[3] = {SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_HAND,
                                            SDL_SYSTEM_CURSOR_SIZEALL};
    const int index = static_cast<int>(shape);
    if (!Application::instance().videoStarted() || index < 0 || index > 2) return;
    if (!made[index]) made[index] = SDL_CreateSystemCursor(ids[index]);
    if (made[index]) SDL_SetCursor(made[index]);
}

}  // namespace platform
