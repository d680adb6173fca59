// ShadeUI: the window frame and title bar, the control builder and the routing of mouse events.
#include "shadeui/ShadeUI.h"

#include "base/TextConversions.h"
#include "graphics/BlendBank.h"
#include "graphics/Drawing.h"
#include "platform/draw/Canvas.h"
#include "platform/system/Shell.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/Form.h"

const platform::Rect absentRect{-1, -1, -1, -1};

std::function<void(int x, int y)> menuPositionHook;
std::function<int(ShadeUI& owner, const AnsiString& title, const Llist<AnsiString>& lines,
                  bool withCancel, bool withNo)>
    shadeDialogHook;

namespace {

constexpr int titleFontHeight = -17;
constexpr int fullTitleBar = 32;
constexpr int smallTitleBar = 31;

void callIdleHook() {
    if (idleHook) idleHook();
}

void setColour(platform::Canvas& canvas, int colour) {
    canvas.setPenColour(colour);
    canvas.setBrushColour(colour);
}

void line(platform::Canvas& canvas, int x1, int y1, int x2, int y2) {
    canvas.moveTo(x1, y1);
    canvas.lineTo(x2, y2);
}

bool isPresent(const platform::Rect& rect) {
    return rect.Left != -1;
}

void emptyRects(Llist<platform::Rect>& list) {
    list.setCapacity(0, false);
}

// A width x height image of one colour, for the shading passes.
bool makeFilled(Limage& image, int width, int height, int colour) {
    if (!image.create(width, height)) return false;
    image.fill(colour);
    return true;
}

}  // namespace

ShadeUI::ShadeUI() {
    gripRects.add(absentRect);
}

ShadeUI& ShadeUI::attachToWindow(platform::Form* form, const AnsiString& title, bool small,
                                 bool withClose) {
    callIdleHook();
    backColour = dark ? 0x505050 : 0xE0E0E0;
    foreColour = dark ? 0x88AEBE : 0x484848;
    const int titleColour = dark ? scaleColour(foreColour, 1.0f) : scaleColour(accentColour, 0.7f);
    window = form;
    if (!form) return *this;
    form->setColour(backColour);
    const AnsiString text = title.empty() ? platform::Application::instance().title() : title;
    const bool created = raster.create(form->clientWidth(), form->clientHeight());
    emptyRects(gripRects);
    gripRects.add(absentRect);
    minimizeRect = closeRect = absentRect;
    if (!created) return *this;
    raster.fill(backColour);
    callIdleHook();
    drawTitleText(text, small, titleColour);
    drawTitleGlyphs(small, withClose);
    drawSideBorders();
    callIdleHook();
    drawShading(small);
    callIdleHook();
    return *this;
}

void ShadeUI::drawTitleText(const AnsiString& title, bool small, int titleColour) {
    platform::Canvas& canvas = raster.canvas();
    const int w = raster.width;
    const int bar = small ? smallTitleBar : fullTitleBar;
    if (small) {
        setColour(canvas, scaleColour(backColour, dark ? 1.2f : 1.12f));
        canvas.fillRect(9, 2, w - 9, bar - 8);
    }
    canvas.font().colour = titleColour;
    canvas.font().height = titleFontHeight;
    canvas.font().bold = !small;
    canvas.setBrushStyle(platform::BrushStyle::clear);
    const int tw = canvas.textWidth(title);
    const int th = canvas.textHeight(title);
    if (small)
        canvas.textOut(16, bar / 2 - 4 - th / 2, title);
    else
        canvas.textOut(w / 2 - tw / 2, bar / 2 - 3 - th / 2, title);
    canvas.setBrushStyle(platform::BrushStyle::solid);
    canvas.font().bold = false;
}

