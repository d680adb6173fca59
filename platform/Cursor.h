// The mouse cursor: its position on the screen and the shapes a window can show.
#pragma once

#include "platform/Point.h"

namespace platform {

enum class CursorShape { standard, handPoint, sizeAll };

class Cursor {
  public:
    // The cursor's position in screen coordinates: the position of the last mouse event the
    // application handled, on any of its windows (with the popup menu open, anywhere on the
    // screen). Before the first event, the display's own report.
    static Point position();

    // Records the position of a handled mouse event; `reportedBySystem` is false for events
    // that did not come from the display (injected ones).
    static void noteEvent(const Point& screenPosition, bool reportedBySystem);

    // Makes the window system show the shape now (the form under the mouse calls this).
    static void apply(CursorShape shape);
};

}  // namespace platform
