// The in-memory 24-bit bitmap: padded rows, their pointers, and the canvas aimed at them.
#include "platform/draw/Bitmap.h"

#include <cstddef>
#include <new>

namespace platform {

Bitmap::Bitmap() = default;

Bitmap::~Bitmap() = default;

bool Bitmap::create(int width, int height) {
    release();
    if (width < 1 || height < 1 || width > maxSide || height > maxSide) return false;
    const int stride = (width * 3 + 3) & ~3;
    try {
        storage.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
        rowPointers.resize(static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }
    for (int y = 0; y < height; ++y) {
        rowPointers[static_cast<std::size_t>(y)] =
            storage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    }
    bitmapWidth = width;
    bitmapHeight = height;
    rowStride = stride;
    drawingCanvas.setTarget(pixels());
    return true;
}

void Bitmap::release() {
    // Give the memory back, not only the size: a released bitmap should cost nothing.
    std::vector<unsigned char>().swap(storage);
    std::vector<unsigned char*>().swap(rowPointers);
    bitmapWidth = 0;
    bitmapHeight = 0;
    rowStride = 0;
    drawingCanvas.setTarget(PixelRows{});
}

unsigned char* Bitmap::row(int y) const {
    if (y < 0 || y >= bitmapHeight) return nullptr;
    return rowPointers[static_cast<std::size_t>(y)];
}

unsigned char* const* Bitmap::rows() const {
    return rowPointers.empty() ? nullptr : rowPointers.data();
}

PixelRows Bitmap::pixels() const {
    if (!isValid()) return PixelRows{};
    return PixelRows{rowPointers.data(), bitmapWidth, bitmapHeight};
}

}  // namespace platform
