// The shaded button: caption parsing, face rendering, drawing and the click.
#include "shadeui/ShadeButton.h"

#include "base/TextConversions.h"
#include "graphics/Drawing.h"
#include "platform/draw/Canvas.h"
#include "shadeui/Glyphs.h"

void ShadeButton::setUpButton(int x, int y, int width, int height, const AnsiString& caption,
                              int newId) {
    toggleVar = nullptr;
    radioVar = nullptr;
    radioValue = -1;
    id = newId;
    setUp(x, y, width, height, caption);
}

void ShadeButton::setUpToggle(int x, int y, int width, int height, const AnsiString& caption,
                              bool* var) {
    toggleVar = var;
    radioVar = nullptr;
    radioValue = -1;
    id = -1;
    setUp(x, y, width, height, caption);
}

void ShadeButton::setUp(int x, int y, int width, int height, const AnsiString& caption) {
    Mode mode = Mode::plain;
    AnsiString text = caption.empty() ? AnsiString(" ") : caption;
    labelOffset = 0;
    AnsiString before, after;
    if (splitAt(text, '@', before, after)) {
        labelOffset = toInt(after);
        text = before;
    }
    pressed = false;
    rect = {x, y, x + width, y + height};
    offImage.create(width, height);
    onImage.create(width, height);
    text = parseCaption(text, mode);
    if (mode == Mode::label) {
        keepBackground();
        return;
    }
    bool momentary = toggleVar == nullptr && radioVar == nullptr;
    renderFace(offImage, text, mode, momentary ? FaceState::momentary : FaceState::off);
    renderFace(onImage, text, mode, momentary ? FaceState::momentary : FaceState::on);
}

// A label-only button shows no face, yet draw copies one: both faces hold what the back buffer
// shows under the button at set-up, so that drawing them changes nothing there.
void ShadeButton::keepBackground() {
    for (Limage* face : {&offImage, &onImage}) {
        face->fill(backColour);
        if (raster != nullptr) Limage::drawKeyed(*raster, *face, -rect.Left, -rect.Top, -1);
    }
}

// Takes the "#" and "$" prefixes off the caption and sets the mode and the label they ask for.
AnsiString ShadeButton::parseCaption(const AnsiString& caption, Mode& mode) {
    AnsiString text = caption;
    mode = Mode::plain;
    if (!text.empty() && text[0] == '#') {
        text.erase(0, 1);
        mode = Mode::bright;
    }
    labelOnly = !text.empty() && text[0] == '$';
    label.clear();
    if (labelOnly) {
        text.erase(0, 1);
        mode = Mode::label;
        label = text;
    }
    return text;
}

void ShadeButton::renderFace(Limage& face, const AnsiString& caption, Mode mode, FaceState state) {
    if (!face.isValid()) return;
    platform::Canvas& canvas = face.canvas();
    int w = face.width, h = face.height;
    int faceColour = scaleColour(backColour, mode == Mode::bright ? 1.17f : 0.85f);
    int light = scaleColour(faceColour, 1.15f);
    int dark = scaleColour(faceColour, 0.9f);
    setColour(canvas, scaleColour(backColour, 0.58f));
    canvas.frameRect({0, 0, w, h});
    setColour(canvas, light);
    canvas.moveTo(1, 1);
    canvas.lineTo(w - 1, 1);
    canvas.moveTo(1, 1);
    canvas.lineTo(1, h - 2);
    setColour(canvas, dark);
    canvas.moveTo(w - 2, 2);
    canvas.lineTo(w - 2, h - 1);
    canvas.moveTo(1, h - 2);
    canvas.lineTo(w - 1, h - 2);
    gradient(canvas, 1, 2, w - 2, h - 3, scaleColour(faceColour, 0.93f),
             scaleColour(faceColour, 1.07f), false);
    drawCaption(face, caption, state, scaleColour(foreColour, 0.9f));
    if (state != FaceState::momentary) drawLamp(face, state, faceColour);
}

