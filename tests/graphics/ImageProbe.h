// Helpers of the graphics tests: reading and writing single pixels of a Limage as 0x00BBGGRR.
#pragma once

#include "graphics/Limage.h"

inline int pixelAt(const Limage& image, int x, int y) {
    const unsigned char* p = image.rows[y] + x * 3;
    return p[2] | p[1] << 8 | p[0] << 16;
}

inline void setPixel(Limage& image, int x, int y, int colour) {
    unsigned char* p = image.rows[y] + x * 3;
    p[0] = colour >> 16 & 0xFF;
    p[1] = colour >> 8 & 0xFF;
    p[2] = colour & 0xFF;
}

// The number of pixels that differ from the colour.
inline int countOther(const Limage& image, int colour) {
    int n = 0;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            n += pixelAt(image, x, y) != colour;
    return n;
}

inline Limage filled(int w, int h, int colour) {
    Limage image;
    image.create(w, h);
    image.fill(colour);
    return image;
}
