// The drawing primitives: shade arithmetic, gradients, rectangles, text protocol, presentation.
#include "graphics/Drawing.h"

#include "graphics/Limage.h"

namespace {

int component(int colour, int shift) {
    return (colour >> shift) & 0xFF;
}

int pack(int red, int green, int blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}

// A negative factor would otherwise borrow into the neighbouring component when packed.
int scaleComponent(int x, float factor) {
    const int v = static_cast<int>(x * static_cast<double>(factor));
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

int mixComponent(int a, int b, float t) {
    return static_cast<int>(a + static_cast<double>(t) * (b - a));
}

}  // namespace

int scaleColour(int colour, float factor) {
    return pack(scaleComponent(component(colour, 0), factor),
                scaleComponent(component(colour, 8), factor),
                scaleComponent(component(colour, 16), factor));
}

int mixColour(int a, int b, float t) {
    return pack(mixComponent(component(a, 0), component(b, 0), t),
                mixComponent(component(a, 8), component(b, 8), t),
                mixComponent(component(a, 16), component(b, 16), t));
}

void gradient(platform::Canvas& canvas, int x1, int y1, int x2, int y2, int from, int to,
              bool horizontal) {
    if (x2 < x1 || y2 < y1) return;
    const int n = horizontal ? x2 - x1 : y2 - y1;
    const float step = n > 0 ? 1.0f / static_cast<float>(n) : 0.0f;
    for (int i = 0; i <= n; i++) {
        const float t = static_cast<float>(i) * step;
        const int colour = mixColour(from, to, t);
        canvas.setPenColour(colour);
        canvas.setBrushColour(colour);
        if (horizontal) {
            canvas.moveTo(x1 + i, y1);
            canvas.lineTo(x1 + i, y2 + 1);
        } else {
            canvas.moveTo(x1, y1 + i);
            canvas.lineTo(x2 + 1, y1 + i);
        }
    }
}

bool pointInRect(int x, int y, const platform::Rect& rect) {
    return rect.Left <= x && x <= rect.Right && rect.Top <= y && y <= rect.Bottom;
}

platform::Rect offsetRect(const platform::Rect& rect, int dx, int dy) {
    return {rect.Left + dx, rect.Top + dy, rect.Right + dx, rect.Bottom + dy};
}

void presentTo(const Limage& backBuffer, platform::WindowCanvas& windowCanvas,
               const platform::Rect& rect, int dx, int dy) {
    const platform::Rect moved = offsetRect(rect, dx, dy);
    windowCanvas.setClip({moved.Left, moved.Top, moved.Right + 1, moved.Bottom + 1});
    windowCanvas.draw(dx, dy, backBuffer.pixels());
    windowCanvas.clearClip();
}

void beginText(platform::Canvas& canvas, int colour, bool bold) {
    canvas.font().colour = colour;
    canvas.setBrushStyle(platform::BrushStyle::clear);
    canvas.font().height = textFontHeight;
    if (bold) canvas.font().bold = true;
}

void endText(platform::Canvas& canvas, bool bold) {
    canvas.setBrushStyle(platform::BrushStyle::solid);
    if (bold) canvas.font().bold = false;
}

void drawText(platform::Canvas& canvas, int x, int y, std::string_view text, int colour,
              bool bold) {
    beginText(canvas, colour, bold);
    canvas.textOut(x, y, text);
    endText(canvas, bold);
}
