// The drawing canvas: our own rasterisers for lines, rectangles, polygons and ellipses, the
// text output over the font library, and bitmap copies, all clipped to the target rows.
#include "platform/draw/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/draw/FontFace.h"
#include "platform/draw/FontLibrary.h"

namespace platform {

namespace {

// The byte order in memory is blue, green, red; the colour value keeps red in its low byte.
void store(unsigned char* pixel, Colour colour) {
    pixel[0] = static_cast<unsigned char>((colour >> 16) & 0xFF);
    pixel[1] = static_cast<unsigned char>((colour >> 8) & 0xFF);
    pixel[2] = static_cast<unsigned char>(colour & 0xFF);
}

// Coordinates are 32-bit, so their products need more than 64 bits.
using Wide = __int128;

// Ceiling of a / b for b > 0, exact for negative numerators.
std::int64_t ceilDiv(Wide a, Wide b) {
    const Wide q = a / b;
    return static_cast<std::int64_t>((a % b != 0 && a > 0) ? q + 1 : q);
}

constexpr std::int64_t maxEllipseSide = std::int64_t{1} << 30;

int clampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

Canvas::Canvas(const PixelRows& target) : rows(target) {}

void Canvas::setTarget(const PixelRows& target) {
    rows = target;
}

Canvas::Bounds Canvas::drawable() const {
    if (!rows.valid()) return Bounds{};
    Bounds area{0, 0, rows.width, rows.height};
    if (!clipped) return area;
    area.x1 = std::max(area.x1, clip.Left);
    area.y1 = std::max(area.y1, clip.Top);
    area.x2 = std::min(area.x2, clip.Right);
    area.y2 = std::min(area.y2, clip.Bottom);
    return area;
}

void Canvas::plot(const Bounds& area, int x, int y, Colour colour) {
    if (x < area.x1 || x >= area.x2 || y < area.y1 || y >= area.y2) return;
    store(rows.rows[y] + 3 * x, colour);
}

void Canvas::span(const Bounds& area, int y, int x1, int x2, Colour colour) {
    if (y < area.y1 || y >= area.y2) return;
    x1 = std::max(x1, area.x1);
    x2 = std::min(x2, area.x2);
    if (x2 <= x1) return;
    unsigned char* pixel = rows.rows[y] + 3 * x1;
    for (int x = x1; x < x2; ++x, pixel += 3)
        store(pixel, colour);
}

void Canvas::moveTo(int x, int y) {
    current = Point{x, y};
}

void Canvas::lineTo(int x, int y) {
    const Bounds area = drawable();
    if (!area.empty()) line(area, current.x, current.y, x, y, pen);
    current = Point{x, y};
}

// Steps one pixel at a time along the longer axis; the shorter axis follows the nearest pixel
// to the ideal line (Bresenham's walk, halves rounded back towards the start), which makes
// 45-degree lines exact diagonals. After k steps of the longer axis (length D, shorter d) the
// walk has taken ceil((2kd - D) / 2D) steps of the shorter one, so only the steps whose longer
// coordinate lies inside the area are visited, however long the line.
void Canvas::line(const Bounds& area, int x1, int y1, int x2, int y2, Colour colour) {
    if (std::max(x1, x2) < area.x1 || std::min(x1, x2) >= area.x2) return;
    if (std::max(y1, y2) < area.y1 || std::min(y1, y2) >= area.y2) return;
    if (y1 == y2) {
        if (x1 < x2) span(area, y1, x1, x2, colour);
        if (x2 < x1) span(area, y1, x2 + 1, x1 + 1, colour);
        return;
    }
    const bool xMajor = std::llabs(std::int64_t{x2} - x1) >= std::llabs(std::int64_t{y2} - y1);
    const std::int64_t a1 = xMajor ? x1 : y1, a2 = xMajor ? x2 : y2;  // longer axis
    const std::int64_t b1 = xMajor ? y1 : x1, b2 = xMajor ? y2 : x2;  // shorter axis
    const std::int64_t lo = xMajor ? area.x1 : area.y1, hi = (xMajor ? area.x2 : area.y2) - 1;
    const std::int64_t major = std::llabs(a2 - a1), minor = std::llabs(b2 - b1);
    const int sa = a1 < a2 ? 1 : -1, sb = b1 < b2 ? 1 : -1;
    std::int64_t first = sa > 0 ? lo - a1 : a1 - hi;
    std::int64_t last = sa > 0 ? hi - a1 : a1 - lo;
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, major - 1);
    for (std::int64_t k = first; k <= last; ++k) {
        const std::int64_t a = a1 + sa * k;
        const std::int64_t b =
            b1 +
            sb * std::max<std::int64_t>(0, ceilDiv(Wide{2} * k * minor - major, Wide{2} * major));
        const int px = clampToInt(xMajor ? a : b), py = clampToInt(xMajor ? b : a);
        plot(area, px, py, colour);
    }
}

void Canvas::fillRect(const Rect& rect) {
    if (brushStyle == BrushStyle::clear) return;
    const Bounds area = drawable();
    if (area.empty()) return;
    const int top = std::max(rect.Top, area.y1);
    const int bottom = std::min(rect.Bottom, area.y2);
    for (int y = top; y < bottom; ++y)
        span(area, y, rect.Left, rect.Right, brush);
}

void Canvas::fillRect(int left, int top, int right, int bottom) {
    fillRect(Rect{left, top, right, bottom});
}

void Canvas::frameRect(const Rect& rect) {
    if (brushStyle == BrushStyle::clear) return;
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
    const Bounds area = drawable();
    if (area.empty()) return;
    span(area, rect.Top, rect.Left, rect.Right, brush);
    span(area, rect.Bottom - 1, rect.Left, rect.Right, brush);
    const int top = std::max(rect.Top + 1, area.y1);
    const int bottom = std::min(rect.Bottom - 1, area.y2);
    for (int y = top; y < bottom; ++y) {
        plot(area, rect.Left, y, brush);
        plot(area, rect.Right - 1, y, brush);
    }
}

void Canvas::polygon(const Point* points, int count) {
    if (points == nullptr || count < 1) return;
    const Bounds area = drawable();
    if (area.empty()) return;
    if (brushStyle == BrushStyle::solid) fillPolygon(area, points, count);
    for (int i = 0; i < count; ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % count];
        line(area, a.x, a.y, b.x, b.y, pen);
    }
    // A polygon of one point, or one whose points all coincide, still shows that point.
    if (count == 1) plot(area, points[0].x, points[0].y, pen);
    current = points[0];
}

