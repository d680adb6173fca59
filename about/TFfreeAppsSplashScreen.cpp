// TFfreeAppsSplashScreen: the about screen, which also shows briefly as the splash at start-up.
#include "about/TFfreeAppsSplashScreen.h"

#include <algorithm>
#include <cmath>

#include "about/AboutPictures.h"
#include "base/BuildInfo.h"
#include "base/TextConversions.h"
#include "graphics/Drawing.h"
#include "graphics/LimagePen.h"
#include "platform/draw/Canvas.h"
#include "platform/system/Clock.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/Screen.h"
#include "shadeui/ShadeToolkit.h"

TFfreeAppsSplashScreen* FfreeAppsSplashScreen = nullptr;

const char* const TFfreeAppsSplashScreen::versionNumber = programVersion;
const char* const TFfreeAppsSplashScreen::headline = "New versions and more music apps:";

namespace {

constexpr double pi = 3.14159265358979323846;

// Colours are 0x00BBGGRR.
constexpr int topColour = 0x303F44;     // RGB(68, 63, 48)
constexpr int bottomColour = 0x564F3D;  // RGB(61, 79, 86), also the dome
constexpr int dotColour = 0x181818;
constexpr int titleColour = 0xA7D5E8;  // RGB(232, 213, 167)
constexpr int linkColour = 0xE8D5A7;   // RGB(167, 213, 232)
constexpr int warmGlow = 0xB7EAFF;     // RGB(255, 234, 183)
constexpr int coolGlow = 0xFFEAB7;     // RGB(183, 234, 255)
constexpr int frameGrey = 0xC0C0C0;

// The glow area under the link: 200 x 20 from the link's left, centred on the link's height.
constexpr int glowLeft = 170;
constexpr int glowTop = 225;
constexpr int glowWidth = 200;
constexpr int glowHeight = 20;

// Where the pictures stand, by their centres.
struct Place {
    int x;
    int y;
};
constexpr Place forkPlace{80, 229};
constexpr Place notesPlace{123, 168};
constexpr Place speakerPlace{437, 185};
constexpr int metronomeX = 270;

}  // namespace

TFfreeAppsSplashScreen::TFfreeAppsSplashScreen() : platform::Form(platform::FormStyle::splash) {
    setColour(0);
    setClientSize(screenWidth, screenHeight);
    setCaption("About");
    makePictures();
    FfreeAppsSplashScreen = this;
}

TFfreeAppsSplashScreen::~TFfreeAppsSplashScreen() {
    if (FfreeAppsSplashScreen == this) FfreeAppsSplashScreen = nullptr;
}

// The small pictures are copied onto the screen as they are, so each is painted over the
// background it will cover; the side shading that follows darkens picture and background alike.
void TFfreeAppsSplashScreen::makePictures() {
    composeBackground();
    AboutPictures::tuningFork(pictures[0], backRaster, forkPlace.x, forkPlace.y);
    AboutPictures::notes(pictures[1], backRaster, notesPlace.x, notesPlace.y);
    AboutPictures::metronome(pictures[2]);
    AboutPictures::speaker(pictures[3], backRaster, speakerPlace.x, speakerPlace.y);
    for (Limage& picture : pictures)
        if (picture.isValid()) picture.setCentred();
}

// Background gradients, the dotted band and the dome.
void TFfreeAppsSplashScreen::composeBackground() {
    if (!backRaster.create(screenWidth, screenHeight)) return;
    platform::Canvas& canvas = backRaster.canvas();
    int horizon = static_cast<int>(screenHeight * 0.65);
    gradient(canvas, 0, 0, screenWidth - 1, horizon, topColour, 0, false);
    gradient(canvas, 0, horizon, screenWidth - 1, screenHeight - 1, 0, bottomColour, false);
    Limage band;
    if (band.create(screenWidth, 100)) {
        band.fill(0);
        band.canvas().setBrushColour(dotColour);
        for (int y = 0; y < 100; y += 3)
            for (int x = 0; x < screenWidth; x += 3)
                band.canvas().fillRect(x + 1, y + 1, x + 3, y + 3);
        Limage::drawBlended(band, backRaster, 0, 85, B1);
    }
    limagePen.setTarget(backRaster);
    limagePen.setColour(bottomColour);
    for (double radius : {192.0, 191.5, 191.0, 190.5})
        limagePen.circle(270, 300, radius, false);
    limagePen.circle(270, 300, 61, true);
}

