// PicturePainter: a small antialiased painter of filled shapes, for the about screen's pictures.
#include "about/PicturePainter.h"

#include <algorithm>
#include <cmath>

#include "graphics/Limage.h"

namespace {

constexpr int samples = 4;  // per pixel side
constexpr double pi = 3.14159265358979323846;

struct Crossing {
    double x;
    int winding;
};

double clamp01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

unsigned char toByte(double v) {
    return static_cast<unsigned char>(std::floor(clamp01(v) * 255 + 0.5));
}

// The points where one scan line at height y crosses the outline's edges.
void crossingsAt(const PicturePainter::Shape& shape, double y, std::vector<Crossing>& out) {
    out.clear();
    for (const auto& outline : shape) {
        std::size_t n = outline.size();
        for (std::size_t i = 0; i < n; i++) {
            const PicturePainter::Point& p = outline[i];
            const PicturePainter::Point& q = outline[(i + 1) % n];
            if ((p.y <= y) == (q.y <= y)) continue;
            double x = p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y);
            out.push_back({x, q.y > p.y ? 1 : -1});
        }
    }
    std::sort(out.begin(), out.end(),
              [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
}

}  // namespace

PicturePainter::PicturePainter(int width, int height)
    : w(width), h(height), rgba(static_cast<std::size_t>(width) * height * 4, 0.0) {}

void PicturePainter::loadBackdrop(const Limage& image, int left, int top) {
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            int sx = left + x;
            int sy = top + y;
            if (sx < 0 || sy < 0 || sx >= image.width || sy >= image.height) continue;
            const unsigned char* p = image.rows[sy] + 3 * sx;
            double* d = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            d[0] = p[2] / 255.0;
            d[1] = p[1] / 255.0;
            d[2] = p[0] / 255.0;
            d[3] = 1;
        }
    }
}

// The share of each pixel's samples inside the shape, over the shape's box cut to the picture.
std::vector<float> PicturePainter::coverage(const Shape& shape, int& x0, int& y0, int& x1,
                                            int& y1) const {
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    for (const auto& outline : shape) {
        for (const Point& p : outline) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
    x0 = std::max(0, static_cast<int>(std::floor(minX)));
    y0 = std::max(0, static_cast<int>(std::floor(minY)));
    x1 = std::min(w - 1, static_cast<int>(std::floor(maxX)));
    y1 = std::min(h - 1, static_cast<int>(std::floor(maxY)));
    if (x1 < x0 || y1 < y0) return {};
    int bw = x1 - x0 + 1;
    std::vector<float> cover(static_cast<std::size_t>(bw) * (y1 - y0 + 1), 0.0f);
    std::vector<Crossing> cross;
    const float step = 1.0f / (samples * samples);
    for (int sy = y0 * samples; sy < (y1 + 1) * samples; sy++) {
        crossingsAt(shape, (sy + 0.5) / samples, cross);
        int winding = 0;
        for (std::size_t i = 0; i + 1 < cross.size(); i++) {
            winding += cross[i].winding;
            if (winding == 0) continue;
            // Sample columns whose centres lie in [cross[i].x, cross[i + 1].x).
            int first = static_cast<int>(std::ceil(cross[i].x * samples - 0.5));
            int last = static_cast<int>(std::ceil(cross[i + 1].x * samples - 0.5)) - 1;
            first = std::max(first, x0 * samples);
            last = std::min(last, (x1 + 1) * samples - 1);
            float* row = &cover[static_cast<std::size_t>(sy / samples - y0) * bw];
            for (int sx = first; sx <= last; sx++)
                row[sx / samples - x0] += step;
        }
    }
    return cover;
}

PicturePainter::Colour PicturePainter::colourAt(const Paint& paint, double x, double y,
                                                double& opacity) const {
    double t = 0;
    if (paint.kind == Paint::linear) {
        double dx = paint.b.x - paint.a.x, dy = paint.b.y - paint.a.y;
        double len2 = dx * dx + dy * dy;
        t = len2 > 0 ? clamp01(((x - paint.a.x) * dx + (y - paint.a.y) * dy) / len2) : 0;
    } else if (paint.kind == Paint::radial) {
        double dx = x - paint.a.x, dy = y - paint.a.y;
        t = clamp01(std::sqrt(dx * dx + dy * dy) / paint.radius);
    }
    double far = paint.opacityTo < 0 ? paint.opacity : paint.opacityTo;
    opacity = paint.opacity + (far - paint.opacity) * t;
    return {paint.from.red + (paint.to.red - paint.from.red) * t,
            paint.from.green + (paint.to.green - paint.from.green) * t,
            paint.from.blue + (paint.to.blue - paint.from.blue) * t};
}

void PicturePainter::fill(const Shape& shape, const Paint& paint) {
    int x0, y0, x1, y1;
    std::vector<float> cover = coverage(shape, x0, y0, x1, y1);
    if (cover.empty()) return;
    int bw = x1 - x0 + 1;
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++) {
            double c = cover[static_cast<std::size_t>(y - y0) * bw + (x - x0)];
            if (c <= 0) continue;
            double opacity;
            Colour col = colourAt(paint, x + 0.5, y + 0.5, opacity);
            double a = clamp01(c * opacity);
            double* d = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            d[0] = col.red / 255 * a + d[0] * (1 - a);
            d[1] = col.green / 255 * a + d[1] * (1 - a);
            d[2] = col.blue / 255 * a + d[2] * (1 - a);
            d[3] = a + d[3] * (1 - a);
        }
    }
}

