// Drawing the caption tokens: chevrons, plus and minus, a cross, a speaker, reset, play and wave.
#include "shadeui/Glyphs.h"

#include <cmath>
#include <numbers>

#include "platform/draw/Canvas.h"

namespace {

// Lines take their end point out, so every icon below is drawn with the end one step beyond
// the last pixel it should touch; all lines are horizontal, vertical or exact diagonals.
struct GlyphPen {
    platform::Canvas& canvas;
    int cx;
    int cy;

    void line(int x1, int y1, int x2, int y2) {
        canvas.moveTo(cx + x1, cy + y1);
        canvas.lineTo(cx + x2, cy + y2);
    }
    void polygon(std::initializer_list<platform::Point> relative) {
        platform::Point points[8];
        int n = 0;
        for (const platform::Point& p : relative)
            points[n++] = {cx + p.x, cy + p.y};
        canvas.polygon(points, n);
    }
};

void drawChevron(GlyphPen& pen, int index) {
    for (int k = -1; k <= 1; k++) {
        switch (index) {
            case 0:
                pen.line(-2 + k, 0, 2 + k, -4);
                pen.line(-2 + k, 0, 2 + k, 4);
                break;
            case 1:
                pen.line(2 - k, 0, -2 - k, -4);
                pen.line(2 - k, 0, -2 - k, 4);
                break;
            case 2:
                pen.line(0, -2 - k, -4, 2 - k);
                pen.line(0, -2 - k, 4, 2 - k);
                break;
            default:
                pen.line(0, 2 - k, -4, -2 - k);
                pen.line(0, 2 - k, 4, -2 - k);
                break;
        }
    }
}

void drawBars(GlyphPen& pen, bool vertical) {
    for (int k = 0; k <= 1; k++) {
        pen.line(-4, -k, 4, -k);
        if (vertical) pen.line(-k, -4, -k, 4);
    }
}

void drawCross(GlyphPen& pen) {
    for (int k = 0; k <= 1; k++) {
        pen.line(-4 + k, -3, 3 + k, 4);
        pen.line(2 + k, -3, -5 + k, 4);
    }
}

void drawSound(GlyphPen& pen) {
    pen.canvas.fillRect(pen.cx - 3, pen.cy - 2, pen.cx, pen.cy + 3);
    pen.polygon({{0, -2}, {2, -4}, {2, 4}, {0, 2}, {0, -2}});
}

void drawReset(GlyphPen& pen) {
    pen.line(-6, 0, 6, 0);
    pen.polygon({{-3, -3}, {2, -3}, {0, -1}, {-1, -1}, {-3, -3}});
    pen.polygon({{-3, 3}, {2, 3}, {0, 1}, {-1, 1}, {-3, 3}});
}

void drawPlay(GlyphPen& pen) {
    for (int k = 0; k <= 4; k++)
        pen.line(-2 + k, -4 + k, -2 + k, 5 - k);
}

// One period of a sine, three pixels thick. The row is rounded on the absolute coordinate, as
// the face's own centre row is, so the offsets come out 0, -1, -2, -2, -1, 1, 2, 2, 1, 0.
void drawWave(GlyphPen& pen) {
    platform::Colour colour = pen.canvas.penColour();
    for (int i = 0; i <= 9; i++) {
        int x = pen.cx - 5 + i;
        int y = static_cast<int>(pen.cy - 2.0 * std::sin(i * 2.0 * std::numbers::pi / 9.0) + 0.5);
        for (int dy = -1; dy <= 1; dy++)
            pen.canvas.setPixel(x, y + dy, colour);
    }
}

}  // namespace

int glyphIndex(const AnsiString& caption) {
    for (int i = 0; i < glyphTokenCount; i++)
        if (caption == glyphTokens[i]) return i;
    return -1;
}

bool isGlyphToken(const AnsiString& caption) {
    return glyphIndex(caption) >= 0;
}

void drawGlyph(const AnsiString& caption, platform::Canvas& canvas, int cx, int cy) {
    GlyphPen pen{canvas, cx, cy};
    switch (glyphIndex(caption)) {
        case 0:
        case 1:
        case 2:
        case 3:
            drawChevron(pen, glyphIndex(caption));
            break;
        case 4:
            drawBars(pen, true);
            break;
        case 5:
            drawBars(pen, false);
            break;
        case 6:
            drawCross(pen);
            break;
        case 7:
            drawSound(pen);
            break;
        case 8:
            drawReset(pen);
            break;
        case 10:
            drawPlay(pen);
            break;
        case 11:
            drawWave(pen);
            break;
        default:
            break;  // "<tap>" and plain text draw nothing here
    }
}
