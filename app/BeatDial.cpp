// The beat dial's background layers, its frame painter and the bubbles.
#include "app/BeatDial.h"

#include <algorithm>
#include <cmath>

#include "base/TextConversions.h"
#include "engine/Metronome.h"
#include "graphics/Drawing.h"
#include "platform/draw/Canvas.h"
#include "platform/system/Clock.h"
#include "platform/window/Form.h"
#include "shadeui/ShadeUI.h"

namespace {

constexpr double twoPi = 6.283185307179586;

// One text of the dial: font colour, no background, the given height and weight.
void dialText(platform::Canvas& canvas, int height, bool bold, int colour) {
    canvas.setBrushStyle(platform::BrushStyle::clear);
    canvas.font().height = height;
    canvas.font().bold = bold;
    canvas.font().colour = colour;
}

void endDialText(platform::Canvas& canvas) {
    canvas.setBrushStyle(platform::BrushStyle::solid);
    canvas.font().bold = false;
}

void fillSquare(platform::Canvas& canvas, int x, int y, int inner, int outer, int colour) {
    canvas.setPenColour(colour);
    canvas.setBrushColour(colour);
    canvas.fillRect(x - inner, y - inner, x + outer, y + outer);
}

// Fills a temporary image with black, draws one shape on it and blends it onto the target.
void glow(Limage& scratch, Limage& target, int colour, int x1, int y1, int x2, int y2,
          BlendTable table) {
    scratch.fill(0);
    platform::Canvas& canvas = scratch.canvas();
    canvas.setPenColour(colour);
    canvas.setBrushColour(colour);
    canvas.ellipse(x1, y1, x2, y2);
    Limage::drawBlended(scratch, target, 0, 0, table);
}

}  // namespace

BeatDial::BeatDial(Metronome& model, ShadeUI& owner) : metronome(model), container(owner) {}

AnsiString BeatDial::soundName(int sound) {
    switch (sound) {
        case 0:
            return "Digital";
        case 1:
            return AnsiString("Digital") + " B";
        case 2:
            return "Classic";
        case 3:
            return "Hi-hat";
        default:
            return "";
    }
}

// A blue-grey square with a faint glow over its left part, a slightly darker band along its
// bottom and a faint light band across the top.
void BeatDial::buildBackground() {
    if (!background.create(size, size)) return;
    background.fill(baseColour);
    platform::Canvas& canvas = background.canvas();
    gradient(canvas, 0, 0, size, 94, scaleColour(baseColour, 1.07f), scaleColour(baseColour, 0.85f),
             false);
    gradient(canvas, 0, 94, size, size, scaleColour(baseColour, 0.85f),
             scaleColour(baseColour, 1.13f), false);
    Limage scratch;
    if (scratch.create(size, size)) {
        glow(scratch, background, 0x060606, -150, -200, 70, 269, B1);
        glow(scratch, background, 0x040404, -50, 155, 425, 489, B7);
        scratch.fill(0);
        gradient(scratch.canvas(), 0, 0, size, static_cast<int>(size * 0.2), 0x181818, 0, false);
        Limage::drawBlended(scratch, background, 0, 0, B1);
    }
    image.create(size, size);
    layer.release();
    imageOnLayer = false;
    stale = true;
}

// While nothing moves (stopped, no bubbles, no animation running) a frame equals the one
// before; drawing it again 60 times a second would only cost time. Anything that can change
// the picture is folded into one value; a repaint of the window marks the frame stale.
bool BeatDial::unchangedSinceLastFrame() {
    const bool still = !moving();
    const std::uint64_t key = stillKey();
    const bool same = still && !stale && key == lastStill;
    lastStill = still ? key : 0;
    stale = false;
    return same;
}

bool BeatDial::moving() const {
    return metronome.running || metronome.bubbles ||
           (metronome.animateBeatChange && (clock() - beatChangeTime) * 6u < 1000u);
}

std::uint64_t BeatDial::stillKey() {
    std::uint64_t key = static_cast<std::uint64_t>(metronome.bpm());
    // Unsigned arithmetic throughout: a hand-edited sound number may be any int.
    for (int value :
         {static_cast<int>(patternCode()), metronome.shownBeats(), metronome.sound,
          Metronome::clampBeats(previousBeats), static_cast<int>(metronome.beatNumbers),
          static_cast<int>(metronome.fadingBeats), static_cast<int>(metronome.animateBeatChange)})
        key = key * 1000003u + static_cast<std::uint32_t>(value);
    return key;
}

