// The shaded fader: track, knob and shadows rendered once, composed per draw, and the drag.
#include "shadeui/ShadeFader.h"

#include "graphics/Drawing.h"
#include "platform/draw/Canvas.h"
#include "shadeui/ShadeToolkit.h"

namespace {

constexpr int knobHeight = 31;

// NaN and values below 0 count as 0; values above 1 as 1.
double clampUnit(double v) {
    if (!(v >= 0)) return 0;
    return v > 1 ? 1 : v;
}

void line(platform::Canvas& canvas, int x1, int y1, int x2, int y2) {
    canvas.moveTo(x1, y1);
    canvas.lineTo(x2, y2);
}

}  // namespace

int ShadeFader::panelWidth(int extra) {
    int p = extra + 21;
    return p % 2 == 0 ? p - 1 : p;
}

void ShadeFader::setUp(int x, int y, int height, const AnsiString& newCaption, double* var,
                       int tickCount) {
    caption = newCaption;
    value = var;
    int p = panelWidth(extraWidth);
    rect = {x, y, x + p + 12, y + height + 51};
    renderTrack(height, tickCount);
    renderKnob();
    renderShadow(softShadow, 5, 0xB0B0B0, true);
    renderShadow(darkShadow, 7, 0x8C8C8C, false);
}

void ShadeFader::renderTrack(int h, int tickCount) {
    int p = panelWidth(extraWidth);
    if (!trackImage.create(p + 12, h + 37)) return;
    platform::Canvas& canvas = trackImage.canvas();
    int w = trackImage.width, y1 = trackImage.height - 1;
    trackImage.fill(backColour);
    int tickColour = scaleColour(foreColour, dark ? 0.8f : 1.0f);
    setColour(canvas, tickColour);
    canvas.fillRect(0, 18, w, 20);
    canvas.fillRect(0, y1 - 19, w, y1 - 17);
    setColour(canvas, mixColour(backColour, tickColour, tickColour == 0 ? 0.35f : 0.4f));
    drawTicks(h, tickCount);
    drawSlotPanel(p);
}

// Ticks in the upper half are rounded half a pixel further down than those in the lower half,
// so that both halves sit symmetrically about the highlighted middle tick.
void ShadeFader::drawTicks(int h, int tickCount) {
    platform::Canvas& canvas = trackImage.canvas();
    int w = trackImage.width;
    int highlighted = tickHighlight == -1 ? tickCount / 2 : tickHighlight;
    for (int i = 1; i < tickCount; i++) {
        double v = static_cast<double>(i) / tickCount * h + 18;
        if (2 * i < tickCount) v += 0.5;
        if (h % 2 != 0) v += 1;
        int inset = i == highlighted ? 0 : 3;
        line(canvas, inset, static_cast<int>(v), w - inset, static_cast<int>(v));
    }
}

// A sunken panel down the middle, covering the middle of the ticks, with the slot in it.
void ShadeFader::drawSlotPanel(int p) {
    platform::Canvas& canvas = trackImage.canvas();
    int w = trackImage.width, y1 = trackImage.height - 1;
    int gx1 = w / 2 - p / 2, gx2 = w / 2 + p / 2;
    setColour(canvas, scaleColour(backColour, 0.8f));
    line(canvas, gx1, 0, gx2, 0);
    line(canvas, gx1, 0, gx1, y1);
    setColour(canvas, scaleColour(backColour, 1.15f));
    line(canvas, gx2, 1, gx2, y1);
    line(canvas, gx1 + 1, y1, gx2 + 1, y1);
    setColour(canvas, scaleColour(backColour, 0.9f));
    canvas.fillRect(gx1 + 1, 1, gx2, y1);
    setColour(canvas, scaleColour(backColour, 0.6f));
    canvas.fillRect(gx1 + 1, 1, gx1 + 2, y1);
    canvas.fillRect(gx1 + 1, 1, gx2, 2);
    int mid = (gx1 + gx2) / 2;
    setColour(canvas, scaleColour(backColour, 0.8f));
    canvas.fillRect(mid - 3, 14, mid + 4, y1 - 13);
    setColour(canvas, scaleColour(backColour, 0.6f));
    canvas.fillRect(mid, 14, mid + 1, y1 - 13);
}

// A ridged cap, darker above its black index line than below it.
void ShadeFader::renderKnob() {
    int kw = panelWidth(extraWidth) - 6, kh = knobHeight, half = kh / 2;
    if (!knobImage.create(kw, kh)) return;
    platform::Canvas& canvas = knobImage.canvas();
    int knobColour = dark ? 0x7C9FAD : 0xC8C8C8;
    double base = 1.1, amp = dark ? 0.33 : 0.2, step = dark ? 0.15 : 0.1;
    setColour(canvas, scaleColour(knobColour, static_cast<float>(base - amp)));
    canvas.fillRect(0, 0, kw + 1, half + 1);
    setColour(canvas, scaleColour(knobColour, static_cast<float>(base + amp)));
    canvas.fillRect(0, half, kw + 1, kh + 1);
    float lower = static_cast<float>(base + amp - 1.5 * step);
    float upper = static_cast<float>(base - amp + step);
    for (int i = 1; i < kh - 1; i += 2) {
        setColour(canvas, scaleColour(knobColour, i > half ? lower : upper));
        line(canvas, 0, i, kw, i);
    }
    setColour(canvas, scaleColour(knobColour, 1.2f));
    line(canvas, 0, 0, kw, 0);
    setColour(canvas, scaleColour(knobColour, 0.8f));
    line(canvas, 0, kh - 1, kw, kh - 1);
    setColour(canvas, 0);
    canvas.fillRect(0, half, kw + 1, half + 1);
}