// Scanline fill with pixel centres on the integer coordinates, as lines have them, so that the
// fill lies within the outline. Row y takes every edge with min(y0, y1) <= y < max(y0, y1)
// (top included, bottom excluded, so a vertex is counted once) and the edge crosses it at
// x0 + (y - y0)(x1 - x0) / (y1 - y0); the first pixel at or right of the crossing is found in
// integers. Even-odd: the pixels from the first crossing up to the second, from the third up to
// the fourth and so on are inside. A pixel exactly on a left edge is inside, on a right edge
// outside, so shapes that share an edge never both paint it.
void Canvas::fillPolygon(const Bounds& area, const Point* points, int count) {
    int top = points[0].y, bottom = points[0].y;
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[i].y);
        bottom = std::max(bottom, points[i].y);
    }
    top = std::max(top, area.y1);
    bottom = std::min(bottom, area.y2);
    std::vector<std::int64_t> starts;
    for (int y = top; y < bottom; ++y) {
        starts.clear();
        for (int i = 0; i < count; ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % count];
            if ((y < a.y) == (y < b.y)) continue;
            Wide den = Wide{b.y} - a.y;
            Wide num = Wide{a.x} * den + (Wide{y} - a.y) * (Wide{b.x} - a.x);
            if (den < 0) {
                den = -den;
                num = -num;
            }
            starts.push_back(ceilDiv(num, den));
        }
        std::sort(starts.begin(), starts.end());
        for (std::size_t k = 0; k + 1 < starts.size(); k += 2) {
            span(area, y, clampToInt(starts[k]), clampToInt(starts[k + 1]), brush);
        }
    }
}

void Canvas::setPixel(int x, int y, Colour colour) {
    const Bounds area = drawable();
    if (!area.empty()) plot(area, x, y, colour);
}

Colour Canvas::pixel(int x, int y) const {
    if (!rows.valid() || x < 0 || y < 0 || x >= rows.width || y >= rows.height) return -1;
    const unsigned char* p = rows.rows[y] + 3 * x;
    return Colour{p[2]} | (Colour{p[1]} << 8) | (Colour{p[0]} << 16);
}

