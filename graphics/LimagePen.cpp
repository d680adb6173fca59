// LimagePen: antialiased points and rings plotted into a Limage's rows.
#include "graphics/LimagePen.h"

#include <cmath>
#include <numbers>

#include "graphics/Limage.h"
#include "platform/draw/Canvas.h"

LimagePen limagePen;

void LimagePen::setTarget(Limage& image) {
    target = &image;
    clip = {0, 0, image.width - 1, image.height - 1};
}

void LimagePen::setColour(int colour) {
    red = colour & 0xFF;
    green = (colour >> 8) & 0xFF;
    blue = (colour >> 16) & 0xFF;
}

void LimagePen::plot(double x, double y) {
    if (target == nullptr || !target->isValid()) return;
    const int c = static_cast<int>(x), d = static_cast<int>(y);
    if (c < clip.Left || c + 1 > clip.Right || d < clip.Top || d + 1 > clip.Bottom) return;
    // The target may have been made smaller since setTarget; never leave its rows.
    if (c < 0 || d < 0 || c + 1 >= target->width || d + 1 >= target->height) return;
    const double fx = x - c, fy = y - d;
    blendPixel(c, d, std::sqrt(fx * fx + fy * fy));
    blendPixel(c + 1, d, std::sqrt(fy * fy + (1 - fx) * (1 - fx)));
    blendPixel(c, d + 1, std::sqrt(fx * fx + (1 - fy) * (1 - fy)));
    blendPixel(c + 1, d + 1, std::sqrt((1 - fx) * (1 - fx) + (1 - fy) * (1 - fy)));
}

// w is the pixel's distance from the point: 0 gives the pen colour, 1 or more leaves it alone.
void LimagePen::blendPixel(int x, int y, double w) {
    if (w >= 1) return;
    unsigned char* p = target->rows[y] + x * 3;
    p[0] = static_cast<unsigned char>(blue * (1 - w) + w * p[0]);
    p[1] = static_cast<unsigned char>(green * (1 - w) + w * p[1]);
    p[2] = static_cast<unsigned char>(red * (1 - w) + w * p[2]);
}

void LimagePen::circle(double cx, double cy, double radius, bool filled) {
    if (filled && target != nullptr && target->isValid()) {
        platform::Canvas& canvas = target->canvas();
        canvas.setPenColour(packedColour());
        canvas.setBrushColour(packedColour());
        canvas.ellipse(static_cast<int>(cx - radius), static_cast<int>(cy - radius),
                       static_cast<int>(cx + radius + 1), static_cast<int>(cy + radius + 1));
    }
    const double turn = 2 * std::numbers::pi;
    const int n = static_cast<int>(radius * turn);
    const double step = n < 2 ? 0 : 1.0 / (n - 1);
    for (int i = 0; i < n; i++) {
        const double angle = i * step * turn;
        plot(cx + radius * std::cos(angle), cy + radius * std::sin(angle));
    }
}