void TFfreeAppsSplashScreen::drawPictures() {
    Limage::drawKeyed(pictures[0], backRaster, forkPlace.x, forkPlace.y, -1);
    Limage::drawKeyed(pictures[1], backRaster, notesPlace.x, notesPlace.y, -1);
    const Limage& large = pictures[2];
    Limage::drawBlended(large, backRaster, metronomeX,
                        static_cast<int>(screenHeight / 2 + 0.11 * large.height), B6);
    Limage::drawKeyed(pictures[3], backRaster, speakerPlace.x, speakerPlace.y, -1);
}

// Both outer edges fade to black: a white-to-black ramp multiplied in on the right, and its
// mirror image on the left.
void TFfreeAppsSplashScreen::shadeSides() {
    Limage side;
    int sideWidth = static_cast<int>(screenWidth * 0.3);
    if (!side.create(sideWidth, screenHeight)) return;
    gradient(side.canvas(), 0, 0, sideWidth - 1, screenHeight - 1, 0xFFFFFF, 0, true);
    Limage::drawBlended(side, backRaster, screenWidth - sideWidth, 0, T0);
    side.mirror();
    Limage::drawBlended(side, backRaster, 0, 0, T0);
}

void TFfreeAppsSplashScreen::drawCentredText(const AnsiString& text, int centreY, int height,
                                             bool bold, int colour) {
    platform::Canvas& canvas = backRaster.canvas();
    canvas.setBrushStyle(platform::BrushStyle::clear);
    canvas.font().height = -height;
    canvas.font().bold = bold;
    canvas.font().colour = colour;
    int w = canvas.textWidth(text);
    int h = canvas.textHeight(text);
    canvas.textOut((screenWidth - w) / 2, centreY - h / 2, text);
    canvas.font().bold = false;
    canvas.setBrushStyle(platform::BrushStyle::solid);
}

void TFfreeAppsSplashScreen::drawTexts() {
    drawCentredText(platform::Application::instance().title(), 39, 17, true, titleColour);
    AnsiString version = versionNumber;
    if (aboutMode) version = AnsiString(" Version ") + versionNumber + "  -  Freeware";
    drawCentredText(version, 57, 10, false, titleColour);
    if (aboutMode) drawCentredText(headline, 210, 10, false, scaleColour(linkColour, 0.75f));
    drawCentredText(webHost(), 226, 17, true, linkColour);
}

void TFfreeAppsSplashScreen::drawWedgeAndFrames() {
    platform::Canvas& canvas = backRaster.canvas();
    canvas.setPenColour(0);
    for (int i = 0; i <= 15; i++) {
        canvas.moveTo(270 - i, 247 + i);
        canvas.lineTo(270 + i, 247 + i);
    }
    canvas.setBrushColour(0);
    canvas.frameRect({0, 0, screenWidth, screenHeight});
    for (int inset = 2; inset <= 6; inset++)
        canvas.frameRect({inset, inset, screenWidth - inset, screenHeight - inset});
    canvas.setBrushColour(frameGrey);
    canvas.frameRect({1, 1, screenWidth - 1, screenHeight - 1});
}

// A soft spot: vertical ramps up to the middle row and down again, multiplied by horizontal
// ramps up to the middle column and down again.
void TFfreeAppsSplashScreen::makeGlowMask() {
    if (!glowMask.create(glowWidth, glowHeight)) return;
    gradient(glowMask.canvas(), 0, 0, glowWidth - 1, 9, 0, 0xFFFFFF, false);
    gradient(glowMask.canvas(), 0, 10, glowWidth - 1, 19, 0xFFFFFF, 0, false);
    Limage across;
    if (!across.create(glowWidth, glowHeight)) return;
    gradient(across.canvas(), 0, 0, 99, glowHeight - 1, 0, 0xFFFFFF, true);
    gradient(across.canvas(), 100, 0, 199, glowHeight - 1, 0xFFFFFF, 0, true);
    Limage::drawBlended(across, glowMask, 0, 0, T0);
}

void TFfreeAppsSplashScreen::compose() {
    composeBackground();
    if (!backRaster.isValid()) return;
    drawPictures();
    shadeSides();
    drawTexts();
    linkRect = {170, 206, 370, 265};
    makeGlowMask();
    drawWedgeAndFrames();
    if (!screenRaster.create(screenWidth, screenHeight)) return;
    Limage::drawKeyed(backRaster, screenRaster, 0, 0, -1);
    showWhole();
}

