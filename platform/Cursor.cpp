// Cursor: the screen position of the mouse and the system cursor shapes.
#include "platform/Cursor.h"

#include <SDL2/SDL.h>

#include "platform/Application.h"

namespace platform {

namespace {

Point lastEventPosition;
bool lastEventInjected = false;

}  // namespace

Point Cursor::position() {
    Application& app = Application::instance();
    if (!app.videoStarted() || !app.hasRealDisplay() || lastEventInjected) return lastEventPosition;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    return {x, y};
}

void Cursor::noteEvent(const Point& screenPosition, bool reportedBySystem) {
    lastEventPosition = screenPosition;
    lastEventInjected = !reportedBySystem;
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
