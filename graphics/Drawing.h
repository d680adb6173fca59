// The drawing primitives: colour shades, gradients, rectangles, the text protocol, presentation.
#pragma once

#include <string_view>

#include "platform/draw/Canvas.h"
#include "platform/draw/Rect.h"
#include "platform/window/WindowCanvas.h"

class Limage;

// Colours are 0x00BBGGRR. Factors are single-precision values; the arithmetic on them is done
// in double precision, so a factor counts with exactly the value the float holds (0.9f is just
// below 0.9, and 10 * 0.9f truncates to 8).

// Each component x becomes trunc(x * factor), limited to 0..255.
int scaleColour(int colour, float factor);
// Each component becomes trunc(a + t * (b - a)); t = 0 gives a and t = 1 gives b.
int mixColour(int a, int b, float t);

// A stepped gradient over the inclusive rectangle x1..x2, y1..y2: one line per column
// (horizontal) or per row (vertical), the first in `from`, the last in `to`. Leaves the pen and
// brush colour of the canvas at the last colour drawn. Nothing is drawn when x2 < x1 or y2 < y1.
void gradient(platform::Canvas& canvas, int x1, int y1, int x2, int y2, int from, int to,
              bool horizontal);

// The inclusive test of control and hit rectangles: Left <= x <= Right, Top <= y <= Bottom.
bool pointInRect(int x, int y, const platform::Rect& rect);
platform::Rect offsetRect(const platform::Rect& rect, int dx, int dy);

// Shows the part of a window's back buffer under one control: the inclusive rectangle, moved by
// (dx, dy), is the clip while the whole buffer is drawn at (dx, dy); the clip is cleared after.
void presentTo(const Limage& backBuffer, platform::WindowCanvas& windowCanvas,
               const platform::Rect& rect, int dx, int dy);

// The text protocol of every caption, label and value: font colour, no background, the 11-pixel
// font, bold where asked. Measure between beginText and endText, or draw in one go with
// drawText. endText makes the brush solid again and the font regular where bold was asked.
inline constexpr int textFontHeight = -11;
void beginText(platform::Canvas& canvas, int colour, bool bold = false);
void endText(platform::Canvas& canvas, bool bold = false);
void drawText(platform::Canvas& canvas, int x, int y, std::string_view text, int colour,
              bool bold = false);
