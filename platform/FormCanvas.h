// FormCanvas: the window canvas of one form, drawing onto its window surface.
#pragma once

#include "platform/WindowCanvas.h"

struct SDL_Window;

namespace platform {

// Draws through the window's own surface (no GL), which works on X11 and under Xvfb as well as
// with the dummy driver. The window pointer may be null: then every draw does nothing.
class FormCanvas : public WindowCanvas {
  public:
    explicit FormCanvas(::SDL_Window* target) : window(target) {}

    void setClip(const Rect& rect) override;
    void clearClip() override { clipped = false; }
    bool hasClip() const override { return clipped; }
    void draw(int x, int y, const PixelRows& picture) override;
    // Fills the client area (inside the clip) with one colour, 0x00BBGGRR.
    void fill(int colour);

  private:
    bool area(int x, int y, int w, int h, Rect& out) const;

    ::SDL_Window* window;
    Rect clip;
    bool clipped = false;
};

}  // namespace platform
