// Key codes and shift states as the program's handlers receive them.
#pragma once

#include <cstdint>

namespace platform {

// Key codes are the Windows virtual-key numbers, so handlers read the same on every system.
namespace vk {
constexpr int back = 0x08, tab = 0x09, clear = 0x0C, enter = 0x0D, shift = 0x10, control = 0x11,
              alt = 0x12;
constexpr int pause = 0x13, capsLock = 0x14, escape = 0x1B, space = 0x20;
constexpr int pageUp = 0x21, pageDown = 0x22, end = 0x23, home = 0x24;
constexpr int left = 0x25, up = 0x26, right = 0x27, down = 0x28;
constexpr int insert = 0x2D, del = 0x2E;
constexpr int digit0 = 0x30;   // 0x30..0x39 for the digits above the letters
constexpr int letterA = 0x41;  // 0x41..0x5A for A..Z
constexpr int numpad0 = 0x60;  // 0x60..0x69 for the keypad digits
constexpr int multiply = 0x6A, add = 0x6B, subtract = 0x6D, decimal = 0x6E, divide = 0x6F;
constexpr int f1 = 0x70;  // 0x70..0x7B for F1..F12
constexpr int oemSemicolon = 0xBA, oemPlus = 0xBB, oemComma = 0xBC, oemMinus = 0xBD;
constexpr int oemPeriod = 0xBE, oemSlash = 0xBF, oemTilde = 0xC0;
constexpr int oemOpenBracket = 0xDB, oemBackslash = 0xDC, oemCloseBracket = 0xDD, oemQuote = 0xDE;
}  // namespace vk

// The shift state of a key or mouse event: modifier keys and mouse buttons held, as bits.
using ShiftState = std::uint32_t;
namespace shift {
constexpr ShiftState none = 0, shiftKey = 1, alt = 2, ctrl = 4;
constexpr ShiftState left = 8, right = 16, middle = 32;
}  // namespace shift

enum class MouseButton { left, right, middle };

// The one table from the window system's key codes to virtual-key numbers.
class Keys {
  public:
    // The virtual-key number of a window-system key code (an SDL keycode, which for printable
    // keys is the character the key types on the current layout), or 0 for a key without one.
    // Whatever key types "+" or "=" maps to oemPlus, so the plus key works on every layout.
    // The keypad's digit keys are digits only with NumLock on (in the modifier mask, an SDL
    // keymod); with it off they are the keys printed under the digits: Home, End, the arrows.
    static int virtualKey(std::int32_t systemKeyCode, std::uint32_t systemModifiers);
    // The shift bits of the window system's modifier mask (an SDL keymod).
    static ShiftState shiftFromModifiers(std::uint32_t systemModifiers);
};

}  // namespace platform
