// Form: a borderless SDL window, its properties and the routing of its events to the handlers.
#include "platform/window/Form.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <vector>

#include "platform/window/Application.h"
#include "platform/window/DisplayScale.h"
#include "platform/window/FormCanvas.h"
#include "platform/window/TestInput.h"
#include "platform/window/WindowSystem.h"

namespace platform {

namespace {

Uint32 windowFlags(FormStyle style) {
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    // A popup window is override-redirect on X11: the window manager neither decorates it nor
    // gives it the focus, and it stays above the program's other windows.
    if (style == FormStyle::popup)
        flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
    // Only the main window stands for the program in the task bar.
    if (style == FormStyle::dialog || style == FormStyle::splash) flags |= SDL_WINDOW_SKIP_TASKBAR;
    return flags;
}

// The window type a desktop expects (_NET_WM_WINDOW_TYPE), which SDL reads from a hint when it
// makes the window; the popup's type comes with its flag.
const char* windowType(FormStyle style) {
    if (style == FormStyle::dialog) return "_NET_WM_WINDOW_TYPE_DIALOG";
    if (style == FormStyle::splash) return "_NET_WM_WINDOW_TYPE_SPLASH";
    return "_NET_WM_WINDOW_TYPE_NORMAL";
}

ShiftState buttonBits(Uint32 sdlButtons) {
    ShiftState state = shift::none;
    if (sdlButtons & SDL_BUTTON_LMASK) state |= shift::left;
    if (sdlButtons & SDL_BUTTON_RMASK) state |= shift::right;
    if (sdlButtons & SDL_BUTTON_MMASK) state |= shift::middle;
    return state;
}

bool toButton(Uint8 sdlButton, MouseButton& button) {
    if (sdlButton == SDL_BUTTON_LEFT)
        button = MouseButton::left;
    else if (sdlButton == SDL_BUTTON_RIGHT)
        button = MouseButton::right;
    else if (sdlButton == SDL_BUTTON_MIDDLE)
        button = MouseButton::middle;
    else
        return false;
    return true;
}

// The mouse that sent a mouse event (TestInput::injectedMouse for injected ones).
Uint32 mouseOf(const SDL_Event& event) {
    if (event.type == SDL_MOUSEMOTION) return event.motion.which;
    if (event.type == SDL_MOUSEWHEEL) return event.wheel.which;
    return event.button.which;
}

// Where a mouse event happened, in the window's own pixels.
Point windowPixelOf(const SDL_Event& event) {
    if (event.type == SDL_MOUSEMOTION) return {event.motion.x, event.motion.y};
    if (event.type == SDL_MOUSEWHEEL) return {event.wheel.mouseX, event.wheel.mouseY};
    return {event.button.x, event.button.y};
}

// A press on a form's drag area is handed to the window manager before SDL reports it, so that
// the press never reaches the program: the manager takes the pointer until the button is up.
SDL_HitTestResult hitTest(SDL_Window*, const SDL_Point* area, void* data) {
    Form* form = static_cast<Form*>(data);
    return form->managerMovesAt({area->x, area->y}) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

}  // namespace

Form::Form(FormStyle style) : formStyle(style) {
    Application& app = Application::instance();
    const bool video = app.startVideo();
    // Starting the window system chooses the scale.
    scale = DisplayScale::factor();
    if (video) {
        SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, windowType(style));
        window = SDL_CreateWindow("", 0, 0, width * scale, height * scale, windowFlags(style));
    }
    if (window) {
        id = SDL_GetWindowID(window);
        nativeWindow = WindowSystem::nativeWindow(window);
        if (style != FormStyle::popup) SDL_SetWindowHitTest(window, hitTest, this);
    }
    onTop = style == FormStyle::popup;
    windowCanvas = std::make_unique<FormCanvas>(window, scale);
    app.addForm(this);
    applyTitle();
    applyIcon();
}

Form::~Form() {
    Application::instance().removeForm(this);
    windowCanvas.reset();
    if (window) SDL_DestroyWindow(window);
}

void Form::setClientSize(int newWidth, int newHeight) {
    width = std::max(newWidth, 1);
    height = std::max(newHeight, 1);
    if (window) SDL_SetWindowSize(window, width * scale, height * scale);
    paintPending = true;
}

// The place last asked for until the window system reports where the window really is. SDL's
// own report is not used: it lags behind a move, and before the window is mapped it reports
// where the window was created, which would make a dragged window jump back.
int Form::left() const {
    return floorDiv(posX, scale);
}

int Form::top() const {
    return floorDiv(posY, scale);
}

void Form::setPosition(int newLeft, int newTop) {
    posX = newLeft * scale;
    posY = newTop * scale;
    if (!window) return;
    SDL_SetWindowPosition(window, posX, posY);
    // A window on the screen is where the window system says it is: a compositor may ignore the
    // move, and hit tests must not work from a place the window never reached.
    refreshOrigin();
}

void Form::noteOrigin(const Point& onScreen, const Point& inWindow) {
    if (!this->onScreen()) return;
    posX = onScreen.x - inWindow.x;
    posY = onScreen.y - inWindow.y;
}

// Only a mapped window has a place of the window manager's choosing; a hidden one stays where
// it was asked to be until it is shown.
void Form::refreshOrigin() {
    if (!onScreen()) return;
    Point origin;
    if (!WindowSystem::clientOrigin(window, origin)) return;
    posX = origin.x;
    posY = origin.y;
}

Point Form::clientToScreen(int x, int y) const {
    return {left() + x, top() + y};
}

// The pointer's own place is converted from the screen pixel it is on, so that it names the same
// client pixel as the mouse events do even where a window manager put the window at a place that
// is not a whole number of designed pixels.
Point Form::screenToClient(const Point& screen) const {
    const Point pointer = Cursor::position();
    if (screen.x == pointer.x && screen.y == pointer.y)
        return fromScreenPixels(Cursor::screenPixel());
    return {screen.x - left(), screen.y - top()};
}

Point Form::fromWindowPixels(const Point& pixel) const {
    return {floorDiv(pixel.x, scale), floorDiv(pixel.y, scale)};
}

Point Form::fromScreenPixels(const Point& pixel) const {
    return fromWindowPixels({pixel.x - posX, pixel.y - posY});
}

void Form::setCaption(const std::string& text) {
    captionText = text;
    applyTitle();
}

void Form::applyTitle() {
    const std::string& title = Application::instance().title();
    if (window) SDL_SetWindowTitle(window, (title.empty() ? captionText : title).c_str());
}

void Form::applyIcon() {
    const std::vector<unsigned char>& rgba = Application::instance().iconPixels();
    const int size = Application::instance().iconSize();
    if (!window || size <= 0 || rgba.size() != std::size_t(size) * size * 4) return;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<unsigned char*>(rgba.data()), size, size, 32, size * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon) return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

void Form::show() {
    if (isVisible) return;
    // The form counts as visible while FormShow runs, so that a paint from there is not skipped.
    isVisible = true;
    FormShow();
    if (!isVisible) return;
    mapWindow();
    paintPending = true;
}

bool Form::onScreen() const {
    return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN);
}