void ShadeUI::drawTitleGlyphs(bool small, bool withClose) {
    platform::Canvas& canvas = raster.canvas();
    const int w = raster.width;
    setColour(canvas, foreColour);
    if (!small) {
        for (int k = 0; k <= 4; ++k)
            line(canvas, 16, 9 + 2 * k, 26, 9 + 2 * k);
        emptyRects(gripRects);
        gripRects.add({10, 4, 29, 23});
        line(canvas, w - 40, 16, w - 32, 16);
        minimizeRect = {w - 45, 4, w - 29, 23};
    }
    if (withClose) {
        line(canvas, w - 24, 9, w - 16, 17);
        line(canvas, w - 24, 16, w - 16, 8);
        closeRect = {w - 28, 4, w - 12, 23};
    }
}

void ShadeUI::drawSideBorders() {
    platform::Canvas& canvas = raster.canvas();
    const int w = raster.width;
    const int h = raster.height;
    const int edge = dark ? 0x88AEBE : 0xC8C8C8;
    const auto column = [&](int x, int colour) {
        setColour(canvas, colour);
        line(canvas, x, 0, x, h);
    };
    column(0, scaleColour(edge, 1.1f));
    setColour(canvas, edge);
    canvas.fillRect(1, 0, 6, h);
    column(6, scaleColour(edge, 0.9f));
    column(7, scaleColour(backColour, 0.92f));
    column(w - 7, scaleColour(edge, 1.1f));
    setColour(canvas, edge);
    canvas.fillRect(w - 6, 0, w - 1, h);
    column(w - 1, scaleColour(edge, 0.9f));
}

// The title bar is brightened by adding a faint grey that fades out over its last rows, the
// bottom band darkened by subtracting one, and the top and bottom rows get a light and a dark
// edge.
void ShadeUI::drawShading(bool small) {
    const int w = raster.width;
    const int h = raster.height;
    const int bar = small ? smallTitleBar : fullTitleBar;
    Limage band;
    if (small) {
        gradient(raster.canvas(), 9, bar - 7, w - 9, bar - 6, scaleColour(backColour, 0.9f),
                 scaleColour(backColour, 1.1f), false);
    } else if (makeFilled(band, w, bar, 0x141414)) {
        gradient(band.canvas(), 0, bar - 8, w, bar, 0x141414, 0, false);
        Limage::drawBlended(band, raster, 0, 0, B1);
    }
    const int shade = dark ? 0x0C0C0C : 0x141414;
    if (makeFilled(band, w, 64, shade)) {
        gradient(band.canvas(), 0, 0, w, 8, 0, shade, false);
        Limage::drawBlended(band, raster, 0, h - 64, B7);
    }
    if (makeFilled(band, w, 1, 0x141414)) {
        Limage::drawBlended(band, raster, 0, 0, B1);
        Limage::drawBlended(band, raster, 0, h - 1, B7);
    }
}

ShadeUI& ShadeUI::beginControls(Handler changeHandler, Handler menuHandler) {
    onChange = std::move(changeHandler);
    onMenu = std::move(menuHandler);
    building = true;
    buttons.setCapacity(0, false);
    faders.setCapacity(0, false);
    return *this;
}

ShadeUI& ShadeUI::setX(int value) {
    penX = value;
    return *this;
}

ShadeUI& ShadeUI::setY(int value) {
    penY = value;
    return *this;
}

ShadeUI& ShadeUI::advanceX(int gap) {
    penX += gap + penWidth;
    return *this;
}

ShadeUI& ShadeUI::advanceY(int gap) {
    penY += gap + penHeight;
    return *this;
}

ShadeUI& ShadeUI::setWidth(int value) {
    penWidth = value != 0 ? value : penHeight;
    return *this;
}

ShadeUI& ShadeUI::setHeight(int value) {
    penHeight = value != 0 ? value : 22;
    return *this;
}

bool ShadeUI::canAdd() const {
    return window != nullptr && raster.isValid() && building;
}

ShadeUI& ShadeUI::addLabel(const AnsiString& text) {
    if (!canAdd()) return *this;
    drawText(raster.canvas(), penX, penY, text, foreColour);
    return *this;
}