void Canvas::ellipse(const Rect& rect) {
    ellipse(rect.Left, rect.Top, rect.Right, rect.Bottom);
}

namespace {

// The pixels of one row inside an ellipse, x1 <= x < x2; empty (x1 == x2) outside it.
struct Span {
    std::int64_t x1 = 0, x2 = 0;
};

// A pixel (x, y) is inside the ellipse inscribed in left..right, top..bottom when its centre
// is: with ex = 2x + 1 - left - right and ey = 2y + 1 - top - bottom, when
// ex^2 h^2 + ey^2 w^2 <= w^2 h^2. Everything is integer, so the shape is exact and symmetric.
class EllipseRows {
  public:
    EllipseRows(int left, int top, int right, int bottom)
        : sumX(std::int64_t{left} + right),
          sumY(std::int64_t{top} + bottom),
          w(std::int64_t{right} - left),
          h(std::int64_t{bottom} - top),
          top(top),
          bottom(bottom) {}

    Span row(std::int64_t y) const {
        if (y < top || y >= bottom) return Span{};
        const __int128 ey = 2 * y + 1 - sumY;
        const __int128 rest = __int128{w} * w * (__int128{h} * h - ey * ey);
        if (rest < 0) return Span{};
        // ex^2 h^2 <= rest exactly when ex^2 <= floor(rest / h^2), ex being an integer.
        std::int64_t m = integerRoot(static_cast<std::uint64_t>(rest / (__int128{h} * h)));
        // ex has the parity of sumX + 1; the widest such offset within m bounds the row.
        if (((m + sumX + 1) & 1) != 0) --m;
        if (m < 0) return Span{};
        return Span{(sumX - 1 - m) / 2, (sumX - 1 + m) / 2 + 1};
    }

  private:
    static std::int64_t integerRoot(std::uint64_t v) {
        std::uint64_t r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(v)));
        while (r > 0 && r * r > v)
            --r;
        while ((r + 1) * (r + 1) <= v)
            ++r;
        return static_cast<std::int64_t>(r);
    }

    std::int64_t sumX, sumY, w, h;
    std::int64_t top, bottom;
};

}  // namespace

void Canvas::ellipse(int left, int top, int right, int bottom) {
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (right == left || bottom == top) return;
    // Beyond this size the exact arithmetic would overflow; no picture needs such an ellipse.
    if (std::int64_t{right} - left > maxEllipseSide || std::int64_t{bottom} - top > maxEllipseSide)
        return;
    const Bounds area = drawable();
    if (area.empty()) return;
    const EllipseRows shape(left, top, right, bottom);
    const int y1 = std::max(top, area.y1), y2 = std::min(bottom, area.y2);
    for (int y = y1; y < y2; ++y) {
        const Span here = shape.row(y);
        if (here.x1 == here.x2) continue;
        const Span above = shape.row(std::int64_t{y} - 1);
        const Span below = shape.row(std::int64_t{y} + 1);
        // Inner pixels have all four neighbours inside; the rest of the row is outline.
        std::int64_t in1 = std::max({here.x1 + 1, above.x1, below.x1});
        std::int64_t in2 = std::min({here.x2 - 1, above.x2, below.x2});
        if (above.x1 == above.x2 || below.x1 == below.x2 || in2 < in1) in1 = in2 = here.x1 + 1;
        span(area, y, clampToInt(here.x1), clampToInt(in1), pen);
        if (brushStyle == BrushStyle::solid) span(area, y, clampToInt(in1), clampToInt(in2), brush);
        span(area, y, clampToInt(std::max(in1, in2)), clampToInt(here.x2), pen);
    }
}

void Canvas::draw(int x, int y, const PixelRows& source) {
    if (!source.valid()) return;
    const Bounds area = drawable();
    if (area.empty()) return;
    const std::int64_t x1 = std::max<std::int64_t>(x, area.x1);
    const std::int64_t x2 = std::min<std::int64_t>(std::int64_t{x} + source.width, area.x2);
    const std::int64_t y1 = std::max<std::int64_t>(y, area.y1);
    const std::int64_t y2 = std::min<std::int64_t>(std::int64_t{y} + source.height, area.y2);
    if (x2 <= x1 || y2 <= y1) return;
    const std::size_t bytes = static_cast<std::size_t>(3 * (x2 - x1));
    for (std::int64_t row = y1; row < y2; ++row) {
        const unsigned char* from = source.rows[row - y] + 3 * (x1 - x);
        // memmove: a canvas may copy its own rows onto themselves.
        std::memmove(rows.rows[row] + 3 * x1, from, bytes);
    }
}

