// Keys: the one table from SDL key codes to the virtual-key numbers the handlers receive.
#include "platform/window/Keys.h"

#include <SDL2/SDL.h>

namespace platform {

namespace {

struct KeyPair {
    SDL_Keycode sdl;
    int virtualKey;
};

// Keys whose SDL code is not a plain letter or digit. The "+" and "=" codes both map to the
// plus key: on layouts where "+" has a key of its own, SDL reports it as '+'.
constexpr KeyPair table[] = {
    {SDLK_BACKSPACE, vk::back},
    {SDLK_TAB, vk::tab},
    {SDLK_RETURN, vk::enter},
    {SDLK_RETURN2, vk::enter},
    {SDLK_KP_ENTER, vk::enter},
    {SDLK_ESCAPE, vk::escape},
    {SDLK_SPACE, vk::space},
    {SDLK_LSHIFT, vk::shift},
    {SDLK_RSHIFT, vk::shift},
    {SDLK_LCTRL, vk::control},
    {SDLK_RCTRL, vk::control},
    {SDLK_LALT, vk::alt},
    {SDLK_RALT, vk::alt},
    {SDLK_PAUSE, vk::pause},
    {SDLK_CAPSLOCK, vk::capsLock},
    {SDLK_PAGEUP, vk::pageUp},
    {SDLK_PAGEDOWN, vk::pageDown},
    {SDLK_END, vk::end},
    {SDLK_HOME, vk::home},
    {SDLK_LEFT, vk::left},
    {SDLK_UP, vk::up},
    {SDLK_RIGHT, vk::right},
    {SDLK_DOWN, vk::down},
    {SDLK_INSERT, vk::insert},
    {SDLK_DELETE, vk::del},
    {SDLK_KP_MULTIPLY, vk::multiply},
    {SDLK_KP_PLUS, vk::add},
    {SDLK_KP_MINUS, vk::subtract},
    {SDLK_KP_PERIOD, vk::decimal},
    {SDLK_KP_DECIMAL, vk::decimal},
    {SDLK_KP_DIVIDE, vk::divide},
    {SDLK_PLUS, vk::oemPlus},
    {SDLK_EQUALS, vk::oemPlus},
    {SDLK_KP_EQUALS, vk::oemPlus},
    {SDLK_MINUS, vk::oemMinus},
    {SDLK_SEMICOLON, vk::oemSemicolon},
    {SDLK_COMMA, vk::oemComma},
    {SDLK_PERIOD, vk::oemPeriod},
    {SDLK_SLASH, vk::oemSlash},
    {SDLK_BACKQUOTE, vk::oemTilde},
    {SDLK_LEFTBRACKET, vk::oemOpenBracket},
    {SDLK_BACKSLASH, vk::oemBackslash},
    {SDLK_RIGHTBRACKET, vk::oemCloseBracket},
    {SDLK_QUOTE, vk::oemQuote},
};

// The keypad digits run 1..9 then 0 in SDL's numbering.
int keypadDigit(SDL_Keycode code) {
    if (code == SDLK_KP_0) return vk::numpad0;
    if (code >= SDLK_KP_1 && code <= SDLK_KP_9) return vk::numpad0 + 1 + (code - SDLK_KP_1);
    return 0;
}

// What the keypad's digit and decimal keys are with NumLock off, from 0 to 9, then the point.
constexpr int keypadNavigation[] = {vk::insert, vk::end,   vk::down, vk::pageDown, vk::left,
                                    vk::clear,  vk::right, vk::home, vk::up,       vk::pageUp};

int keypadWithoutNumLock(SDL_Keycode code) {
    if (code == SDLK_KP_PERIOD || code == SDLK_KP_DECIMAL) return vk::del;
    const int digit = keypadDigit(code);
    return digit ? keypadNavigation[digit - vk::numpad0] : 0;
}

int functionKey(SDL_Keycode code) {
    if (code >= SDLK_F1 && code <= SDLK_F12) return vk::f1 + (code - SDLK_F1);
    return 0;
}

}  // namespace

int Keys::virtualKey(std::int32_t systemKeyCode, std::uint32_t systemModifiers) {
    const SDL_Keycode code = systemKeyCode;
    if (!(systemModifiers & KMOD_NUM))
        if (int navigation = keypadWithoutNumLock(code)) return navigation;
    if (code >= SDLK_a && code <= SDLK_z) return vk::letterA + (code - SDLK_a);
    if (code >= 'A' && code <= 'Z') return vk::letterA + (code - 'A');
    if (code >= SDLK_0 && code <= SDLK_9) return vk::digit0 + (code - SDLK_0);
    if (int digit = keypadDigit(code)) return digit;
    if (int function = functionKey(code)) return function;
    for (const KeyPair& pair : table)
        if (pair.sdl == code) return pair.virtualKey;
    return 0;
}

ShiftState Keys::shiftFromModifiers(std::uint32_t systemModifiers) {
    ShiftState state = shift::none;
    if (systemModifiers & KMOD_SHIFT) state |= shift::shiftKey;
    if (systemModifiers & KMOD_ALT) state |= shift::alt;
    if (systemModifiers & KMOD_CTRL) state |= shift::ctrl;
    return state;
}

}  // namespace platform
