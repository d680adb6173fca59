// Pixel rows with guard bytes all around them, to catch any write outside a picture.
#pragma once

#include <vector>

#include "platform/draw/PixelRows.h"

namespace platform {

// The rows lie in the middle of a larger buffer filled with a guard pattern: margin bytes
// left and right of each row and whole guard rows above and below.
class GuardedRows {
  public:
    static constexpr int margin = 64;
    static constexpr unsigned char guard = 0xA5;

    GuardedRows(int width, int height)
        : width(width),
          height(height),
          stride(3 * width + 2 * margin),
          buffer(static_cast<std::size_t>(stride) * (height + 2), guard) {
        for (int y = 0; y < height; ++y) {
            unsigned char* row = buffer.data() + static_cast<std::size_t>(y + 1) * stride + margin;
            for (int i = 0; i < 3 * width; ++i)
                row[i] = 0;
            pointers.push_back(row);
        }
    }

    PixelRows pixels() const { return PixelRows{pointers.data(), width, height}; }

    bool guardsIntact() const {
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            const std::size_t y = i / stride, x = i % stride;
            const bool inside = y >= 1 && y <= static_cast<std::size_t>(height) && x >= margin &&
                                x < static_cast<std::size_t>(margin + 3 * width);
            if (!inside && buffer[i] != guard) return false;
        }
        return true;
    }

  private:
    int width, height, stride;
    std::vector<unsigned char> buffer;
    std::vector<unsigned char*> pointers;
};

}  // namespace platform