// The knob's outline swept `offset` pixels down and right, in grey on white, so that a multiply
// blend darkens only what lies under it. The soft one fades towards the middle of its right
// edge; both have their two 45-degree edges softened.
void ShadeFader::renderShadow(Limage& shadow, int offset, int grey, bool soft) {
    int kw = panelWidth(extraWidth) - 6, d = offset;
    if (!shadow.create(kw + d, knobHeight + d)) return;
    platform::Canvas& canvas = shadow.canvas();
    int sw = kw - 1, sh = knobHeight - 1;
    shadow.fill(0xFFFFFF);
    setColour(canvas, grey);
    platform::Point outline[] = {{0, 0},      {sw, 0}, {sw + d, d}, {sw + d, sh + d},
                                 {d, sh + d}, {0, sh}, {0, 0}};
    canvas.polygon(outline, 7);
    if (soft) {
        gradient(canvas, sw + d, d, sw + d, sh / 2 + d, grey, 0xFFFFFF, false);
        gradient(canvas, sw + d, sh / 2 + d, sw + d, sh + d, 0xFFFFFF, grey, false);
    }
    int edge = mixColour(grey, 0xFFFFFF, 0.5f);
    setColour(canvas, edge);
    for (int i = 0; i < d; i++) {
        canvas.setPixel(sw + 1 + i, i, edge);
        canvas.setPixel(i, sh + 1 + i, edge);
    }
}

int ShadeFader::knobCentreY(double v) const {
    return static_cast<int>((1 - clampUnit(v)) * (rect.Bottom - rect.Top - 51) + rect.Top + 33 +
                            0.5);
}

void ShadeFader::draw() {
    if (value == nullptr || !canDraw()) return;
    platform::Rect area = rect;
    area.Bottom += 10;
    int centreX = (rect.Left + rect.Right) / 2;
    setColour(raster->canvas(), backColour);
    raster->canvas().fillRect(area.Left, area.Top, area.Right, area.Bottom + 1);
    drawCaption(centreX);
    int knobLeft = centreX - knobImage.width / 2;
    int knobTop = knobCentreY(*value) - knobImage.height / 2;
    int trackLeft = centreX - trackImage.width / 2, trackTop = rect.Top + 15;
    Limage::drawKeyed(trackImage, *raster, trackLeft, trackTop, -1);
    Limage::drawBlended(softShadow, *raster, knobLeft, knobTop, T0);
    // Copying the track again inside a clip wipes the soft shadow back off except for a strip
    // along its right edge and its bottom, so the knob carries a hard shadow with a soft rim.
    raster->setClip(0, 0, knobLeft + softShadow.width - 4, rect.Top + trackImage.height + 13);
    Limage::drawKeyed(trackImage, *raster, trackLeft, trackTop, 0x0000FF);
    Limage::drawBlended(darkShadow, *raster, knobLeft, knobTop, T0);
    raster->resetClip();
    Limage::drawKeyed(knobImage, *raster, knobLeft, knobTop, -1);
    presentTo(*raster, *windowCanvas, area, 0, 0);
}

void ShadeFader::drawCaption(int centreX) {
    platform::Canvas& canvas = raster->canvas();
    beginText(canvas, foreColour);
    canvas.textOut(centreX + 1 - canvas.textWidth(caption) / 2, rect.Top - 2, caption);
    endText(canvas);
}

// A press near the knob grabs it where it is; farther away the knob jumps under the pointer.
// The value starts from its shown (clamped) position, so that a bound value beyond the ends
// does not leave a dead stretch before the knob starts to follow.
double ShadeFader::pressValue(int y) const {
    int top = rect.Top + 33, span = rect.Bottom - 18 - top;
    double v = clampUnit(*value);
    int distance = static_cast<int>((1 - v) * span + top + 0.5) - y;
    if (distance > -18 && distance < 18) return v;
    return clampUnit(1 - static_cast<double>(y - top) / span);
}

bool ShadeFader::hits(int x, int y) const {
    return x >= rect.Left && x <= rect.Right && y >= rect.Top && y <= rect.Bottom &&
           y > rect.Top + 15;
}

bool ShadeFader::drag(int x, int y, bool isPress) {
    if (value == nullptr) return false;
    const bool hit = hits(x, y);
    if (isPress && hit) capturedFader = this;
    if (!(isPress && hit) && (isPress || capturedFader != this)) return false;
    int span = rect.Bottom - 18 - (rect.Top + 33);
    if (span < 1) return false;
    double v;
    if (isPress) {
        v = pressValue(y);
        dragStartValue = v;
        dragStartY = y;
    } else {
        v = dragStartValue - static_cast<double>(y - dragStartY) / span;
    }
    v = clampUnit(v);
    if (v == *value) return false;
    *value = v;
    draw();
    return true;
}

bool ShadeFader::wheel(int x, int y, int steps) {
    if (value == nullptr || steps == 0 || !hits(x, y)) return false;
    const double v = clampUnit(*value + steps * wheelStep);
    if (v == *value) return false;
    *value = v;
    draw();
    return true;
}
