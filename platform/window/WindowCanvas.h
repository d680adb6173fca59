// The window canvas: how pictures in memory reach a window on the screen.
#pragma once

#include "platform/draw/PixelRows.h"
#include "platform/draw/Rect.h"

namespace platform {

// Every form has one (Form::canvas()). A back buffer is shown by drawing its rows at a point,
// usually through a clip rectangle around the part that changed. Each draw converts the
// blue-green-red rows to the window's own pixel format and puts on the screen only the
// rectangle it touched, so a small clip costs little however large the picture is. Drawing on
// a form without a window (no video, or not created) does nothing.
class WindowCanvas {
  public:
    virtual ~WindowCanvas() = default;

    // Limits the following draws to Left <= x < Right, Top <= y < Bottom in client
    // coordinates (right column and bottom row excluded), until clearClip.
    virtual void setClip(const Rect& rect) = 0;
    virtual void clearClip() = 0;
    virtual bool hasClip() const = 0;

    // Copies the picture with its top-left pixel at (x, y) of the client area, cut to the
    // clip and to the window, and shows that rectangle at once.
    virtual void draw(int x, int y, const PixelRows& picture) = 0;
    // The same for a picture that is mostly what the window shows already (the next frame of
    // an animation): only the smallest rectangle holding every pixel that differs is copied and
    // shown, and nothing when none does. Where the window cannot tell, it draws it all.
    virtual void drawChanged(int x, int y, const PixelRows& picture) { draw(x, y, picture); }
    // The same, told by the caller that the picture differs from the one it gave last time at
    // most inside `mayDiffer` (in picture coordinates): only that part needs comparing.
    virtual void drawChanged(int x, int y, const PixelRows& picture, const Rect& mayDiffer) {
        (void)mayDiffer;
        drawChanged(x, y, picture);
    }
};

}  // namespace platform
