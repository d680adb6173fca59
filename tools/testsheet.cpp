// testsheet: draws every canvas primitive, text sizes, gradients, copies and tables to a PNG.
#include <cstdio>
#include <string>

#include "graphics/BlendBank.h"
#include "graphics/Drawing.h"
#include "graphics/Limage.h"
#include "graphics/LimagePen.h"
#include "platform/draw/Canvas.h"
#include "platform/draw/PngWriter.h"

namespace {

constexpr int sheetWidth = 960;
constexpr int sheetHeight = 720;
constexpr int ink = 0x202020;

void setColour(platform::Canvas& canvas, int colour) {
    canvas.setPenColour(colour);
    canvas.setBrushColour(colour);
}

void caption(Limage& sheet, int x, int y, const char* text) {
    drawText(sheet.canvas(), x, y, text, 0x606060);
}

void drawLines(Limage& sheet, int x, int y) {
    platform::Canvas& c = sheet.canvas();
    caption(sheet, x, y, "lines: fan, 45-degree, end points excluded");
    setColour(c, 0xC04000);
    const int ends[][2] = {{60, 0}, {60, 20}, {60, 60}, {20, 60}, {0, 60}, {-20, 60}};
    for (const auto& e : ends) {
        c.moveTo(x + 70, y + 20);
        c.lineTo(x + 70 + e[0], y + 20 + e[1]);
    }
    setColour(c, 0x008000);
    for (int i = 0; i < 5; i++) {
        c.moveTo(x + 150 + i * 4, y + 20);
        c.lineTo(x + 150 + i * 4, y + 30 + i * 10);
    }
}

void drawShapes(Limage& sheet, int x, int y) {
    platform::Canvas& c = sheet.canvas();
    caption(sheet, x, y, "fill, frame, polygon, ellipse, pixels");
    setColour(c, 0xE0A040);
    c.fillRect(x, y + 20, x + 40, y + 60);
    setColour(c, 0x4040C0);
    c.frameRect({x + 50, y + 20, x + 90, y + 60});
    c.setPenColour(0x000000);
    c.setBrushColour(0x60C0F0);
    const platform::Point star[] = {{x + 120, y + 20},
                                    {x + 132, y + 58},
                                    {x + 100, y + 34},
                                    {x + 140, y + 34},
                                    {x + 108, y + 58}};
    c.polygon(star, 5);
    c.setPenColour(0x800080);
    c.setBrushColour(0xF0C0F0);
    c.ellipse(x + 150, y + 20, x + 210, y + 60);
    c.ellipse(x + 215, y + 20, x + 226, y + 31);
    for (int i = 0; i < 20; i++)
        c.setPixel(x + 230 + (i % 5) * 4, y + 20 + (i / 5) * 4, 0x0000FF);
}

void drawTexts(Limage& sheet, int x, int y) {
    platform::Canvas& c = sheet.canvas();
    const int heights[] = {-9, -11, -17, -24};
    for (int bold = 0; bold < 2; bold++) {
        int ty = y;
        for (const int h : heights) {
            c.font().height = h;
            c.font().bold = bold != 0;
            c.font().colour = bold ? 0x803000 : ink;
            c.setBrushStyle(platform::BrushStyle::clear);
            const std::string text = "Tempo 120 BPM (" + std::to_string(h) + ")";
            c.textOut(x + bold * 270, ty, text);
            const int w = c.textWidth(text), th = c.textHeight(text);
            c.setBrushStyle(platform::BrushStyle::solid);
            setColour(c, 0xB0B0FF);  // the measured cell, just right of and below the text
            c.fillRect(x + bold * 270 + w, ty, x + bold * 270 + w + 1, ty + th);
            c.fillRect(x + bold * 270, ty + th, x + bold * 270 + w, ty + th + 1);
            ty += th + 6;
        }
    }
    c.font().bold = false;
    c.font().height = -11;
    c.font().underline = true;
    c.font().colour = 0xFFFFFF;
    c.setBrushStyle(platform::BrushStyle::solid);
    c.setBrushColour(0x404040);
    c.textOut(x, y + 140, "underlined on a solid brush");
    c.font().underline = false;
}

void drawGradients(Limage& sheet, int x, int y) {
    caption(sheet, x, y, "gradients: vertical, horizontal, shades of one base");
    platform::Canvas& c = sheet.canvas();
    gradient(c, x, y + 20, x + 59, y + 99, scaleColour(0xC08040, 1.07f),
             scaleColour(0xC08040, 0.85f), false);
    gradient(c, x + 70, y + 20, x + 169, y + 99, 0xFFFFFF, 0x000000, true);
    const float factors[] = {0.38f, 0.58f, 0.8f, 0.93f, 1.0f, 1.07f, 1.2f, 1.72f};
    for (int i = 0; i < 8; i++) {
        setColour(c, scaleColour(0x927A5A, factors[i]));
        c.fillRect(x + 180 + i * 14, y + 20, x + 192 + i * 14, y + 60);
        setColour(c, mixColour(0x0000FF, 0xFF0000, i / 7.0f));
        c.fillRect(x + 180 + i * 14, y + 64, x + 192 + i * 14, y + 100);
    }
}

// A round sprite on black, keyed out by its black background in the keyed copy.
Limage makeSprite() {
    Limage sprite;
    sprite.create(48, 48);
    sprite.fill(0x000000);
    limagePen.setTarget(sprite);
    limagePen.setColour(0x40C0FF);
    limagePen.circle(23.5, 23.5, 20, true);
    sprite.canvas().font().colour = 0x000000;
    drawText(sprite.canvas(), 14, 16, "B", 0x000000, true);
    return sprite;
}

void drawCopies(Limage& sheet, int x, int y) {
    caption(sheet, x, y, "keyed, tinted (T0), blended: B1 add, B3 screen, B7 sub, T0, tint+B1");
    platform::Canvas& c = sheet.canvas();
    gradient(c, x, y + 20, x + 419, y + 79, 0x6060A0, 0xA0E0A0, true);
    const Limage sprite = makeSprite();
    Limage::drawKeyed(sprite, sheet, x + 5, y + 26, 0x000000);
    Limage::drawTinted(sprite, sheet, x + 65, y + 26, 0x000000, 0x4080FF, T0);
    Limage::drawBlended(sprite, sheet, x + 125, y + 26, B1);
    Limage::drawBlended(sprite, sheet, x + 185, y + 26, B3);
    Limage::drawBlended(sprite, sheet, x + 245, y + 26, B7);
    Limage::drawBlended(sprite, sheet, x + 305, y + 26, T0);
    Limage::drawTintBlended(sprite, sheet, x + 365, y + 26, B1, 0x3050FF, T0);
    Limage centred = sprite;
    centred.setCentred();
    sheet.setClip(x + 420, y + 20, x + 459, y + 79);  // half of it clipped away
    Limage::drawKeyed(centred, sheet, x + 440, y + 50, -1);
    sheet.resetClip();
}

// Each table as a picture: first operand down, second operand across, at half resolution.
void drawTable(Limage& sheet, int x, int y, BlendTable table, const char* name) {
    caption(sheet, x, y, name);
    for (int row = 0; row < 128; row++)
        for (int col = 0; col < 128; col++) {
            const int v = table[(row * 2) * 256 + col * 2];
            unsigned char* p = sheet.rows[y + 16 + row] + (x + col) * 3;
            p[0] = p[1] = p[2] = static_cast<unsigned char>(v);
        }
}

void drawTables(Limage& sheet, int x, int y) {
    const BlendTable tables[] = {T0, T1, T2, T3, T4, B3, B6};
    const char* names[] = {"T0", "T1", "T2", "T3", "T4", "B3 screen", "B6 soft key"};
    for (int i = 0; i < 7; i++)
        drawTable(sheet, x + i * 134, y, tables[i], names[i]);
}

void drawPen(Limage& sheet, int x, int y) {
    caption(sheet, x, y, "antialiased pen: rings and points");
    limagePen.setTarget(sheet);
    limagePen.setColour(0x3D4F56);
    for (double r = 30; r >= 28.5; r -= 0.5)
        limagePen.circle(x + 40, y + 55, r, false);
    limagePen.setColour(0x00A0FF);
    limagePen.circle(x + 110, y + 55, 12.3, true);
    for (int i = 0; i < 10; i++)
        limagePen.plot(x + 140 + i * 6.3, y + 40 + i * 2.7);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "testsheet.png";
    Limage sheet;
    if (!sheet.create(sheetWidth, sheetHeight)) return 1;
    sheet.fill(0xF4F4F4);
    drawLines(sheet, 10, 10);
    drawShapes(sheet, 250, 10);
    drawGradients(sheet, 560, 10);
    drawTexts(sheet, 10, 130);
    drawPen(sheet, 560, 130);
    drawCopies(sheet, 10, 330);
    drawTables(sheet, 10, 440);
    if (!platform::PngWriter::write(sheet.pixels(), path)) {
        std::fprintf(stderr, "testsheet: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
