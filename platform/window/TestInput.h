// TestInput: puts window events on the window system's queue, for tests without a desk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window/Keys.h"

namespace platform {

class Form;

// Each call queues one event exactly as the window system would deliver it; nothing is handled
// until Application::processMessages runs. Mouse coordinates are client coordinates of the
// form (the top-left window pixel of that client pixel at a display scale above 1); the cursor
// position (Cursor::position) follows the injected mouse events.
class TestInput {
  public:
    // The mouse id that marks injected mouse events.
    static constexpr std::uint32_t injectedMouse = 0x7E57;

    static void mouseDown(Form& form, MouseButton button, int x, int y);
    static void mouseMove(Form& form, int x, int y);
    static void mouseUp(Form& form, MouseButton button, int x, int y);
    // A move to a pixel of the window itself (at a display scale above 1, one of the N x N
    // window pixels of a client pixel, or one outside the window).
    static void mouseMoveToWindowPixel(Form& form, int pixelX, int pixelY);
    // Turns the wheel by whole steps over the client point, positive away from the user (up).
    static void mouseWheel(Form& form, int steps, int x, int y);
    // keyName is the window system's name of the key (SDL_GetKeyName: "Space", "Return",
    // "Keypad Enter", "Keypad +", "=", "A", "F5", "Left", ...). False for an unknown name.
    // Keys are typed with NumLock on unless asked otherwise.
    static bool keyDown(Form& form, const std::string& keyName, ShiftState shift = shift::none,
                        bool numLock = true);
    static bool keyUp(Form& form, const std::string& keyName, ShiftState shift = shift::none);
    // A key press by the character its key types (for layouts: '+' on its own key).
    static void keyDownCharacter(Form& form, char character);
    static void windowClose(Form& form);  // the window manager's close button
    static void quit();                   // SIGTERM, SIGINT or the end of the session
    static void expose(Form& form);       // the window needs painting
    static void focusLost(Form& form);    // another window took the focus
    static void focusGained(Form& form);

    // The pixel at (x, y) of the form's window as shown, 0x00BBGGRR; -1 outside or without one.
    // The coordinates are the window's own pixels, N x N of them to a client pixel at scale N.
    static std::int32_t windowPixel(Form& form, int x, int y);
};

}  // namespace platform