void PicturePainter::clear(const Shape& shape) {
    int x0, y0, x1, y1;
    std::vector<float> cover = coverage(shape, x0, y0, x1, y1);
    if (cover.empty()) return;
    int bw = x1 - x0 + 1;
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++) {
            double keep = 1 - clamp01(cover[static_cast<std::size_t>(y - y0) * bw + (x - x0)]);
            double* d = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            for (int i = 0; i < 4; i++)
                d[i] *= keep;
        }
    }
}

bool PicturePainter::toImage(Limage& image) const {
    if (!image.create(w, h)) return false;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const double* s = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            unsigned char* p = image.rows[y] + 3 * x;
            p[0] = toByte(s[2]);
            p[1] = toByte(s[1]);
            p[2] = toByte(s[0]);
        }
    }
    return true;
}

std::vector<unsigned char> PicturePainter::toRgba() const {
    std::vector<unsigned char> out(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < out.size(); i += 4) {
        double a = rgba[i + 3];
        for (int c = 0; c < 3; c++)
            out[i + c] = toByte(a > 0 ? rgba[i + c] / a : 0);
        out[i + 3] = toByte(a);
    }
    return out;
}

PicturePainter::Paint PicturePainter::solidPaint(Colour c, double opacity) {
    Paint p;
    p.from = c;
    p.to = c;
    p.opacity = opacity;
    return p;
}

PicturePainter::Paint PicturePainter::linearPaint(Point a, Colour from, Point b, Colour to) {
    Paint p;
    p.kind = Paint::linear;
    p.a = a;
    p.b = b;
    p.from = from;
    p.to = to;
    return p;
}

PicturePainter::Paint PicturePainter::radialPaint(Point centre, double radius, Colour from,
                                                  double opacityFrom, Colour to, double opacityTo) {
    Paint p;
    p.kind = Paint::radial;
    p.a = centre;
    p.radius = radius;
    p.from = from;
    p.to = to;
    p.opacity = opacityFrom;
    p.opacityTo = opacityTo;
    return p;
}

PicturePainter::Shape PicturePainter::rectangle(double x1, double y1, double x2, double y2) {
    return {{{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}}};
}

// The points of a quarter-circle corner and so on, from angle `from` to `to`.
static void addArcPoints(std::vector<PicturePainter::Point>& out, double cx, double cy, double r,
                         double from, double to) {
    int n = std::max(2, static_cast<int>(std::ceil(std::fabs(to - from) * r / 1.5)) + 1);
    for (int i = 0; i <= n; i++) {
        double t = from + (to - from) * i / n;
        out.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
    }
}

PicturePainter::Shape PicturePainter::roundedRectangle(double x1, double y1, double x2, double y2,
                                                       double r) {
    std::vector<Point> p;
    addArcPoints(p, x2 - r, y1 + r, r, -pi / 2, 0);
    addArcPoints(p, x2 - r, y2 - r, r, 0, pi / 2);
    addArcPoints(p, x1 + r, y2 - r, r, pi / 2, pi);
    addArcPoints(p, x1 + r, y1 + r, r, pi, 1.5 * pi);
    return {p};
}

PicturePainter::Shape PicturePainter::ellipse(double cx, double cy, double rx, double ry) {
    int n = std::max(24, static_cast<int>(std::max(rx, ry) * 2));
    std::vector<Point> p;
    for (int i = 0; i < n; i++) {
        double t = 2 * pi * i / n;
        p.push_back({cx + rx * std::cos(t), cy + ry * std::sin(t)});
    }
    return {p};
}

PicturePainter::Shape PicturePainter::polygon(const std::vector<Point>& points) {
    return {points};
}

PicturePainter::Shape PicturePainter::stroke(Point a, Point b, double width) {
    double angle = std::atan2(b.y - a.y, b.x - a.x);
    double r = width / 2;
    std::vector<Point> p;
    addArcPoints(p, b.x, b.y, r, angle - pi / 2, angle + pi / 2);
    addArcPoints(p, a.x, a.y, r, angle + pi / 2, angle + 1.5 * pi);
    return {p};
}

PicturePainter::Shape PicturePainter::arc(double cx, double cy, double radius, double from,
                                          double to, double width) {
    double r = width / 2;
    std::vector<Point> p;
    addArcPoints(p, cx, cy, radius + r, from, to);
    addArcPoints(p, cx + radius * std::cos(to), cy + radius * std::sin(to), r, to, to + pi);
    addArcPoints(p, cx, cy, radius - r, to, from);
    addArcPoints(p, cx + radius * std::cos(from), cy + radius * std::sin(from), r, from + pi,
                 from + 2 * pi);
    return {p};
}

PicturePainter::Shape PicturePainter::ring(double cx, double cy, double outer, double inner) {
    Shape s = ellipse(cx, cy, outer, outer);
    Shape in = ellipse(cx, cy, inner, inner);
    std::reverse(in[0].begin(), in[0].end());
    s.push_back(in[0]);
    return s;
}