void Form::setMapHeld(bool held) {
    mapHeld = held;
    if (!held && isVisible) {
        mapWindow();
        paintPending = true;
    }
}

void Form::mapWindow() {
    if (!window || mapHeld || onScreen()) return;
    // A dialog belongs to the main form: the window manager keeps it above that form and out of
    // the way of other programs' windows.
    Form* mainForm = Application::instance().mainForm();
    const bool tied = formStyle == FormStyle::dialog && mainForm && mainForm != this &&
                      mainForm->window && mainForm->visible();
    if (tied) SDL_SetWindowModalFor(window, mainForm->window);
    if (formStyle == FormStyle::dialog || formStyle == FormStyle::splash)
        WindowSystem::setStateBeforeMap(window, true, tied);
    WindowSystem::setHintsBeforeMap(window, posX, posY);
    focusSeen = false;
    paintBeforeMap();
    // Some X servers place a window where it was created when it is mapped, whatever it was
    // moved to while hidden; the position is given again once it shows.
    SDL_SetWindowPosition(window, posX, posY);
    SDL_ShowWindow(window);
    SDL_SetWindowPosition(window, posX, posY);
    refreshOrigin();
    if (formStyle == FormStyle::popup) {
        holdsRenewed = 0;
        pointerGrabbed = WindowSystem::grabPointer(window);
        return;
    }
    // A window manager gives a new window the focus by its own rules (the hints tell it when the
    // user opened the window); taking it past the manager is undone by some, and flagged as
    // demanding attention by others. Without one, nobody else gives the focus.
    if (!WindowSystem::managerRuns(window)) {
        activate();
        return;
    }
    // Some managers (mutter) never focus a splash-type window by their own rules, and the keys
    // meant for the about screen would reach the main form. One the user opened is asked for
    // with the time of the input that opened it; the start-up splash, before any input, is not.
    if (formStyle == FormStyle::splash) WindowSystem::requestActivation(window);
}

