// The mouse cursor: its position on the screen and the shapes a window can show.
#pragma once

#include "platform/draw/Point.h"

namespace platform {

enum class CursorShape { standard, handPoint, sizeAll };

class Cursor {
  public:
    // The cursor's position in screen coordinates: the position of the last mouse event the
    // application handled, on any of its windows (with the popup menu open, anywhere on the
    // screen). Before the first event, the display's own report. Like every screen coordinate
    // the program sees, it is in designed pixels: the screen's pixel divided by the display
    // scale, rounded down.
    static Point position();

    // Records the position of a handled mouse event, in the screen's own pixels.
    static void noteEvent(const Point& screenPixel);

    // Makes the window system show the shape now (the form under the mouse calls this).
    static void apply(CursorShape shape);

  private:
    friend class Form;
    // The position in the screen's own pixels.
    static Point screenPixel();
};

}  // namespace platform
