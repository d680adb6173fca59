// DisplayScale: the whole number by which every window is drawn larger on a dense screen.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Where a scale may come from, strongest first. A text is null when its source is not given.
struct ScaleSources {
    const char* option = nullptr;        // the command line's --scale value, as typed
    const char* brevantScale = nullptr;  // $BREVANT_SCALE
    const char* gdkScale = nullptr;      // $GDK_SCALE, the desktop's own whole-number scale
    // The X server's Xft.dpi resource, asked only when no text above gives a scale; 0 when the
    // server has none.
    std::function<double()> xftDpi;
};

struct ScaleChoice {
    int factor = 1;
    std::string source = "default";  // "--scale", "BREVANT_SCALE", "GDK_SCALE", "Xft.dpi"
    // One line each (without a line end) for a value that was given but could not be used.
    std::vector<std::string> warnings;
};

// Every window is its designed size times the factor on the screen, each designed pixel an
// N x N block. Above the window layer nothing knows of it: sizes, places and mouse positions
// there are designed pixels.
//
// The factor is chosen once, when the window system starts (Application::startVideo); until then
// it is 1. A form keeps the factor it was made with.
class DisplayScale {
  public:
    static constexpr int largest = 4;

    // The first source that gives a whole number from 1 to `largest`. A text that is not one
    // falls through to the next source with a warning; an empty variable counts as unset. The
    // dots per inch give dpi / 96 rounded to the nearest whole number, kept within 1..largest.
    static ScaleChoice choose(const ScaleSources& sources);
    // Reads "1" to "4" (digits only). False for anything else.
    static bool parse(const char* text, int& factor);
    static int fromDpi(double dpi);

    // The command line's --scale value, taken into the choice when the window system starts.
    static void request(const std::string& text);
    // Chooses the factor from the request, the environment and the X server's resources (asked
    // through `xftDpi`), and writes each warning on standard error. Only the first call chooses.
    static void chooseOnce(const std::function<double()>& xftDpi);

    static int factor();
    // "scale 2 (from GDK_SCALE)", for the program's log.
    static std::string description();

    // Uses this factor from now on, for the windows made afterwards, whatever was chosen. For
    // tests and benchmarks, which compare factors within one process.
    static void set(int factor);
};

// Division rounded toward minus infinity, as pixel blocks need: -1 / 2 is -1, not 0.
inline int floorDiv(int value, int divisor) {
    const int quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

}  // namespace platform