// A compositor shows a window from the first frame after its map; until the program's own paint
// reached it, that frame was black. So the first picture is painted before the map and the X
// server holds it as the window's background: the window has it from the map on. The paint that
// follows the map (see repaint) is the one that counts for the screen.
void Form::paintBeforeMap() {
    if (!WindowSystem::holdsBackgrounds(window)) return;
    FormPaint();
    backgroundHeld = WindowSystem::holdSurfaceAsBackground(window);
}

// A few times per showing, not without end: Xwayland under sway may end a hold as soon as it is
// taken, and taking it again at each end would keep the program busy with nothing else. The
// menu then still closes on the focus leaving the program.
void Form::holdPointer() {
    if (!window || !isVisible || formStyle != FormStyle::popup) return;
    if (holdsRenewed >= kMaxHoldRenewals) return;
    ++holdsRenewed;
    pointerGrabbed = WindowSystem::grabPointer(window);
}

// A press whose window disappears before its release leaves the window system's button down:
// the release goes to another window or to none, and the next press on the program would be
// taken for a repeat and dropped. So the window stays until the release has reached it.
void Form::finishPress() {
    Application& app = Application::instance();
    if (!window || app.pressedForm() != this) return;
    while (app.pressedForm() == this && WindowSystem::pointerButtonHeld(window) &&
           !app.terminated()) {
        app.waitForMessages(10);
        app.processMessages();
    }
    // A release already sent is taken into SDL's state while the window still exists.
    SDL_PumpEvents();
}

void Form::hide() {
    if (!isVisible || hiding) return;
    hiding = true;
    finishPress();
    hiding = false;
    if (!isVisible) return;
    const bool hadFocus = focused() || formStyle == FormStyle::popup;
    isVisible = false;
    if (window && pointerGrabbed) WindowSystem::ungrabPointer(window);
    pointerGrabbed = false;
    if (window) SDL_HideWindow(window);
    if (hadFocus) returnFocus();
}

// Without a window manager the X server hands the focus of a hidden window to the root window,
// and the program's keys would then reach none of its forms: the focus is given back to the main
// form. A window manager is asked instead, with the time of the input that closed this form;
// some leave no window focused when a focused one goes. A popup never had the focus there.
void Form::returnFocus() {
    Form* mainForm = Application::instance().mainForm();
    if (!mainForm || mainForm == this || !mainForm->visible() || !mainForm->window) return;
    if (!WindowSystem::managerRuns(mainForm->window)) {
        SDL_SetWindowInputFocus(mainForm->window);
        return;
    }
    if (formStyle != FormStyle::popup) WindowSystem::requestActivation(mainForm->window);
}

void Form::close() {
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) return;
    hide();
    Application::instance().formClosed(this);
}

void Form::showModal() {
    if (isVisible) return;
    Application& app = Application::instance();
    isModal = true;
    app.pushModal(this);
    show();
    while (isVisible && !app.terminated()) {
        app.processMessages();
        if (isVisible && !app.terminated()) app.waitForMessages(10);
    }
    // A program that ends while the form is open takes the form down with it.
    hide();
    app.popModal(this);
    isModal = false;
}

void Form::setAlwaysOnTop(bool on) {
    onTop = on;
    if (window) SDL_SetWindowAlwaysOnTop(window, on ? SDL_TRUE : SDL_FALSE);
}

void Form::setCursor(CursorShape shape) {
    cursorShape = shape;
    applyCursorIfUnderMouse();
}

void Form::applyCursorIfUnderMouse() {
    if (window && SDL_GetMouseFocus() == window) Cursor::apply(cursorShape);
}

// The background picture is given up after the first paint the window can be seen with: an
// old picture would otherwise show for a moment wherever the window is exposed later.
void Form::repaint() {
    paintPending = false;
    FormPaint();
    if (!backgroundHeld || !WindowSystem::viewable(window)) return;
    WindowSystem::dropBackground(window);
    backgroundHeld = false;
}

void Form::runPendingPaint() {
    if (!paintPending || !isVisible) return;
    repaint();
}

WindowCanvas& Form::canvas() {
    return *windowCanvas;
}

bool Form::focused() const {
    return Application::instance().focusedForm() == this;
}

// Where a window manager runs, it alone moves the focus: it is asked, with the time of the
// user's input. Without one the window is raised and given the focus directly.
void Form::activate() {
    if (!onScreen()) return;
    if (WindowSystem::managerRuns(window)) {
        WindowSystem::requestActivation(window);
        return;
    }
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
}

