// The screen: the size of the main display and how many displays there are.
#pragma once

namespace platform {

class Screen {
  public:
    // The primary display's size in designed pixels (its own pixels divided by the display
    // scale); 0 when no display can be reached.
    static int width();
    static int height();
    // The number of displays (monitors); 0 when none can be reached.
    static int monitorCount();
};

}  // namespace platform
