// Renders a sheet of every canvas primitive and of text in the sizes the program uses to a PNG
// file (canvas-sheet.png, or the path given), for a person to look at.
#include <cstdio>
#include <string>

#include "platform/draw/Bitmap.h"
#include "platform/draw/PngWriter.h"

namespace platform {
namespace {

void shapes(Canvas& c) {
    c.setPenColour(0x202020);
    for (int i = 0; i < 8; ++i) {  // a fan of lines of every slope
        c.moveTo(20, 20);
        c.lineTo(20 + (i < 4 ? 40 : 40 - (i - 4) * 13), 20 + (i < 4 ? i * 13 : 40));
    }
    c.setBrushColour(0x3060C0);
    c.fillRect(70, 10, 110, 50);
    c.setBrushColour(0x000000);
    c.frameRect(Rect{120, 10, 160, 50});
    c.setPenColour(0x004000);
    c.setBrushColour(0x40C040);
    const Point star[] = {{190, 10}, {202, 48}, {170, 24}, {210, 24}, {178, 48}};
    c.polygon(star, 5);
    c.setPenColour(0x800000);
    c.setBrushColour(0xFFC080);
    c.ellipse(220, 10, 280, 50);
    c.ellipse(290, 10, 301, 21);
    for (int x = 310; x < 350; x += 3)
        c.setPixel(x, 30, 0x0000FF);
}

void texts(Canvas& c, int top) {
    int y = top;
    for (const int height : {-9, -10, -11, -17, -24}) {
        for (const bool bold : {false, true}) {
            c.font().height = height;
            c.font().bold = bold;
            c.font().colour = 0x303030;
            const std::string line = std::to_string(height) + (bold ? " bold" : " regular") +
                                     ": 120 BPM  Digital B  Hi-hat  Classic  Tap  Play";
            c.textOut(8, y, line);
            y += c.textHeight(line) + 2;
        }
    }
    c.font() = CanvasFont{};
    c.font().underline = true;
    c.font().colour = 0xFF0000;
    c.textOut(8, y, "www.example.com underlined");
    c.font().underline = false;
    c.setBrushStyle(BrushStyle::solid);
    c.setBrushColour(0x404040);
    c.font().colour = 0xFFFFFF;
    c.textOut(200, y, " light on a solid cell ");
}

}  // namespace
}  // namespace platform

int main(int argc, char** argv) {
    using namespace platform;
    const std::string path = argc > 1 ? argv[1] : "canvas-sheet.png";
    Bitmap sheet;
    if (!sheet.create(560, 330)) return 1;
    Canvas& c = sheet.canvas();
    c.setBrushColour(0xF0F0F0);
    c.fillRect(0, 0, 560, 330);
    shapes(c);
    c.setBrushStyle(BrushStyle::clear);
    texts(c, 62);
    if (!PngWriter::write(sheet.pixels(), path)) {
        std::fprintf(stderr, "canvassheet: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
