// The mouse cursor: its position on the screen and the shapes a window can show.
#pragma once

#include "platform/Point.h"

namespace platform {

enum class CursorShape { standard, handPoint, sizeAll };

class Cursor {
  public:
    // The cursor's position in screen coordinates. Under a display that cannot report it (the
    // dummy driver of headless runs, or events injected by tests) it is the position of the
    // last mouse event the application handled.
    static Point position();

    // Records the position of a handled mouse event; `reportedBySystem` is false for events
    // that did not come from the display (injected ones), whose position is then taken as is.
    static void noteEvent(const Point& screenPosition, bool reportedBySystem);

    // Makes the window system show the shape now (the form under the mouse calls this).
    static void apply(CursorShape shape);
};

}  // namespace platform