bool Form::managerMovesAt(const Point& pixel) {
    Form* owner = Application::instance().inputOwner();
    if (owner && owner != this) return false;
    const Point client = fromWindowPixels(pixel);
    if (!FormDragArea(client.x, client.y)) return false;
    return WindowSystem::managerSupports(window, "_NET_WM_MOVERESIZE");
}

void Form::paintBackground() {
    windowCanvas->clearClip();
    windowCanvas->fill(backColour);
}

void Form::FormPaint() {
    paintBackground();
}
void Form::FormKeyDown(int, ShiftState) {}
void Form::FormKeyUp(int, ShiftState) {}
void Form::FormMouseDown(MouseButton, ShiftState, int, int) {}
void Form::FormMouseMove(ShiftState, int, int) {}
void Form::FormMouseUp(MouseButton, ShiftState, int, int) {}
void Form::FormMouseWheel(ShiftState, int, int, int) {}
void Form::FormCloseQuery(bool&) {}

void Form::handleWindowEvent(const void* sdlEvent) {
    const SDL_WindowEvent& event = static_cast<const SDL_Event*>(sdlEvent)->window;
    switch (event.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
            paintPending = true;
            break;
        case SDL_WINDOWEVENT_MOVED:
            refreshOrigin();
            break;
        case SDL_WINDOWEVENT_CLOSE:
            close();
            break;
        case SDL_WINDOWEVENT_ENTER:
            Cursor::apply(cursorShape);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            focusSeen = true;
            break;
        // Some compositors take a new window's focus away before the user has seen it, or
        // never give it; only a focus the window really had counts as lost.
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (focusSeen) FormDeactivate();
            focusSeen = false;
            break;
        default:
            break;
    }
}

void Form::deliverKey(const void* sdlEvent) {
    const SDL_KeyboardEvent& event = static_cast<const SDL_Event*>(sdlEvent)->key;
    const int key = Keys::virtualKey(event.keysym.sym, event.keysym.mod);
    const ShiftState state = Keys::shiftFromModifiers(event.keysym.mod);
    if (event.type == SDL_KEYDOWN)
        FormKeyDown(key, state);
    else
        FormKeyUp(key, state);
}

// The place of a mouse event comes from the window system's own report of that event where
// there is one: SDL keeps the place of a button event from the last motion it saw, and its
// global pointer position is refreshed only by raw input, which warped pointers (remote
// desktops, automation) never send. Otherwise the SDL event's window position is taken.
void Form::deliverMouse(const void* sdlEvent, const Point* reportedClient,
                        const Point* reportedScreen) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(sdlEvent);
    const ShiftState keys = Keys::shiftFromModifiers(SDL_GetModState());
    const bool motion = event.type == SDL_MOUSEMOTION;
    const bool injected = mouseOf(event) == TestInput::injectedMouse;
    const Point pixel = windowPixelOf(event);
    Point client = fromWindowPixels(pixel);
    Point screen{posX + pixel.x, posY + pixel.y};
    if (reportedClient && reportedScreen && !injected) {
        client = *reportedClient;
        screen = *reportedScreen;
    }
    Cursor::noteEvent(screen);
    if (event.type == SDL_MOUSEWHEEL) {
        deliverWheel(sdlEvent, keys, client);
        return;
    }
    if (motion) {
        FormMouseMove(keys | buttonBits(event.motion.state), client.x, client.y);
        return;
    }
    const SDL_MouseButtonEvent& press = event.button;
    MouseButton button = MouseButton::left;
    if (!toButton(press.button, button)) return;
    const ShiftState held = keys | buttonBits(SDL_GetMouseState(nullptr, nullptr));
    if (event.type == SDL_MOUSEBUTTONDOWN)
        FormMouseDown(button, held | buttonBits(SDL_BUTTON(press.button)), client.x, client.y);
    else
        FormMouseUp(button, held & ~buttonBits(SDL_BUTTON(press.button)), client.x, client.y);
}

// Only the wheel's up and down count; a wheel that the system turns the other way round
// ("natural" scrolling) reports its steps flipped, and they are turned back.
void Form::deliverWheel(const void* sdlEvent, ShiftState keys, const Point& client) {
    const SDL_MouseWheelEvent& wheel = static_cast<const SDL_Event*>(sdlEvent)->wheel;
    const int steps = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.y : wheel.y;
    if (steps == 0) return;
    FormMouseWheel(keys | buttonBits(SDL_GetMouseState(nullptr, nullptr)), steps, client.x,
                   client.y);
}

}  // namespace platform
