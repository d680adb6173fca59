// ShadeControl: what every shaded control holds before it is set up: place, colours, targets.
#pragma once

#include "platform/draw/Rect.h"

class Limage;
namespace platform {
class Canvas;
class WindowCanvas;
}  // namespace platform

// The container fills these in before it sets a control up. The rectangle includes all four
// edges: Right = Left + width and Bottom = Top + height. Neither target is owned.
class ShadeControl {
  public:
    platform::Rect rect;
    int backColour = 0xFFFFFF;                       // every shade of the face derives from it
    int foreColour = 0;                              // caption, icon and label
    Limage* raster = nullptr;                        // the window's back buffer that draws go into
    platform::WindowCanvas* windowCanvas = nullptr;  // where a draw presents its rectangle

  protected:
    // Whether draws have somewhere to go: a valid back buffer and a window to show it on.
    bool canDraw() const;
    // Every drawing step of a face fills and outlines in one colour: pen, then brush.
    static void setColour(platform::Canvas& canvas, int colour);
};
