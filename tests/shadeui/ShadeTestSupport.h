// Helpers of the toolkit tests: a window canvas that records presents, and pixel reading.
#pragma once

#include <vector>

#include "graphics/Limage.h"
#include "platform/draw/Canvas.h"
#include "platform/window/WindowCanvas.h"

// Keeps what reached the "window": the clip of every draw and the picture drawn through it.
class RecordingCanvas : public platform::WindowCanvas {
  public:
    std::vector<platform::Rect> clips;
    platform::Rect clip{};
    bool clipped = false;

    void setClip(const platform::Rect& rect) override {
        clip = rect;
        clipped = true;
    }
    void clearClip() override { clipped = false; }
    bool hasClip() const override { return clipped; }
    void draw(int, int, const platform::PixelRows&) override {
        clips.push_back(clipped ? clip : platform::Rect{-1, -1, -1, -1});
    }
};

inline int pixelAt(const Limage& image, int x, int y) {
    const unsigned char* p = image.rows[y] + 3 * x;
    return p[2] | (p[1] << 8) | (p[0] << 16);
}

inline int countPixels(const Limage& image, int colour) {
    int n = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            n += pixelAt(image, x, y) == colour;
    return n;
}

inline bool samePixels(const Limage& a, const Limage& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++)
            if (pixelAt(a, x, y) != pixelAt(b, x, y)) return false;
    return true;
}
