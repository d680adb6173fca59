// The platform rectangle: four 32-bit edges, read as the canvas or the caller's convention says.
#pragma once

#include <cstdint>

namespace platform {

// The canvas reads a rectangle with its right column and bottom row excluded; control and hit
// rectangles of the program include all four edges. The type carries no convention itself.
struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

}  // namespace platform
