// The platform point: two 32-bit coordinates, as polygons and pen positions use them.
#pragma once

#include <cstdint>

namespace platform {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

}  // namespace platform
