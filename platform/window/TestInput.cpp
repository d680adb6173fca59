// TestInput: window events queued through SDL's own event queue, and reading the window back.
#include "platform/window/TestInput.h"

#include <SDL2/SDL.h>

#include "platform/window/Form.h"

namespace platform {

namespace {

// The buttons held by injected presses, so that injected moves carry them as real ones do.
Uint32 injectedButtons = 0;

Uint8 sdlButton(MouseButton button) {
    if (button == MouseButton::right) return SDL_BUTTON_RIGHT;
    if (button == MouseButton::middle) return SDL_BUTTON_MIDDLE;
    return SDL_BUTTON_LEFT;
}

Uint16 modifiers(ShiftState state, bool numLock = true) {
    Uint16 mod = numLock ? KMOD_NUM : KMOD_NONE;
    if (state & shift::shiftKey) mod |= KMOD_LSHIFT;
    if (state & shift::alt) mod |= KMOD_LALT;
    if (state & shift::ctrl) mod |= KMOD_LCTRL;
    return mod;
}

void pushButton(Form& form, Uint32 type, MouseButton button, int pixelX, int pixelY) {
    SDL_Event event{};
    event.type = type;
    event.button.windowID = form.windowId();
    event.button.which = TestInput::injectedMouse;
    event.button.button = sdlButton(button);
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = pixelX;
    event.button.y = pixelY;
    SDL_PushEvent(&event);
}

void pushMotion(Form& form, int pixelX, int pixelY) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = form.windowId();
    event.motion.which = TestInput::injectedMouse;
    event.motion.state = injectedButtons;
    event.motion.x = pixelX;
    event.motion.y = pixelY;
    SDL_PushEvent(&event);
}

void pushKey(Form& form, Uint32 type, SDL_Keycode code, ShiftState state, bool numLock = true) {
    SDL_Event event{};
    event.type = type;
    event.key.windowID = form.windowId();
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = code;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(code);
    event.key.keysym.mod = modifiers(state, numLock);
    SDL_PushEvent(&event);
}

void pushWindowEvent(Form& form, Uint8 what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = form.windowId();
    event.window.event = what;
    SDL_PushEvent(&event);
}

}  // namespace

void TestInput::mouseDown(Form& form, MouseButton button, int x, int y) {
    injectedButtons |= SDL_BUTTON(sdlButton(button));
    pushButton(form, SDL_MOUSEBUTTONDOWN, button, x * form.scale, y * form.scale);
}

void TestInput::mouseUp(Form& form, MouseButton button, int x, int y) {
    injectedButtons &= ~SDL_BUTTON(sdlButton(button));
    pushButton(form, SDL_MOUSEBUTTONUP, button, x * form.scale, y * form.scale);
}

void TestInput::mouseMove(Form& form, int x, int y) {
    pushMotion(form, x * form.scale, y * form.scale);
}

void TestInput::mouseMoveToWindowPixel(Form& form, int pixelX, int pixelY) {
    pushMotion(form, pixelX, pixelY);
}

void TestInput::mouseWheel(Form& form, int steps, int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = form.windowId();
    event.wheel.which = injectedMouse;
    event.wheel.y = steps;
    event.wheel.preciseY = static_cast<float>(steps);
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    event.wheel.mouseX = x * form.scale;
    event.wheel.mouseY = y * form.scale;
    SDL_PushEvent(&event);
}

bool TestInput::keyDown(Form& form, const std::string& keyName, ShiftState state, bool numLock) {
    const SDL_Keycode code = SDL_GetKeyFromName(keyName.c_str());
    if (code == SDLK_UNKNOWN) return false;
    pushKey(form, SDL_KEYDOWN, code, state, numLock);
    return true;
}

bool TestInput::keyUp(Form& form, const std::string& keyName, ShiftState state) {
    const SDL_Keycode code = SDL_GetKeyFromName(keyName.c_str());
    if (code == SDLK_UNKNOWN) return false;
    pushKey(form, SDL_KEYUP, code, state);
    return true;
}

void TestInput::keyDownCharacter(Form& form, char character) {
    pushKey(form, SDL_KEYDOWN, static_cast<unsigned char>(character), shift::none);
}

void TestInput::windowClose(Form& form) {
    pushWindowEvent(form, SDL_WINDOWEVENT_CLOSE);
}

void TestInput::quit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

void TestInput::expose(Form& form) {
    pushWindowEvent(form, SDL_WINDOWEVENT_EXPOSED);
}
void TestInput::focusLost(Form& form) {
    pushWindowEvent(form, SDL_WINDOWEVENT_FOCUS_LOST);
}
void TestInput::focusGained(Form& form) {
    pushWindowEvent(form, SDL_WINDOWEVENT_FOCUS_GAINED);
}

std::int32_t TestInput::windowPixel(Form& form, int x, int y) {
    SDL_Window* window = SDL_GetWindowFromID(form.windowId());
    SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
    if (!surface || x < 0 || y < 0 || x >= surface->w || y >= surface->h) return -1;
    const int bpp = surface->format->BytesPerPixel;
    const auto* at = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bpp;
    Uint32 value = 0;
    SDL_memcpy(&value, at, bpp);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(value, surface->format, &r, &g, &b);
    return std::int32_t(r) | (std::int32_t(g) << 8) | (std::int32_t(b) << 16);
}

}  // namespace platform