// The main loop sleeps until then; a frame that would equal the last one is no reason to wake.
// The wait is measured on another millisecond clock and may end up to a millisecond early by
// this one: one more keeps the pass from coming too soon and drawing nothing.
std::uint32_t BeatDial::msUntilNextFrame() {
    if (!image.isValid()) return UINT32_MAX;
    if (!moving() && !stale && stillKey() == lastStill) return UINT32_MAX;
    const std::uint32_t elapsed = clock() - lastFrameTime;
    return elapsed >= frameInterval ? 0 : frameInterval - elapsed + 1;
}

void BeatDial::paint(bool toBackground) {
    if (clock() < lastFrameTime + frameInterval) return;
    lastFrameTime = clock();
    if (!image.isValid()) return;
    if (!toBackground && unchangedSinceLastFrame()) return;
    ++framesComposed;
    const std::uint32_t now = clock();
    const Light light = currentLight();
    if (!useLayer || !composeOnLayer(now, light)) composeWhole(now, light);
    show(toBackground);
}

// The heard position is read once a frame: the audio thread moves it while the frame is drawn.
// Right after a start nothing of the bar is heard yet (a negative position): no beat lit.
BeatDial::Light BeatDial::currentLight() {
    Light light;
    light.position = metronome.running ? metronome.beatPosition() : -1.0;
    light.silent = light.position >= 0.0 && metronome.heardBarSilent();
    return light;
}

// The frame from scratch: background, bubbles, texts, ring, markers and the lit ones among them.
void BeatDial::composeWhole(std::uint32_t now, const Light& light) {
    imageOnLayer = false;
    unsent = {0, 0, image.width, image.height};
    Limage::drawKeyed(background, image, 0, 0, -1);
    if (metronome.bubbles) drawBubbleStrip();
    drawFigures(now, light);
}

// Between two frames only the lit marker and pulse (and the bubbles) change. The rest is kept in
// a layer, drawn again only when tempo, count, pattern, sound or numbers change; a frame copies
// it and composes whole, each clipped to its rectangle, only the parts where something moves
// (drawing clipped gives the same pixels inside the clip). During the change animation the ring
// moves too, and the frame is composed whole.
bool BeatDial::composeOnLayer(std::uint32_t now, const Light& light) {
    if (animating(now)) return false;
    const LayerState state = layerState();
    if (!layer.isValid() || !(state == layerDrawn)) {
        if (!layer.create(image.width, image.height)) return false;
        Limage::drawKeyed(background, image, 0, 0, -1);
        drawFigures(now, Light{});
        Limage::drawKeyed(image, layer, 0, 0, -1);
        layerDrawn = state;
        ++layersDrawn;
        imageOnLayer = false;
    }
    // The image is the layer but for the parts the last frame composed: those are put back.
    if (!imageOnLayer) {
        Limage::drawKeyed(layer, image, 0, 0, -1);
        unsent = {0, 0, image.width, image.height};
        litParts.clear();
    }
    for (const platform::Rect& part : litParts) {
        image.setClip(part.Left, part.Top, part.Right - 1, part.Bottom - 1);
        Limage::drawKeyed(layer, image, 0, 0, -1);
        unsent = unite(unsent, part);
    }
    std::vector<platform::Rect> parts = movingParts(light);
    for (const platform::Rect& part : parts) {
        image.setClip(part.Left, part.Top, part.Right - 1, part.Bottom - 1);
        Limage::drawKeyed(background, image, 0, 0, -1);
        unsent = unite(unsent, part);
    }
    image.resetClip();
    if (metronome.bubbles) drawBubbleStrip();
    platform::Canvas& canvas = image.canvas();
    for (const platform::Rect& part : parts) {
        canvas.setClip(part);
        drawFigures(now, light);
    }
    canvas.clearClip();
    litParts = std::move(parts);
    imageOnLayer = true;
    return true;
}