void ShadeButton::drawCaption(Limage& face, const AnsiString& caption, FaceState state,
                              int textColour) {
    platform::Canvas& canvas = face.canvas();
    int cx = face.width / 2, cy = face.height / 2;
    setColour(canvas, textColour);
    canvas.font().colour = textColour;
    if (isGlyphToken(caption)) {
        drawGlyph(caption, canvas, cx, cy);
        return;
    }
    beginText(canvas, textColour, true);
    int y = cy - canvas.textHeight(caption) / 2;
    if (state == FaceState::momentary) y--;
    canvas.textOut(cx - canvas.textWidth(caption) / 2, y, caption);
    endText(canvas, true);
}

// The lamp is a small sunken window along the top edge: light below and right, dark above and
// left, and inside it a dull or a yellow strip two rows high.
void ShadeButton::drawLamp(Limage& face, FaceState state, int faceColour) {
    platform::Canvas& canvas = face.canvas();
    int w = face.width, cx = w / 2;
    int reach = w >= 40 ? 15 : 7;
    int x1 = cx - reach, x2 = cx + reach;
    if (w % 2 == 1) x2++;
    setColour(canvas, scaleColour(faceColour, 1.15f));
    canvas.moveTo(x1 - 1, 4);
    canvas.lineTo(x2 + 1, 4);
    canvas.moveTo(x2, 2);
    canvas.lineTo(x2, 4);
    setColour(canvas, scaleColour(faceColour, 0.9f));
    canvas.moveTo(x1, 1);
    canvas.lineTo(x2, 1);
    canvas.moveTo(x1 - 1, 1);
    canvas.lineTo(x1 - 1, 4);
    setColour(canvas, state == FaceState::on ? 0x0000FFFF : scaleColour(faceColour, 0.7f));
    canvas.fillRect(x1, 2, x2, 4);
}

bool ShadeButton::isOn() const {
    if (radioVar != nullptr) return *radioVar == radioValue;
    if (toggleVar != nullptr) return *toggleVar != invert;
    return false;
}

void ShadeButton::draw() {
    if (!canDraw()) return;
    if (!label.empty()) drawLabel();
    const Limage& face = isOn() ? onImage : offImage;
    if (!face.isValid()) return;
    if (pressed && !labelOnly)
        drawPressed(face);
    else
        raster->canvas().draw(rect.Left, rect.Top, face.pixels());
    presentTo(*raster, *windowCanvas, rect, 0, 0);
}

void ShadeButton::drawLabel() {
    platform::Canvas& canvas = raster->canvas();
    beginText(canvas, foreColour);
    int x = (rect.Left + rect.Right) / 2 + labelOffset - canvas.textWidth(label) / 2;
    int y = rect.Top - 4 - 2 * (canvas.textHeight(label) / 2);
    canvas.textOut(x, y, label);
    endText(canvas);
}

// Held down, the face sits one pixel lower, cut off above the bottom edge, with a shadow along
// its new top row and left column.
void ShadeButton::drawPressed(const Limage& face) {
    raster->setClip(rect.Left, rect.Top, rect.Right, rect.Bottom - 2);
    Limage::drawTinted(face, *raster, rect.Left, rect.Top + 1, -1, 0xFFFFFF, T0);
    Limage shade;
    if (shade.create(face.width, 1)) {
        shade.fill(0xE0E0E0);
        Limage::drawBlended(shade, *raster, rect.Left, rect.Top + 2, T0);
    }
    if (shade.create(1, face.height - 2)) {
        shade.fill(0xD8D8D8);
        Limage::drawBlended(shade, *raster, rect.Left + 1, rect.Top + 2, T0);
    }
    raster->resetClip();
}

bool ShadeButton::clickTest(int x, int y) {
    if (x < rect.Left || x > rect.Right || y < rect.Top || y > rect.Bottom - 1) return false;
    pressed = true;
    if (toggleVar != nullptr) *toggleVar = !*toggleVar;
    if (radioVar != nullptr) *radioVar = radioValue;
    draw();
    return true;
}