void Canvas::setClip(const Rect& rect) {
    clip = rect;
    clipped = true;
}

void Canvas::clearClip() {
    clipped = false;
}

FontLibrary& Canvas::fontLibrary() const {
    return fonts ? *fonts : FontLibrary::shared();
}

FontFace* Canvas::currentFace() const {
    return fontLibrary().face(textFont.name, textFont.height, textFont.bold);
}

int Canvas::textWidth(std::string_view text) {
    FontFace* face = currentFace();
    if (!face) return 0;
    int width = 0;
    for (const char c : text)
        width += face->advance(static_cast<unsigned char>(c));
    return width;
}

int Canvas::textHeight(std::string_view) {
    FontFace* face = currentFace();
    return face ? face->cellHeight() : 0;
}

namespace {

// Blends the font colour over one pixel by the glyph's coverage, rounding to nearest.
void blend(unsigned char* pixel, const unsigned char ink[3], unsigned coverage) {
    for (int i = 0; i < 3; ++i) {
        const unsigned mixed = ink[i] * coverage + pixel[i] * (255u - coverage);
        pixel[i] = static_cast<unsigned char>((mixed + 127u) / 255u);
    }
}

}  // namespace

void Canvas::textOut(int x, int y, std::string_view text) {
    FontFace* face = currentFace();
    const Bounds area = drawable();
    if (!face || area.empty()) return;
    const int width = textWidth(text);
    const std::int64_t right = std::int64_t{x} + width;
    const std::int64_t bottom = std::int64_t{y} + face->cellHeight();
    if (brushStyle == BrushStyle::solid) fillRect(x, y, clampToInt(right), clampToInt(bottom));
    // Glyphs that reach below or above the cell (a bar under the descent) are cut to its rows,
    // so that text never touches rows it does not measure. Ink that overhangs the advance on
    // either side is kept: the last glyph of a text would otherwise lose its right edge.
    Bounds cell = area;
    cell.y1 = clampToInt(std::max<std::int64_t>(area.y1, y));
    cell.y2 = clampToInt(std::min<std::int64_t>(area.y2, bottom));
    if (cell.empty()) return;
    const std::int64_t baseline = std::int64_t{y} + face->ascent();
    std::int64_t penX = x;
    for (const char c : text) {
        const FontGlyph& glyph = face->glyph(static_cast<unsigned char>(c));
        drawGlyph(cell, glyph, penX + glyph.left, baseline - glyph.top);
        penX += glyph.advance;
    }
    if (!textFont.underline) return;
    const std::int64_t lineTop = baseline + face->underlineOffset();
    for (int i = 0; i < face->underlineThickness(); ++i) {
        const std::int64_t row = lineTop + i;
        if (row >= INT32_MIN && row <= INT32_MAX) {
            span(cell, static_cast<int>(row), x, clampToInt(right), textFont.colour);
        }
    }
}

void Canvas::drawGlyph(const Bounds& area, const FontGlyph& glyph, std::int64_t left,
                       std::int64_t top) {
    const unsigned char ink[3] = {static_cast<unsigned char>((textFont.colour >> 16) & 0xFF),
                                  static_cast<unsigned char>((textFont.colour >> 8) & 0xFF),
                                  static_cast<unsigned char>(textFont.colour & 0xFF)};
    const std::int64_t x1 = std::max<std::int64_t>(left, area.x1);
    const std::int64_t x2 = std::min<std::int64_t>(left + glyph.width, area.x2);
    const std::int64_t y1 = std::max<std::int64_t>(top, area.y1);
    const std::int64_t y2 = std::min<std::int64_t>(top + glyph.rows, area.y2);
    for (std::int64_t y = y1; y < y2; ++y) {
        const unsigned char* coverage = glyph.coverage.data() + (y - top) * glyph.width;
        unsigned char* pixel = rows.rows[y] + 3 * x1;
        for (std::int64_t x = x1; x < x2; ++x, pixel += 3) {
            const unsigned c = coverage[x - left];
            if (c != 0) blend(pixel, ink, c);
        }
    }
}

}  // namespace platform