// Appends a button drawn into this container's raster in its shaded colours; nullptr when
// nothing may be added or the list could not grow.
ShadeButton* ShadeUI::appendButton() {
    if (!canAdd()) return nullptr;
    const int count = buttons.top;
    buttons.add(ShadeButton());
    if (buttons.top == count) return nullptr;
    ShadeButton& button = buttons.items[buttons.top];
    button.raster = &raster;
    button.windowCanvas = &window->canvas();
    button.backColour = scaleColour(backColour, static_cast<float>(buttonShade));
    button.foreColour = foreColour;
    return &button;
}

ShadeUI& ShadeUI::addButton(const AnsiString& caption, int id) {
    ShadeButton* button = appendButton();
    if (!button) return *this;
    button->setUpButton(penX, penY, penWidth, penHeight, caption, id);
    button->draw();
    callIdleHook();
    return *this;
}

ShadeUI& ShadeUI::addToggle(const AnsiString& caption, bool* var) {
    ShadeButton* button = appendButton();
    if (!button) return *this;
    button->setUpToggle(penX, penY, penWidth, penHeight, caption, var);
    button->draw();
    callIdleHook();
    return *this;
}

ShadeUI& ShadeUI::addFader(const AnsiString& caption, double* var, int extraWidth, int tickCount,
                           int tickHighlight, double wheelStep) {
    if (!canAdd()) return *this;
    const int count = faders.top;
    faders.add(ShadeFader());
    if (faders.top == count) return *this;
    ShadeFader& fader = faders.items[faders.top];
    fader.raster = &raster;
    fader.windowCanvas = &window->canvas();
    fader.backColour = backColour;
    fader.foreColour = foreColour;
    fader.extraWidth = extraWidth;
    fader.tickHighlight = tickHighlight;
    fader.wheelStep = wheelStep;
    fader.setUp(penX, penY, penHeight, caption, var, tickCount);
    penWidth = fader.rect.Right - fader.rect.Left;
    fader.draw();
    callIdleHook();
    return *this;
}

void ShadeUI::repaint() {
    if (!window || !raster.isValid()) return;
    callIdleHook();
    window->canvas().clearClip();
    window->canvas().draw(0, 0, raster.pixels());
    callIdleHook();
}

void ShadeUI::refreshBound(const void* variable) {
    for (int i = 0; i <= buttons.top; ++i) {
        ShadeButton& button = buttons.items[i];
        if (button.toggleVar == variable || button.radioVar == variable) button.draw();
    }
    for (int i = 0; i <= faders.top; ++i)
        if (faders.items[i].value == variable) faders.items[i].draw();
}

bool ShadeUI::inDragZone(int x, int y) const {
    if (y > fullTitleBar) return false;
    if (gripRects.top >= 0 && x < gripRects.items[gripRects.top].Right + 8) return false;
    if (isPresent(minimizeRect) && x > minimizeRect.Left - 8) return false;
    if (isPresent(closeRect) && x > closeRect.Left - 8) return false;
    return true;
}

ShadeUI::Position ShadeUI::clientCursor() const {
    const platform::Point client = window->screenToClient(platform::Cursor::position());
    return {client.x, client.y};
}

void ShadeUI::mouseDown() {
    if (!window) return;
    // A press in the window while its popup menu is open only closes the menu.
    if (platform::Form* menu = platform::Application::instance().popupShowing()) {
        menu->close();
        return;
    }
    const platform::Point cursor = platform::Cursor::position();
    const Position p = clientCursor();
    pressCursorPos = {cursor.x, cursor.y};
    pressWindowPos = {window->left(), window->top()};
    dragging = inDragZone(p.x, p.y);
    if (dragging) return;
    if (pointInRect(p.x, p.y, closeRect)) closeRequested = true;
    if (pointInRect(p.x, p.y, minimizeRect)) minimizeRequested = true;
    const platform::Rect grip = gripRects.get(0);
    if (gripRects.top >= 0 && pointInRect(p.x, p.y, grip) && onMenu) {
        if (menuPositionHook)
            menuPositionHook(window->left() + grip.Left, window->top() + grip.Bottom);
        onMenu();
    }
    dispatch(p.x, p.y, true);
    report();
}

