// One rendered character: its coverage bitmap, where it sits against the pen, and its advance.
#pragma once

#include <vector>

namespace platform {

// Coverage runs 0 (background) to 255 (full ink), width bytes per row, rows from the top.
// The bitmap's top-left pixel lies at (pen x + left, baseline - top).
struct FontGlyph {
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<unsigned char> coverage;
};

}  // namespace platform
