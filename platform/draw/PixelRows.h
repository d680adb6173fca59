// A view of 24-bit blue-green-red pixel rows, the one picture format the platform layer shares.
#pragma once

namespace platform {

// Row y starts at rows[y]; each pixel is three bytes, blue, green, red, left to right. Rows need
// not be contiguous. The view owns nothing.
struct PixelRows {
    unsigned char* const* rows = nullptr;
    int width = 0;
    int height = 0;

    bool valid() const { return rows != nullptr && width > 0 && height > 0; }
};

}  // namespace platform
