// The information dialog: sizing to its lines, the buttons, painting, links, keys, the wait loop.
#include "popups/TFshadeDialog.h"

#include <algorithm>
#include <memory>

#include "base/TextConversions.h"
#include "graphics/Drawing.h"
#include "graphics/Limage.h"
#include "platform/draw/Canvas.h"
#include "platform/window/Application.h"
#include "platform/window/Screen.h"
#include "shadeui/ShadeToolkit.h"

TFshadeDialog* FshadeDialog = nullptr;

namespace {

constexpr int designedSize = 66;
constexpr int minimumWidth = 480;
constexpr int buttonWidth = 100;
constexpr int buttonStep = 108;
constexpr int darkLinkColour = 0xFFB0B0;   // RGB(176, 176, 255)
constexpr int lightLinkColour = 0xFF0000;  // RGB(0, 0, 255)

void callIdleHook() {
    if (idleHook) idleHook();
}

bool contains(const AnsiString& text, const char* part) {
    return text.find(part) != AnsiString::npos;
}

// The dialog's font, plain: "Tahoma" with an 11-pixel character height.
void plainFont(platform::Canvas& canvas, int colour) {
    platform::CanvasFont& font = canvas.font();
    font.height = -11;
    font.bold = false;
    font.underline = false;
    font.colour = colour;
}

}  // namespace

TFshadeDialog::TFshadeDialog() : platform::Form(platform::FormStyle::dialog) {
    setClientSize(designedSize, designedSize);
    timer.setEnabled(false);
    timer.setInterval(1);
    timer.setHandler([this] { timerTimer(); });
}

TFshadeDialog::~TFshadeDialog() = default;

std::int32_t TFshadeDialog::run() {
    // Without a window nothing could ever close the dialog.
    if (!hasWindow()) return -1;
    TFshadeDialog* outer = FshadeDialog;
    FshadeDialog = this;
    showModal();
    FshadeDialog = outer;
    return container.clickedId();
}

void TFshadeDialog::FormShow() {
    callIdleHook();
    marginX = 20;
    firstLineY = 50;
    Limage scratch;
    scratch.create(10, 10);
    plainFont(scratch.canvas(), 0);
    lineHeight = scratch.canvas().textHeight("X") + 3;
    if (lines.top >= 0) fitToLines();
    centreOnScreen();
    callIdleHook();
    container.attachToWindow(this, title, true, true);
    addButtons();
    timer.setEnabled(true);
}

// The lines' width is measured as they are stored, "~" included and in the plain font.
void TFshadeDialog::fitToLines() {
    Limage scratch;
    scratch.create(10, 10);
    platform::Canvas& canvas = scratch.canvas();
    plainFont(canvas, 0);
    int width = minimumWidth;
    for (int i = 0; i <= lines.top; i++)
        width = std::max(width, canvas.textWidth(lines.items[i]) + 2 * marginX);
    int height = firstLineY + 75 + lineHeight * (lines.top + 1);
    // A screen of size 0 is one that could not be asked: no limit then.
    const int screenWidth = platform::Screen::width(), screenHeight = platform::Screen::height();
    if (screenWidth > 0) width = std::min(width, screenWidth);
    if (screenHeight > 0) height = std::min(height, screenHeight);
    setClientSize(width, height);
}

// The dialog is never larger than the screen, so centred it lies inside it; a screen that could
// not be asked (size 0) leaves it at the top-left corner.
void TFshadeDialog::centreOnScreen() {
    setPosition(std::max((platform::Screen::width() - clientWidth()) / 2, 0),
                std::max((platform::Screen::height() - clientHeight()) / 2, 0));
}

// From right to left: "Cancel", "No", then the main button.
void TFshadeDialog::addButtons() {
    const int width = clientWidth();
    container.beginControls(ShadeUI::closeOnButton, nullptr);
    container.setY(clientHeight() - 48).setWidth(buttonWidth).setHeight(0);
    int x = width - 124;
    if (withCancel) {
        container.setX(x).addButton("Cancel", -1);
        x -= buttonStep;
    }
    if (withNo) {
        container.setX(x).addButton("No", 2);
        x -= buttonStep;
    }
    container.setX(x).addButton(withNo ? "Yes" : "OK", 1);
}

