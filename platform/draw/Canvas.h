// The drawing canvas over 24-bit blue-green-red pixel rows: lines, rectangles, polygons,
// ellipses, pixels, text and bitmaps, with the pixel conventions the whole program relies on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/draw/PixelRows.h"
#include "platform/draw/Point.h"
#include "platform/draw/Rect.h"

namespace platform {

class FontFace;
class FontLibrary;
struct FontGlyph;

// Colours are 0x00BBGGRR: red in the low byte, green in the next, blue in the third.
using Colour = std::int32_t;

enum class BrushStyle { solid, clear };

// The text attributes of a canvas. A negative height is the character (em) height in pixels,
// so -11 draws an 11-pixel font; a positive height is the height of the whole text cell; 0
// means the default of -11.
struct CanvasFont {
    std::string name = "Tahoma";
    int height = -11;
    bool bold = false;
    bool underline = false;
    Colour colour = 0;
};

// Conventions, in pixel coordinates with (0, 0) the top-left pixel:
// - A line from A to B touches every pixel from A up to but not including B.
// - Rectangles exclude their right column and bottom row: (1, 2, 4, 6) covers x 1..3, y 2..5.
// - Everything is clipped to the target rows and, when set, to the clip rectangle; no
//   operation ever writes outside the target.
// - With the brush style clear, fillRect, frameRect and the interiors of polygon and ellipse
//   are not painted, and text is drawn without a background.
// A canvas without a valid target draws nothing and reads every pixel as -1. It owns nothing
// but its attributes; the rows must outlive the drawing calls.
class Canvas {
  public:
    Canvas() = default;
    explicit Canvas(const PixelRows& target);

    void setTarget(const PixelRows& target);
    const PixelRows& target() const { return rows; }

    void setPenColour(Colour colour) { pen = colour; }
    Colour penColour() const { return pen; }
    void setBrushColour(Colour colour) { brush = colour; }
    Colour brushColour() const { return brush; }
    void setBrushStyle(BrushStyle style) { brushStyle = style; }
    BrushStyle getBrushStyle() const { return brushStyle; }

    // The text attributes, changed in place: canvas.font().bold = true.
    CanvasFont& font() { return textFont; }
    const CanvasFont& font() const { return textFont; }

    // Where fonts come from; by default the process-wide library. Tests hand in their own.
    void setFontLibrary(FontLibrary* library) { fonts = library; }

    void moveTo(int x, int y);
    // Draws in the pen colour from the current point to (x, y), (x, y) itself excluded, and
    // makes (x, y) the current point. Horizontals, verticals and 45-degree diagonals are exact;
    // other slopes step along the longer axis and round the shorter one.
    void lineTo(int x, int y);
    Point penPosition() const { return current; }

    // Every pixel with Left <= x < Right and Top <= y < Bottom, in the brush colour.
    void fillRect(const Rect& rect);
    void fillRect(int left, int top, int right, int bottom);
    // The 1-pixel border just inside the same rectangle, in the brush colour.
    void frameRect(const Rect& rect);
    // The closed polygon through the points: its interior (even-odd rule, a pixel counts when
    // its centre lies inside) in the brush colour, then the outline as lines in the pen colour
    // from each point to the next and from the last back to the first.
    void polygon(const Point* points, int count);
    void setPixel(int x, int y, Colour colour);
    // The colour of one pixel, or -1 outside the target.
    Colour pixel(int x, int y) const;
    // The ellipse inscribed in the rectangle (right column and bottom row excluded): a pixel
    // is inside when its centre is; the inside pixels that touch the outside along an edge
    // form the outline in the pen colour, the rest is filled with the brush colour.
    void ellipse(int left, int top, int right, int bottom);
    void ellipse(const Rect& rect);

    // The advance width of the text in the current font, in pixels; 0 without a usable font.
    int textWidth(std::string_view text);
    // The height of the text cell (the face's ascender minus its descender at this size, in
    // whole pixels); 0 without a usable font.
    int textHeight(std::string_view text);
    // Draws the text with the top-left corner of its cell at (x, y), its glyphs antialiased
    // and blended in the font colour. With the brush solid the cell is first filled with the
    // brush colour. Each byte is one character, read as Windows-1252.
    void textOut(int x, int y, std::string_view text);

    // Copies the source rows with their top-left pixel at (x, y).
    void draw(int x, int y, const PixelRows& source);

    // Limits drawing to a rectangle (right column and bottom row excluded) until clearClip.
    void setClip(const Rect& rect);
    void clearClip();
    bool hasClip() const { return clipped; }

  private:
    struct Bounds {
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // x1 <= x < x2, y1 <= y < y2
        bool empty() const { return x2 <= x1 || y2 <= y1; }
    };

    Bounds drawable() const;
    void plot(const Bounds& area, int x, int y, Colour colour);
    void span(const Bounds& area, int y, int x1, int x2, Colour colour);
    void line(const Bounds& area, int x1, int y1, int x2, int y2, Colour colour);
    void fillPolygon(const Bounds& area, const Point* points, int count);
    FontLibrary& fontLibrary() const;
    FontFace* currentFace() const;
    void drawGlyph(const Bounds& area, const FontGlyph& glyph, std::int64_t left, std::int64_t top);

    PixelRows rows;
    Colour pen = 0;
    Colour brush = 0xFFFFFF;
    BrushStyle brushStyle = BrushStyle::solid;
    CanvasFont textFont;
    Point current;
    Rect clip;
    bool clipped = false;
    FontLibrary* fonts = nullptr;
};

}  // namespace platform
