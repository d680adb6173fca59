// Form: a borderless SDL window, its properties and the routing of its events to the handlers.
#include "platform/Form.h"

#include <SDL2/SDL.h>

#include <algorithm>

#include "platform/Application.h"
#include "platform/FormCanvas.h"
#include "platform/TestInput.h"

namespace platform {

namespace {

Uint32 windowFlags(FormStyle style) {
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    // A popup window is override-redirect on X11: the window manager neither decorates it nor
    // gives it the focus, and it stays above the program's other windows.
    if (style == FormStyle::popup)
        flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR;
    return flags;
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

}  // namespace

Form::Form(FormStyle style) : formStyle(style) {
    Application& app = Application::instance();
    if (app.startVideo()) window = SDL_CreateWindow("", 0, 0, width, height, windowFlags(style));
    if (window) id = SDL_GetWindowID(window);
    onTop = style == FormStyle::popup;
    windowCanvas = std::make_unique<FormCanvas>(window);
    app.addForm(this);
}

Form::~Form() {
    Application::instance().removeForm(this);
    windowCanvas.reset();
    if (window) SDL_DestroyWindow(window);
}

void Form::setClientSize(int newWidth, int newHeight) {
    width = std::max(newWidth, 1);
    height = std::max(newHeight, 1);
    if (window) SDL_SetWindowSize(window, width, height);
    paintPending = true;
}

// The position the program last gave the window. The window system's own report lags behind
// (and before the window is mapped it reports where the window was created), which would make a
// dragged window jump back.
int Form::left() const {
    return posX;
}

int Form::top() const {
    return posY;
}

void Form::setPosition(int newLeft, int newTop) {
    posX = newLeft;
    posY = newTop;
    if (window) SDL_SetWindowPosition(window, newLeft, newTop);
}

void Form::setCaption(const std::string& text) {
    captionText = text;
    if (window) SDL_SetWindowTitle(window, text.c_str());
}

void Form::show() {
    if (isVisible) return;
    // The form counts as visible while FormShow runs, so that a paint from there is not skipped.
    isVisible = true;
    FormShow();
    if (!isVisible) return;
    if (window) {
        // Some X servers place a window where it was created when it is mapped, whatever it was
        // moved to while hidden; the position is given again once it shows.
        SDL_SetWindowPosition(window, posX, posY);
        SDL_ShowWindow(window);
        SDL_SetWindowPosition(window, posX, posY);
        if (formStyle == FormStyle::normal) SDL_RaiseWindow(window);
    }
    paintPending = true;
}

void Form::hide() {
    if (!isVisible) return;
    const bool hadFocus = focused() || formStyle == FormStyle::popup;
    isVisible = false;
    if (window) SDL_HideWindow(window);
    // Without a window manager the X server hands the focus of a hidden window to the root
    // window, and the program's keys would then reach none of its forms: give it back to the
    // main form.
    Form* mainForm = Application::instance().mainForm();
    if (!hadFocus || !mainForm || mainForm == this || !mainForm->visible()) return;
    if (mainForm->window) SDL_SetWindowInputFocus(mainForm->window);
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

void Form::repaint() {
    paintPending = false;
    FormPaint();
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

void Form::activate() {
    if (window) SDL_RaiseWindow(window);
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
void Form::FormCloseQuery(bool&) {}

void Form::handleWindowEvent(const void* sdlEvent) {
    const SDL_WindowEvent& event = static_cast<const SDL_Event*>(sdlEvent)->window;
    switch (event.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
            paintPending = true;
            break;
        case SDL_WINDOWEVENT_CLOSE:
            close();
            break;
        case SDL_WINDOWEVENT_ENTER:
            Cursor::apply(cursorShape);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            FormDeactivate();
            break;
        default:
            break;
    }
}

void Form::deliverKey(const void* sdlEvent) {
    const SDL_KeyboardEvent& event = static_cast<const SDL_Event*>(sdlEvent)->key;
    const int key = Keys::virtualKey(event.keysym.sym);
    const ShiftState state = Keys::shiftFromModifiers(event.keysym.mod);
    if (event.type == SDL_KEYDOWN)
        FormKeyDown(key, state);
    else
        FormKeyUp(key, state);
}

void Form::deliverMouse(const void* sdlEvent) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(sdlEvent);
    const ShiftState keys = Keys::shiftFromModifiers(SDL_GetModState());
    if (event.type == SDL_MOUSEMOTION) {
        const SDL_MouseMotionEvent& motion = event.motion;
        Cursor::noteEvent({left() + motion.x, top() + motion.y},
                          motion.which != TestInput::injectedMouse);
        FormMouseMove(keys | buttonBits(motion.state), motion.x, motion.y);
        return;
    }
    const SDL_MouseButtonEvent& press = event.button;
    MouseButton button = MouseButton::left;
    if (!toButton(press.button, button)) return;
    Cursor::noteEvent({left() + press.x, top() + press.y}, press.which != TestInput::injectedMouse);
    const ShiftState held = keys | buttonBits(SDL_GetMouseState(nullptr, nullptr));
    if (event.type == SDL_MOUSEBUTTONDOWN)
        FormMouseDown(button, held | buttonBits(SDL_BUTTON(press.button)), press.x, press.y);
    else
        FormMouseUp(button, held & ~buttonBits(SDL_BUTTON(press.button)), press.x, press.y);
}

}  // namespace platform
