// controlsheet: renders every button face, fader and glyph in both colour models to PNG files.
//
//   controlsheet [folder]   writes controls-light.png, controls-dark.png and the same at four
//                           times the size (…-x4.png), and menu.png (three times the size) into
//                           the folder (default: the current one).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "graphics/Drawing.h"
#include "graphics/Limage.h"
#include "platform/draw/Canvas.h"
#include "platform/draw/PngWriter.h"
#include "platform/window/WindowCanvas.h"
#include "popups/TFshadeMenu.h"
#include "shadeui/Glyphs.h"
#include "shadeui/ShadeButton.h"
#include "shadeui/ShadeFader.h"
#include "shadeui/ShadeToolkit.h"

namespace {

// The sheet is the window here: presenting shows nothing more.
class NoWindow : public platform::WindowCanvas {
  public:
    void setClip(const platform::Rect&) override {}
    void clearClip() override {}
    bool hasClip() const override { return false; }
    void draw(int, int, const platform::PixelRows&) override {}
};

struct Model {
    const char* name;
    bool dark;
    int back;
    int fore;
};

class Sheet {
  public:
    Limage raster;
    NoWindow window;
    Model model;
    bool states[3] = {false, true, false};

    explicit Sheet(const Model& m) : model(m) {
        raster.create(560, 420);
        raster.fill(model.back);
    }

    ShadeButton& button(ShadeButton& b, int x, int y, int w, const AnsiString& caption, bool* var) {
        b.raster = &raster;
        b.windowCanvas = &window;
        b.backColour = scaleColour(model.back, 1.04f);
        b.foreColour = model.fore;
        if (var)
            b.setUpToggle(x, y, w, 22, caption, var);
        else
            b.setUpButton(x, y, w, 22, caption, 0);
        b.draw();
        return b;
    }

    void label(int x, int y, const char* text) {
        drawText(raster.canvas(), x, y, text, model.fore);
    }

    void glyphRow(int y, bool* var, bool pressed) {
        for (int i = 0; i < glyphTokenCount; i++) {
            ShadeButton b;
            button(b, 20 + 26 * i, y, 22, glyphTokens[i], var);
            if (pressed) {
                b.pressed = true;
                b.draw();
            }
        }
    }

    void textButtons(int y) {
        bool off = false, on = true;
        const char* captions[] = {"", "Play", "#Bright", "<Play>", "Tap@-12"};
        for (int i = 0; i < 5; i++) {
            ShadeButton a, b, c;
            button(a, 20 + 54 * i, y, 50, captions[i], nullptr);
            button(b, 20 + 54 * i, y + 26, 50, captions[i], &off);
            button(c, 20 + 54 * i, y + 52, 50, captions[i], &on);
        }
        ShadeButton wideOff, wideOn, labelOnly;
        button(wideOff, 300, y, 71, "<sound>", &off);
        button(wideOn, 300, y + 26, 71, "<sound>", &on);
        button(labelOnly, 300, y + 70, 71, "$Play@-12", nullptr);
    }

    void faders(int y) {
        static double values[4] = {0, 0.5, 1, 1.7};
        for (int i = 0; i < 4; i++) {
            ShadeFader f;
            f.raster = &raster;
            f.windowCanvas = &window;
            f.backColour = model.back;
            f.foreColour = model.fore;
            f.setUp(20 + 52 * i, y, 100, i == 0 ? "Tempo" : "Volume", &values[i], 10);
            f.draw();
        }
    }

    void render() {
        dark = model.dark;
        bool off = false, on = true;
        label(20, 4, "momentary, off, on, pressed");
        glyphRow(20, nullptr, false);
        glyphRow(46, &off, false);
        glyphRow(72, &on, false);
        glyphRow(98, nullptr, true);
        label(20, 128, "text captions: momentary, off, on; wide toggles; label only");
        textButtons(144);
        faders(240);
        dark = false;
    }
};

Limage zoomed(const Limage& source, int factor) {
    Limage big;
    if (!big.create(source.width * factor, source.height * factor)) return big;
    for (int y = 0; y < big.height; y++)
        for (int x = 0; x < big.width; x++)
            for (int c = 0; c < 3; c++)
                big.rows[y][3 * x + c] = source.rows[y / factor][3 * (x / factor) + c];
    return big;
}

bool writeSheet(const Model& model, const std::string& folder) {
    Sheet sheet(model);
    sheet.render();
    std::string base = folder + "/controls-" + model.name;
    bool ok = platform::PngWriter::write(sheet.raster.pixels(), base + ".png");
    Limage big = zoomed(sheet.raster, 4);
    ok = ok && platform::PngWriter::write(big.pixels(), base + "-x4.png");
    std::printf("%s %s.png\n", ok ? "wrote" : "could not write", base.c_str());
    return ok;
}

// The popup menu as it paints itself, with the third entry under the mouse.
bool writeMenu(const std::string& folder) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    TFshadeMenu menu;
    const char* texts[] = {"#Show Beat Numbers", "White Model", "-Hot Keys...|F1",
                           "Specifications...",  "$About...",   "-@#Dimmed entry|@Ctrl+D",
                           "www.example.org",    "-Exit|Esc"};
    for (const char* text : texts)
        menu.entries.add(text);
    menu.setColour(0x929292);
    menu.show();
    menu.FormMouseMove(0, 40, 50);
    std::string path = folder + "/menu.png";
    bool ok = platform::PngWriter::write(zoomed(menu.raster, 3).pixels(), path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path.c_str());
    menu.hide();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    bool ok = writeSheet({"light", false, 0xE0E0E0, 0x484848}, folder);
    ok = writeSheet({"dark", true, 0x505050, 0x88AEBE}, folder) && ok;
    ok = writeMenu(folder) && ok;
    return ok ? 0 : 1;
}