// The smallest rectangle holding both; an empty one holds nothing.
platform::Rect BeatDial::unite(const platform::Rect& a, const platform::Rect& b) {
    if (a.Left >= a.Right || a.Top >= a.Bottom) return b;
    if (b.Left >= b.Right || b.Top >= b.Bottom) return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

bool BeatDial::animating(std::uint32_t now) const {
    return metronome.animateBeatChange && (now - beatChangeTime) * 6u < 1000u;
}

BeatDial::LayerState BeatDial::layerState() const {
    return {metronome.bpm(), patternCode(), metronome.shownBeats(), metronome.sound,
            metronome.beatNumbers};
}

// The bubbles' strip and a margin around the lit marker and pulse, merged where they overlap so
// that nothing is drawn twice.
std::vector<platform::Rect> BeatDial::movingParts(const Light& light) const {
    std::vector<platform::Rect> parts;
    if (metronome.bubbles) {
        const int w = bubbleStripWidth(), x = bubbleStripLeft(w);
        parts.push_back({x, 0, x + w, image.height});
    }
    const int shown = metronome.shownBeats();
    const int n = shown == 0 ? 1 : shown;
    const double cx = image.width / 2, cy = image.height / 2;
    auto around = [&](double radius, double turn, int margin) {
        const double a = turn * twoPi;
        const int x = static_cast<int>(cx + std::sin(a) * radius + 0.5);
        const int y = static_cast<int>(cy - std::cos(a) * radius + 0.5);
        parts.push_back({x - margin, y - margin, x + margin + 1, y + margin + 1});
    };
    if (light.position >= 0.0) {
        const int radius = shown >= 2 ? static_cast<int>(cx * 0.75) : 0;
        around(radius, static_cast<int>(light.position) / static_cast<double>(n), 7);
        const int pulses = metronome.pulsesPerBeat();
        if (pulses >= 2)
            around(cx * 0.75,
                   static_cast<int>(light.position * pulses) / static_cast<double>(n * pulses), 4);
    }
    for (std::size_t i = 0; i < parts.size(); ++i)
        for (std::size_t j = i + 1; j < parts.size(); ++j) {
            platform::Rect& a = parts[i];
            const platform::Rect b = parts[j];
            if (a.Right <= b.Left || b.Right <= a.Left || a.Bottom <= b.Top || b.Bottom <= a.Top)
                continue;
            a = {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom)};
            parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(j));
            j = i;  // the grown rectangle may now meet one it missed before
        }
    return parts;
}

int BeatDial::bubbleStripWidth() const {
    return static_cast<int>(image.width * 0.08);
}

int BeatDial::bubbleStripLeft(int stripWidth) const {
    return static_cast<int>(image.width * 0.75 - stripWidth / 2);
}

void BeatDial::drawBubbleStrip() {
    Limage strip;
    const int h = image.height;
    if (!strip.create(bubbleStripWidth(), h)) return;
    strip.fill(0);
    drawBubbles(strip, strip.width / 2, h, strip.width, h);
    Limage::drawBlended(strip, image, bubbleStripLeft(strip.width), 0, B3);
}

// Texts, ring and markers, in this order, over the background (and bubbles).
void BeatDial::drawFigures(std::uint32_t now, const Light& light) {
    const int cx = image.width / 2;
    const int cy = image.height / 2;
    Colours colours{scaleColour(baseColour, 0.38f), 0x00FFFF, 0xFFFFFF, 0xFFFFFF};
    drawTexts(cx, cy);
    double radius = cx * 0.75;
    const int shown = animate(colours, radius, now);
    const int r = shown >= 2 ? static_cast<int>(radius) : 0;
    if (shown >= 2) drawRing(r, colours.ring);
    drawMarkers(shown, r, colours, light);
}

void BeatDial::drawTexts(int cx, int cy) {
    platform::Canvas& canvas = image.canvas();
    const int colour = scaleColour(baseColour, 0.38f);
    const int beats = metronome.shownBeats();
    struct Line {
        AnsiString text;
        int height;
        bool bold;
        int dx, dy;
    };
    const Line lines[] = {
        {"Tempo", -11, false, 0, -56},
        {toText(metronome.bpm()), -24, true, 0, -46},
        {"Beat", -11, false, 1, 20},
        {beats >= 1 ? toText(beats) : AnsiString("-"), -17, true, 0, 31},
    };
    for (const Line& line : lines) {
        dialText(canvas, line.height, line.bold, colour);
        canvas.textOut(cx + line.dx - canvas.textWidth(line.text) / 2, cy + line.dy, line.text);
        endDialText(canvas);
    }
    const AnsiString name = soundName(metronome.sound);
    dialText(canvas, -9, false, colour);
    canvas.textOut(5, image.height - 2 * (canvas.textHeight(name) / 2) - 4, name);
    endDialText(canvas);
}

