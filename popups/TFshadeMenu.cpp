// The popup menu window: geometry and placement, painting, hover, closing and the wait loop.
#include "popups/TFshadeMenu.h"

#include <algorithm>

#include "graphics/Drawing.h"
#include "platform/draw/Canvas.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/Screen.h"
#include "popups/TFshadeMenu_entry.h"
#include "shadeui/ShadeToolkit.h"
#include "shadeui/ShadeUI.h"

TFshadeMenu* FshadeMenu = nullptr;
platform::Point menuPosition{-1, -1};

namespace {

constexpr int rowHeight = 20;
constexpr int menuColour = 0x929292;  // RGB(146, 146, 146)
constexpr int screenMargin = 5;

void callIdleHook() {
    if (idleHook) idleHook();
}

void setCanvasColour(platform::Canvas& canvas, int colour) {
    canvas.setPenColour(colour);
    canvas.setBrushColour(colour);
}

void line(platform::Canvas& canvas, int x1, int y1, int x2, int y2) {
    canvas.moveTo(x1, y1);
    canvas.lineTo(x2, y2);
}

}  // namespace

TFshadeMenu::TFshadeMenu() : platform::Form(platform::FormStyle::popup) {
    setAlwaysOnTop(true);
    timer.setInterval(50);
    timer.setHandler([this] { timerTimer(); });
    // It runs only while the menu waits for a choice: a hidden menu must not wake the program.
    timer.setEnabled(false);
    if (FshadeMenu == nullptr) FshadeMenu = this;
    // The container below places the menu through this hook; it cannot see this module.
    menuPositionHook = [](int x, int y) { menuPosition = {x, y}; };
}

TFshadeMenu::~TFshadeMenu() {
    if (FshadeMenu != this) return;
    FshadeMenu = nullptr;
    menuPositionHook = nullptr;
}

std::int32_t showShadeMenu(const Llist<AnsiString>& entries) {
    if (FshadeMenu == nullptr) return -1;
    return FshadeMenu->run(entries);
}

std::int32_t TFshadeMenu::run(const Llist<AnsiString>& list) {
    if (visible()) return -1;
    setColour(menuColour);
    requestedLeft = requestedTop = 0;
    rowCount = columnWidth = hovered = chosen = -1;
    entries = list;
    platform::Point at = menuPosition;
    if (at.x == -1) {
        at = platform::Cursor::position();
        at.x -= 10;
        at.y -= 10;
    }
    requestedLeft = at.x;
    requestedTop = at.y;
    callIdleHook();
    show();
    callIdleHook();
    // A program asked to end (a quit signal, a close from the system) does not wait for a choice.
    platform::Application& application = platform::Application::instance();
    timer.setEnabled(true);
    while (visible() && !application.terminated()) {
        waitForIdleWork();
        callIdleHook();
        application.processMessages();
        callIdleHook();
    }
    timer.setEnabled(false);
    if (visible()) hide();
    menuPosition = {-1, -1};
    return chosen;
}

void TFshadeMenu::FormShow() {
    rowCount = entries.top + 1 > 0 ? entries.top + 1 : 1;
    measureEntries();
    setPosition(requestedLeft, requestedTop);
    setClientSize(columnWidth + 1, rowHeight * rowCount + 1);
    placeOnScreen();
    repaint();
}

void TFshadeMenu::measureEntries() {
    Limage scratch;
    scratch.create(10, 10);
    platform::Canvas& canvas = scratch.canvas();
    canvas.font().height = -11;
    int widestLabel = 0, widestRight = 0;
    for (int i = 0; i <= entries.top; i++) {
        AnsiString label, right;
        TFshadeMenu_entry::measuredTexts(entries.items[i], label, right);
        widestLabel = std::max(widestLabel, canvas.textWidth(label));
        widestRight = std::max(widestRight, canvas.textWidth(right));
    }
    columnWidth = std::max(112, widestLabel + widestRight + 64);
    rightWidth = widestRight;
}

// On a single monitor the menu stays 5 pixels inside the screen. With several monitors the
// screen size describes only the primary one, so the position is left as asked.
void TFshadeMenu::placeOnScreen() {
    if (platform::Screen::monitorCount() != 1) return;
    int x = left(), y = top();
    int screenWidth = platform::Screen::width(), screenHeight = platform::Screen::height();
    if (x + clientWidth() > screenWidth - screenMargin)
        x = screenWidth - clientWidth() - screenMargin;
    if (y + clientHeight() > screenHeight - screenMargin)
        y = screenHeight - clientHeight() - screenMargin;
    setPosition(std::max(x, screenMargin), std::max(y, screenMargin));
}