// The lines are drawn over a copy of the container's raster, so that repeated paints never
// blend the same text twice.
void TFshadeDialog::FormPaint() {
    if (!container.raster.isValid()) return;
    callIdleHook();
    Limage frame(container.raster);
    if (!frame.isValid()) return;
    platform::Canvas& canvas = frame.canvas();
    canvas.setBrushStyle(platform::BrushStyle::clear);
    for (int i = 0; i <= lines.top; i++)
        paintLine(canvas, i);
    canvas.setBrushStyle(platform::BrushStyle::solid);
    this->canvas().draw(0, 0, frame.pixels());
    callIdleHook();
}

void TFshadeDialog::paintLine(platform::Canvas& canvas, int index) {
    AnsiString text = lines.items[index];
    const int y = firstLineY + index * lineHeight;
    const bool bold = contains(text, "~");
    if (bold) text.erase(0, 1);
    const bool link = contains(text, "www.");
    plainFont(canvas, container.foreColour);
    if (link) {
        canvas.font().colour = dark ? darkLinkColour : lightLinkColour;
        canvas.font().underline = true;
    } else {
        canvas.font().bold = bold;
    }
    canvas.textOut(marginX, y, text);
    plainFont(canvas, container.foreColour);
    if (!link) return;
    const int w = canvas.textWidth(text), h = canvas.textHeight(text);
    linkRect = {marginX - 2, y - 2, marginX + w + 2, y + h + 2};
    linkTarget = text;
    if (text == webHost()) linkTarget += "/" + pageName();
}

void TFshadeDialog::FormKeyDown(int key, platform::ShiftState) {
    if (key == platform::vk::enter) {
        container.setClickedId();
        container.closeRequested = true;
    }
    if (key == platform::vk::escape) container.closeRequested = true;
}

void TFshadeDialog::FormMouseDown(platform::MouseButton, platform::ShiftState, int x, int y) {
    container.mouseDown();
    if (pointInRect(x, y, linkRect)) container.openWebPage(linkTarget);
}

// Only the hand and the default cursor are switched here; the container keeps its own move
// cursor over the title bar.
void TFshadeDialog::FormMouseMove(platform::ShiftState, int x, int y) {
    container.mouseMove();
    const bool overLink = pointInRect(x, y, linkRect);
    if (overLink && cursor() != platform::CursorShape::handPoint)
        setCursor(platform::CursorShape::handPoint);
    if (!overLink && cursor() == platform::CursorShape::handPoint)
        setCursor(platform::CursorShape::standard);
}

void TFshadeDialog::FormMouseUp(platform::MouseButton, platform::ShiftState, int, int) {
    container.mouseUp();
}

// The wait loop also ends when the window was closed from outside or the program is ending,
// which the container's close request would never report.
void TFshadeDialog::timerTimer() {
    timer.setEnabled(false);
    platform::Application& application = platform::Application::instance();
    while (!container.closeRequested && visible() && !application.terminated()) {
        application.processMessages();
        if (!container.closeRequested && visible() && !application.terminated()) waitForIdleWork();
        callIdleHook();
    }
    if (visible()) close();
}

std::int32_t showShadeDialog(ShadeUI& owner, const AnsiString& title,
                             const Llist<AnsiString>& lines, bool withCancel, bool withNo) {
    auto dialog = std::make_unique<TFshadeDialog>();
    dialog->title = title;
    dialog->container.backColour = owner.backColour;
    dialog->container.foreColour = owner.foreColour;
    dialog->lines = lines;
    dialog->withCancel = withCancel;
    dialog->withNo = withNo;
    return dialog->run();
}

void installShadeDialog() {
    shadeDialogHook = [](ShadeUI& owner, const AnsiString& title, const Llist<AnsiString>& lines,
                         bool withCancel, bool withNo) {
        return showShadeDialog(owner, title, lines, withCancel, withNo);
    };
}