// The shrink-and-grow of a change of beat count: the count switches halfway, at 83 ms, when
// the ring is smallest and faded; by 167 ms it is back. A change between 0 and 1 only switches.
// Both counts are taken as the dial shows them, 0..9, whatever a hand-edited file held.
int BeatDial::animate(Colours& colours, double& radius, std::uint32_t time) {
    const int before = Metronome::clampBeats(previousBeats), now = metronome.shownBeats();
    int shown = now;
    if (!metronome.animateBeatChange) return shown;
    const std::uint32_t elapsed = (time - beatChangeTime) * 6u;
    const double t = elapsed / 1000.0;
    if (t < 0.5) shown = before;
    const bool quiet = (before == 0 && now == 1) || (before == 1 && now == 0);
    if (t >= 1.0 || quiet) return shown;
    const double s = std::sqrt(std::fabs(1.0 - 2.0 * t));
    radius *= 0.75 + 0.25 * s;
    const int grey = scaleColour(baseColour, 0.8f);
    const float mix = static_cast<float>(s);
    colours.number = mixColour(grey, colours.number, mix);
    colours.ring = mixColour(grey, colours.ring, mix);
    colours.label = mixColour(grey, colours.label, mix);
    colours.lit = mixColour(grey, colours.lit, mix);
    return shown;
}

void BeatDial::drawRing(int radius, int colour) {
    platform::Canvas& canvas = image.canvas();
    const int cx = image.width / 2, cy = image.height / 2;
    for (int i = 0; i < 60; ++i) {
        const double a = i / 60.0 * twoPi;
        canvas.setPixel(static_cast<int>(cx + std::sin(a) * radius),
                        static_cast<int>(cy - std::cos(a) * radius), colour);
    }
}

void BeatDial::drawMarkers(int shown, int radius, const Colours& colours, const Light& light) {
    platform::Canvas& canvas = image.canvas();
    const int cx = image.width / 2, cy = image.height / 2;
    const int n = shown == 0 ? 1 : shown;
    const double position = light.position;
    const bool lighting = position >= 0.0;
    const bool levels = !defaultPattern(shown);
    Colours shownColours = colours;
    // In a silent bar the sounding beat is lit grey: the dial moves on, but nothing is heard.
    if (light.silent) shownColours.lit = scaleColour(baseColour, 0.8f);
    drawPulses(shown, lighting ? position : -1.0, shownColours);
    for (int i = 0; i < n; ++i) {
        const double a = static_cast<double>(i) / n * twoPi;
        const int bx = static_cast<int>(cx + std::sin(a) * radius + 0.5);
        const int by = static_cast<int>(cy - std::cos(a) * radius + 0.5);
        if (levels)
            drawLevel(bx, by, metronome.beatLevel(n, i), radius > 0 ? a : -1.0, colours.label);
        else
            fillSquare(canvas, bx, by, 5, 6, colours.label);
        if (metronome.beatNumbers && shown >= 2) {
            const AnsiString number = toText(i + 1);
            const int nx = static_cast<int>(cx + std::sin(a) * (radius + 14) + 0.5);
            const int ny = static_cast<int>(cy - std::cos(a) * (radius + 14) + 0.5);
            dialText(canvas, -11, true, colours.number);
            canvas.textOut(nx - canvas.textWidth(number) / 2,
                           ny - 1 - canvas.textHeight(number) / 2, number);
            endDialText(canvas);
        }
        if (!lighting || i != static_cast<int>(position)) continue;
        const double f = std::fmod(position, 1.0);
        double lit = f < 0.5 ? 1.0 : 0.0;
        if (metronome.fadingBeats) lit = (1.0 - f) * (1.0 - f);
        fillSquare(canvas, bx, by, 3, 4,
                   mixColour(colours.label, shownColours.lit, static_cast<float>(lit)));
    }
}

// Beat levels as the dial tells them apart: normal is the plain square, soft a smaller one,
// silent an empty outline, and an accent the square with a dot towards the dial's centre (below
// the one marker of a single beat). With the default pattern every marker is the plain square.
void BeatDial::drawLevel(int x, int y, int level, double angle, int colour) {
    platform::Canvas& canvas = image.canvas();
    if (level == Metronome::levelSoft) {
        fillSquare(canvas, x, y, 3, 4, colour);
        return;
    }
    if (level == Metronome::levelSilent) {
        canvas.setBrushColour(colour);
        canvas.frameRect({x - 5, y - 5, x + 6, y + 6});
        return;
    }
    fillSquare(canvas, x, y, 5, 6, colour);
    if (level != Metronome::levelAccent) return;
    const int dx = angle < 0.0 ? 0 : static_cast<int>(-std::sin(angle) * 11.0 + 0.5);
    const int dy = angle < 0.0 ? 11 : static_cast<int>(std::cos(angle) * 11.0 + 0.5);
    fillSquare(canvas, x + dx, y + dy, 1, 2, colour);
}

