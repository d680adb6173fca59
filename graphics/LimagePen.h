// LimagePen: the antialiased pen that plots points and rings straight into a Limage's pixels.
#pragma once

#include "platform/draw/Rect.h"

class Limage;

// One instance, `limagePen`, serves the whole process; it is not re-entrant. Set the target and
// the colour before drawing: both persist between calls.
class LimagePen {
  public:
    Limage* target = nullptr;  // not owned
    int blue = 0;
    int green = 0;
    int red = 0;
    platform::Rect clip;  // inclusive: 0, 0, width - 1, height - 1 of the target

    void setTarget(Limage& image);
    void setColour(int colour);

    // A point spread over the 2 x 2 block at (trunc x, trunc y), each pixel weighted by its
    // corner's distance from (x, y). The whole block must lie inside the clip, else nothing.
    void plot(double x, double y);
    // A ring of plotted points round (cx, cy), the last one on the first; when filled, the
    // inscribed ellipse of the ring's box is first filled through the target's canvas.
    void circle(double cx, double cy, double radius, bool filled);

  private:
    int packedColour() const { return red | green << 8 | blue << 16; }
    void blendPixel(int x, int y, double w);
};

extern LimagePen limagePen;
