// A 24-bit blue-green-red bitmap in memory, with its own row pointers and drawing canvas.
#pragma once

#include <vector>

#include "platform/draw/Canvas.h"
#include "platform/draw/PixelRows.h"

namespace platform {

// Each row is padded to a multiple of 4 bytes; the padding is never drawn on. The rows are
// reachable through row() and pixels(); a caller may keep its own copy of the row pointers,
// which stay valid until the next create() or release(). Not copyable: an owner that is copied
// makes a new bitmap and copies the pixels.
class Bitmap {
  public:
    // The largest width or height create() accepts; beyond it the memory a picture takes is no
    // longer a picture's.
    static constexpr int maxSide = 30000;

    Bitmap();
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // Makes a new bitmap of the given size with every pixel black. False, and the bitmap empty,
    // when a side is below 1 or above maxSide or the memory cannot be had.
    bool create(int width, int height);
    void release();

    bool isValid() const { return !rowPointers.empty(); }
    int width() const { return bitmapWidth; }
    int height() const { return bitmapHeight; }
    // Bytes from the start of one row to the next, including the padding.
    int stride() const { return rowStride; }

    // The first byte of row y counted from the top, or nullptr when y is outside the bitmap.
    unsigned char* row(int y) const;
    // The row pointer array itself (height() entries), or nullptr when empty.
    unsigned char* const* rows() const;
    PixelRows pixels() const;

    // The canvas that draws on this bitmap. Its attributes (pen, brush, font) survive a new
    // create(); its target follows the new rows.
    Canvas& canvas() { return drawingCanvas; }
    const Canvas& canvas() const { return drawingCanvas; }

  private:
    std::vector<unsigned char> storage;
    std::vector<unsigned char*> rowPointers;
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    int rowStride = 0;
    Canvas drawingCanvas;
};

}  // namespace platform