// The pulses between beats are small marks on the ring, each lit while it sounds as a beat's
// marker is (the ring's radius even where a bar of one beat has no ring).
void BeatDial::drawPulses(int shown, double position, const Colours& colours) {
    const int pulses = metronome.pulsesPerBeat();
    if (pulses < 2) return;
    platform::Canvas& canvas = image.canvas();
    const int n = shown == 0 ? 1 : shown;
    const double radius = image.width / 2 * 0.75;
    const double heard = position * pulses;
    for (int p = 0; p < n * pulses; ++p) {
        if (p % pulses == 0) continue;
        const double a = static_cast<double>(p) / (n * pulses) * twoPi;
        const int x = static_cast<int>(image.width / 2 + std::sin(a) * radius + 0.5);
        const int y = static_cast<int>(image.height / 2 - std::cos(a) * radius + 0.5);
        double lit = 0.0;
        if (position >= 0.0 && p == static_cast<int>(heard)) {
            const double f = std::fmod(heard, 1.0);
            lit = metronome.fadingBeats ? (1.0 - f) * (1.0 - f) : (f < 0.5 ? 1.0 : 0.0);
        }
        fillSquare(canvas, x, y, 1, 2,
                   mixColour(colours.label, colours.lit, static_cast<float>(lit)));
    }
}

std::uint64_t BeatDial::patternCode() const {
    std::uint64_t code = static_cast<std::uint64_t>(metronome.pulsesPerBeat());
    const int n = metronome.shownBeats();
    for (int i = 0; i < n; ++i)
        code = code * 4 + static_cast<std::uint64_t>(metronome.beatLevel(n, i));
    return code;
}

bool BeatDial::defaultPattern(int shown) const {
    if (shown == 0) return true;
    for (int i = 0; i < shown; ++i)
        if (metronome.beatLevel(shown, i) !=
            (i == 0 ? Metronome::levelAccent : Metronome::levelNormal))
            return false;
    return true;
}

int BeatDial::markerAt(int x, int y) const {
    const int n = metronome.shownBeats();
    if (n == 0) return -1;
    const int cx = size / 2, cy = size / 2;
    const int radius = n >= 2 ? static_cast<int>(cx * 0.75) : 0;
    for (int i = 0; i < n; ++i) {
        const double a = static_cast<double>(i) / n * twoPi;
        const int bx = left + static_cast<int>(cx + std::sin(a) * radius + 0.5);
        const int by = top + static_cast<int>(cy - std::cos(a) * radius + 0.5);
        if (x >= bx - 6 && x <= bx + 6 && y >= by - 6 && y <= by + 6) return i;
    }
    return -1;
}

void BeatDial::show(bool toBackground) {
    if (toBackground) {
        if (container.raster.isValid()) container.raster.canvas().draw(left, top, image.pixels());
        return;
    }
    // Most of a frame is what the window shows already: only the part that changed goes out,
    // and only where something was drawn since the last frame sent does it need comparing.
    if (!container.window) return;
    container.window->canvas().drawChanged(left, top, image.pixels(), unsent);
    unsent = {};
}

// The generator of the bubbles' flicker: a 64-bit linear congruential one; the value is the
// upper half of the new state with its top bit cleared.
std::uint32_t BeatDial::nextRandom() {
    randomState = randomState * 1486058704437ULL + 1;
    return static_cast<std::uint32_t>(randomState >> 32) & 0x7FFFFFFFu;
}

// 140 bubbles rise from the bottom of the strip and drift sideways; each takes 6.25 to 10.4
// seconds to rise, and its brightness flickers a little from frame to frame.
void BeatDial::drawBubbles(Limage& strip, double a, double b, double c, double d) {
    const float t = static_cast<float>(clock() * 0.001);
    platform::Canvas& canvas = strip.canvas();
    for (int k = 0; k < 140; ++k) {
        const double speed = (0.2 * std::sin(543.0 * k) + 0.8) * 0.8 * t;
        const double u = std::fmod((0.5 * std::sin(234.0 * k) + 0.5) * 5 + speed, 5.0) * 0.2;
        const double x = a + 0.5 * c * std::sin(123.0 * k) * (0.95 * u + 0.05) +
                         0.3 * c * u * std::sin(8 * u * (0.4 * std::sin(442.0 * k) + 0.6));
        const double y = b - d * u;
        const double flicker = 0.8 + 0.2 * (nextRandom() % 1000000) * 0.000001;
        const double brightness = (90 * std::sin(413.0 * k) + 165) * (0.3 * u + 0.7) * flicker;
        const int v = static_cast<int>(static_cast<int>(brightness) * 0.75) & 0xFF;
        canvas.setPixel(static_cast<int>(x), static_cast<int>(y), v | (v << 8) | (v << 16));
    }
}