void TFfreeAppsSplashScreen::showWhole() {
    if (screenRaster.isValid()) canvas().draw(0, 0, screenRaster.pixels());
}

double TFfreeAppsSplashScreen::glowFactor(std::uint32_t now) const {
    if (linkHovered) return 0.9;
    double e = static_cast<double>(now - hoverChangedAt);
    return 0.35 - 0.25 * std::cos(pi * e / 1000);
}

void TFfreeAppsSplashScreen::paintLinkGlow(std::uint32_t now) {
    if (!screenRaster.isValid() || !backRaster.isValid()) return;
    screenRaster.setClip(glowLeft, glowTop, glowLeft + glowWidth - 1, glowTop + glowHeight - 1);
    Limage::drawKeyed(backRaster, screenRaster, 0, 0, -1);
    screenRaster.resetClip();
    float factor = static_cast<float>(glowFactor(now));
    int tint = scaleColour(linkHovered ? warmGlow : coolGlow, factor);
    Limage::drawTintBlended(glowMask, screenRaster, glowLeft, glowTop, B1, tint, T0);
    canvas().setClip({glowLeft, glowTop, glowLeft + glowWidth, glowTop + glowHeight});
    canvas().draw(0, 0, screenRaster.pixels());
    canvas().clearClip();
}

bool TFfreeAppsSplashScreen::updateHover(int x, int y, std::uint32_t now) {
    bool inClient = x >= 0 && y >= 0 && x <= clientWidth() && y <= clientHeight();
    bool hovered = inClient && pointInRect(x, y, linkRect);
    if (hovered == linkHovered) return false;
    linkHovered = hovered;
    hoverChangedAt = now;
    setCursor(hovered ? platform::CursorShape::handPoint : platform::CursorShape::standard);
    return true;
}

void TFfreeAppsSplashScreen::showAboutScreen(bool inAboutMode) {
    platform::Application& app = platform::Application::instance();
    aboutMode = inAboutMode;
    compose();
    // Centred; on a screen smaller than the picture its top-left corner stays on the screen.
    setPosition(std::max((platform::Screen::width() - screenWidth) / 2, 0),
                std::max((platform::Screen::height() - screenHeight) / 2, 0));
    show();
    std::uint32_t start = platform::clockMilliseconds();
    // The splash's time runs from the first paint the window gets once it is shown, not from
    // the show: on a loaded desktop that paint may come late, and the splash is seen for its
    // whole time all the same.
    paintedSinceShow = false;
    bool timedFromPaint = false;
    // A program asked to end (a close from the system) does not wait for the screen.
    while (visible() && !app.terminated()) {
        app.processMessages();
        if (paintedSinceShow && !timedFromPaint) {
            start = firstPaintAt;
            timedFromPaint = true;
        }
        // The pointer's place is taken from the events just handled: the wait below may last
        // until the next event, so a hover it rests on must not be an old one.
        const platform::Point mouse = screenToClient(platform::Cursor::position());
        updateHover(mouse.x, mouse.y, platform::clockMilliseconds());
        if (idleHook) idleHook();
        // The glow pulses while the link is not hovered; a hovered link holds it still, and
        // only the pointer (an event) can change that.
        waitForIdleWork(linkHovered ? UINT32_MAX : 5);
        std::uint32_t now = platform::clockMilliseconds();
        paintLinkGlow(now);
        if (linkHovered) start = now;
        if (!aboutMode && now - start > splashMilliseconds) break;
    }
    close();
}

void TFfreeAppsSplashScreen::FormShow() {
    hoverChangedAt = platform::clockMilliseconds();
    linkHovered = false;
    setCursor(platform::CursorShape::standard);
}

void TFfreeAppsSplashScreen::FormPaint() {
    if (!paintedSinceShow) firstPaintAt = platform::clockMilliseconds();
    paintedSinceShow = true;
    showWhole();
    paintLinkGlow(platform::clockMilliseconds());
}

void TFfreeAppsSplashScreen::FormKeyDown(int, platform::ShiftState) {
    close();
}

void TFfreeAppsSplashScreen::FormMouseDown(platform::MouseButton, platform::ShiftState, int, int) {
    if (linkHovered) openMakerPage();
    close();
}

void TFfreeAppsSplashScreen::FormDeactivate() {
    close();
}