void ShadeUI::mouseMove() {
    if (!window) return;
    const Position p = clientCursor();
    const bool zone = inDragZone(p.x, p.y);
    if (zone && window->cursor() == platform::CursorShape::standard)
        window->setCursor(platform::CursorShape::sizeAll);
    else if (!zone && window->cursor() == platform::CursorShape::sizeAll)
        window->setCursor(platform::CursorShape::standard);
    if (dragging) {
        const platform::Point cursor = platform::Cursor::position();
        const int left = cursor.x - pressCursorPos.x + pressWindowPos.x;
        const int top = cursor.y - pressCursorPos.y + pressWindowPos.y;
        if (left != window->left() || top != window->top()) window->setPosition(left, top);
        return;
    }
    dispatch(p.x, p.y, false);
    report();
}

void ShadeUI::mouseUp() {
    if (!window) return;
    capturedFader = nullptr;
    dragging = false;
    for (int i = 0; i <= buttons.top; ++i) {
        ShadeButton& button = buttons.items[i];
        if (!button.pressed) continue;
        button.pressed = false;
        button.draw();
    }
}

void ShadeUI::mouseWheel(int steps) {
    if (!window) return;
    const Position p = clientCursor();
    hitVariable = nullptr;
    buttonHit = false;
    wheelHit = false;
    for (int i = 0; i <= faders.top; ++i) {
        ShadeFader& fader = faders.items[i];
        if (!fader.wheel(p.x, p.y, steps)) continue;
        hitVariable = fader.value;
        wheelHit = true;
        break;
    }
    report();
}

void ShadeUI::report() {
    if (!hitVariable && !buttonHit) return;
    currentContainer = this;
    if (onChange) onChange();
}

void ShadeUI::dispatch(int x, int y, bool press) {
    if (press) capturedFader = nullptr;
    hitVariable = nullptr;
    buttonHit = false;
    wheelHit = false;
    if (press) {
        hitId = -1;
        // Faders are not offered a press that a button took.
        if (pressButtons(x, y)) return;
    }
    for (int i = 0; i <= faders.top; ++i) {
        ShadeFader& fader = faders.items[i];
        if (!fader.drag(x, y, press)) continue;
        hitVariable = fader.value;
        return;
    }
}

bool ShadeUI::pressButtons(int x, int y) {
    for (int i = 0; i <= buttons.top; ++i) {
        ShadeButton& button = buttons.items[i];
        if (!button.clickTest(x, y)) continue;
        if (!button.toggleVar && !button.radioVar) {
            buttonHit = true;
            hitId = button.id;
        }
        if (button.toggleVar) hitVariable = button.toggleVar;
        if (button.radioVar) {
            hitVariable = button.radioVar;
            // The button chosen before shows its off face again.
            for (int j = 0; j <= buttons.top; ++j)
                if (j != i && buttons.items[j].radioVar == button.radioVar) buttons.items[j].draw();
        }
        return true;
    }
    return false;
}

std::int32_t ShadeUI::showShadeDialog(const Llist<AnsiString>& lines, bool withCancel,
                                      bool withNo) {
    Llist<AnsiString> shown(lines);
    AnsiString title;
    // Only a first line that starts with the marker is a title; a line that merely mentions it
    // somewhere is shown as it is.
    if (shown.top >= 0 && shown.items[0].rfind("title:", 0) == 0) {
        title = shown.items[0].substr(6);
        shown.remove(0);
    }
    if (!shadeDialogHook) return -1;
    return shadeDialogHook(*this, title, shown, withCancel, withNo);
}

void ShadeUI::openWebPage(const AnsiString& text) {
    const AnsiString page = text.empty() ? webHost() + "/" + pageName() : text;
    platform::openWebAddress("http://" + page);
}

void ShadeUI::closeOnButton() {
    ShadeUI* container = currentContainer;
    if (!container || !container->buttonHit) return;
    const int id = container->hitId;
    if (id == 1 || id == 2 || id == -1) container->closeRequested = true;
}
