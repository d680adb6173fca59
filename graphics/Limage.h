// Limage: the program's 24-bit raster, with an inclusive clip and the four table-driven copies.
#pragma once

#include <memory>

#include "graphics/BlendBank.h"
#include "platform/draw/PixelRows.h"

namespace platform {
class Bitmap;
class Canvas;
}  // namespace platform

// Each pixel is three bytes, blue, green, red, left to right; row y starts at rows[y] and rows
// are reached through that array only (they need not be contiguous). Colours are 0x00BBGGRR.
// An image is empty (0 x 0, no bitmap, clip x 0..-1, y 0..-1) until create or loadBitmap
// succeeds, and valid while rows is present. The copy operations never touch a destination
// pixel outside its clip rectangle.
class Limage {
  public:
    int clipX1 = 0;  // the clip, inclusive on all four sides, stored left, right, top, bottom
    int clipX2 = -1;
    int clipY1 = 0;
    int clipY2 = -1;
    bool centred = false;  // a copy to (x, y) puts this image's centre at (x, y)
    std::unique_ptr<unsigned char*[]> rows;
    int width = 0;
    int height = 0;
    std::unique_ptr<platform::Bitmap> bitmap;

    Limage();
    Limage(const Limage& other);
    Limage& operator=(const Limage& other);
    ~Limage();

    bool create(int newWidth, int newHeight);
    bool loadBitmap(const platform::Bitmap* source);
    void release();
    bool isValid() const { return rows != nullptr; }

    void resetClip();
    void setClip(int x1, int y1, int x2, int y2);
    void fill(int colour);
    void mirror();
    void setCentred() { centred = true; }

    // The drawing canvas of the bitmap. On an empty image it is a canvas over no pixels, which
    // draws nothing and measures text as usual.
    platform::Canvas& canvas();
    platform::PixelRows pixels() const { return {rows.get(), width, height}; }

    static void drawKeyed(const Limage& source, Limage& destination, int x, int y, int key);
    static void drawTinted(const Limage& source, Limage& destination, int x, int y, int key,
                           int tint, BlendTable tintTable);
    static void drawBlended(const Limage& source, Limage& destination, int x, int y,
                            BlendTable table);
    static void drawTintBlended(const Limage& source, Limage& destination, int x, int y,
                                BlendTable blendTable, int tint, BlendTable tintTable);

  private:
    struct Span;
    static bool place(const Limage& source, const Limage& destination, int x, int y, Span& span);
    bool adopt();
};
