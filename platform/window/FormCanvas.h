// FormCanvas: the window canvas of one form, drawing onto its window surface.
#pragma once

#include <vector>

#include "platform/window/WindowCanvas.h"

struct SDL_Window;

namespace platform {

// Draws through the window's own surface (no GL), which works on X11 and under Xvfb as well as
// with the dummy driver. The window pointer may be null: then every draw does nothing.
//
// Coordinates, clip and pictures are in designed pixels; at a scale of N each designed pixel
// becomes an N x N block of the surface, copied as it is (no smoothing), and only the scaled
// rectangle a draw touched goes to the screen.
class FormCanvas : public WindowCanvas {
  public:
    FormCanvas(::SDL_Window* target, int scale) : window(target), scale(scale) {}

    void setClip(const Rect& rect) override;
    void clearClip() override { clipped = false; }
    bool hasClip() const override { return clipped; }
    void draw(int x, int y, const PixelRows& picture) override;
    // Compares with the picture the last drawChanged put on the same rectangle.
    void drawChanged(int x, int y, const PixelRows& picture) override;
    void drawChanged(int x, int y, const PixelRows& picture, const Rect& mayDiffer) override;
    // Fills the client area (inside the clip) with one colour, 0x00BBGGRR.
    void fill(int colour);
    // The designed rectangle the last draw or fill put on the screen, and how many did.
    const Rect& lastShown() const { return shown; }
    int showCount() const { return shows; }

  private:
    bool area(int x, int y, int w, int h, Rect& out) const;
    // Puts the designed rectangle, scaled, on the screen.
    void present(const Rect& touched);
    // Copies the part `touched` of the picture at (x, y) to the surface and shows it.
    void copy(int x, int y, const PixelRows& picture, const Rect& touched);
    // Cuts `part` (inside the kept rectangle) down to the pixels that differ from the kept
    // picture; false when none does.
    bool changedPart(int x, int y, const PixelRows& picture, Rect& part) const;
    // Keeps the picture's rows in `part` of the kept rectangle `touched`.
    void keep(int x, int y, const PixelRows& picture, const Rect& touched, const Rect& part,
              const void* surface);

    ::SDL_Window* window;
    int scale;
    Rect clip;
    bool clipped = false;
    Rect shown;
    int shows = 0;
    // What drawChanged last put on the surface: the rectangle, the rows of the picture in it
    // (three bytes a pixel) and the surface; an empty rectangle once anything drew over it.
    Rect keptArea;
    std::vector<unsigned char> kept;
    const void* keptSurface = nullptr;
};

}  // namespace platform