void TFshadeMenu::FormPaint() {
    if (!visible() || rowCount <= 0) return;
    if (!raster.create(clientWidth(), clientHeight())) return;
    callIdleHook();
    int background = scaleColour(colour(), 1.72f);
    raster.fill(background);
    entryRects.setCapacity(0, false);
    entryRects.setCapacity(entries.top + 1, false);
    for (int i = 0; i <= entries.top; i++)
        paintEntry(i, background);
    platform::Canvas& canvas = raster.canvas();
    setCanvasColour(canvas, scaleColour(background, 0.67f));
    canvas.frameRect({0, 0, clientWidth(), clientHeight()});
    this->canvas().draw(0, 0, raster.pixels());
}

void TFshadeMenu::paintEntry(int index, int background) {
    platform::Canvas& canvas = raster.canvas();
    TFshadeMenu_entry entry = TFshadeMenu_entry::parse(entries.items[index]);
    int y = rowHeight * index;
    bool isHovered = index == hovered;
    if (index != entries.top) {
        setCanvasColour(canvas, scaleColour(background, 0.95f));
        line(canvas, 1, y + 20, columnWidth, y + 20);
    }
    if (entry.separator) {
        setCanvasColour(canvas, scaleColour(background, 0.67f));
        line(canvas, 0, y, clientWidth(), y);
    }
    if (isHovered) {
        setCanvasColour(canvas, scaleColour(0xFFB0B0, 0.75f));
        canvas.fillRect(2, y + 2, columnWidth - 1, y + 19);
    }
    canvas.setClip({0, y, columnWidth - 4, y + 20});
    int mark = isHovered ? 0xFFFFFF : 0;
    if (entry.dimmed) mark = mixColour(background, mark, 0.25f);
    setCanvasColour(canvas, mark);
    for (int k = 0; entry.check && k <= 1; k++) {
        line(canvas, 5, y + 10 + k, 7, y + 12 + k);
        line(canvas, 7, y + 12 + k, 13, y + 6 + k);
    }
    if (entry.bullet) canvas.ellipse(7, y + 8, 12, y + 13);
    int labelColour = isHovered ? 0xFFFFFF : mark;
    drawText(canvas, 18, y + 3, entry.label, labelColour);
    if (!entry.right.empty()) {
        int rightColour = entry.rightDimmed ? mixColour(background, mark, 0.25f) : labelColour;
        drawText(canvas, clientWidth() - rightWidth - 16, y + 3, entry.right, rightColour);
    }
    canvas.clearClip();
    entryRects.add({0, y + 2, columnWidth, y + 22});
}

std::int32_t TFshadeMenu::entryAt(int x, int y) {
    std::int32_t found = -1;
    for (int i = 0; i <= entryRects.top; i++)
        if (pointInRect(x, y, entryRects.items[i])) found = i;
    return found;
}

void TFshadeMenu::setHovered(std::int32_t index) {
    if (index == hovered) return;
    hovered = index;
    repaint();
}

void TFshadeMenu::FormMouseMove(platform::ShiftState, int x, int y) {
    setHovered(entryAt(x, y));
}

// The press position decides, as a move there would have: a window shown under a resting
// pointer may get its first press before any move.
void TFshadeMenu::FormMouseDown(platform::MouseButton, platform::ShiftState, int x, int y) {
    hovered = entryAt(x, y);
    chosen = hovered;
    close();
}

void TFshadeMenu::FormKeyDown(int, platform::ShiftState) {
    chosen = -1;
    close();
}

void TFshadeMenu::FormKeyUp(int, platform::ShiftState) {}

void TFshadeMenu::FormCloseQuery(bool& canClose) {
    canClose = true;
    hide();
}

void TFshadeMenu::timerTimer() {
    if (hovered == -1 || !visible()) return;
    const platform::Point at = screenToClient(platform::Cursor::position());
    if (!pointInRect(at.x, at.y, {0, 0, clientWidth(), clientHeight()})) setHovered(-1);
}
