// Form: a borderless top-level window with the window toolkit's event handlers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Cursor.h"
#include "platform/Keys.h"
#include "platform/WindowCanvas.h"

struct SDL_Window;

namespace platform {

enum class FormStyle {
    normal,  // a top-level window that takes the keyboard focus when shown
    popup,   // always on top, never in the task bar, does not take the focus; while it is
             // visible the program's key input goes to it (the popup menu)
};

class FormCanvas;

// The window is created hidden when the form is constructed, 1 x 1 at (0, 0), without a
// border: the client area is the whole window, so left() and top() are also the client
// origin in screen coordinates. A form whose window could not be created (no display) keeps
// its properties and draws nothing. Colours are 0x00BBGGRR.
//
// Handlers are called from Application::processMessages, nested inside whatever loop runs it.
// While a modal form or a visible popup form exists, key and mouse input meant for the other
// forms does not reach them: keys go to that form instead, and a mouse press on another form
// closes a popup form (the press itself goes nowhere). Paint always reaches every form.
class Form {
  public:
    explicit Form(FormStyle style = FormStyle::normal);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    bool hasWindow() const { return window != nullptr; }
    FormStyle style() const { return formStyle; }

    int clientWidth() const { return width; }
    int clientHeight() const { return height; }
    void setClientWidth(int value) { setClientSize(value, height); }
    void setClientHeight(int value) { setClientSize(width, value); }
    // Sizes below 1 are taken as 1. The window's picture is lost: it is painted again.
    void setClientSize(int newWidth, int newHeight);

    int left() const;  // in screen coordinates
    int top() const;
    void setLeft(int value) { setPosition(value, top()); }
    void setTop(int value) { setPosition(left(), value); }
    void setPosition(int newLeft, int newTop);

    std::int32_t colour() const { return backColour; }
    void setColour(std::int32_t value) { backColour = value; }
    const std::string& caption() const { return captionText; }
    void setCaption(const std::string& text);

    bool visible() const { return isVisible; }
    // show runs FormShow, shows the window and asks for a paint; a visible form stays as it is.
    void show();
    void hide();
    // Runs FormCloseQuery and hides the form when it allows. Closing the application's main
    // form ends its message loop; closing a modal form ends its showModal.
    void close();
    // Shows the form and processes messages until it is closed or hidden; input to the other
    // forms is held back meanwhile. Returns at once when the form is already visible.
    void showModal();
    bool modal() const { return isModal; }

    void setAlwaysOnTop(bool on);
    bool alwaysOnTop() const { return onTop; }

    // The cursor shown while the mouse is over this form.
    void setCursor(CursorShape shape);
    CursorShape cursor() const { return cursorShape; }

    // Asks for a FormPaint from the next message processing (several requests run it once).
    void invalidate() { paintPending = true; }
    // Runs FormPaint now.
    void repaint();

    WindowCanvas& canvas();

    // Whether this form's window holds the keyboard focus.
    bool focused() const;
    // Raises the window and gives it the keyboard focus.
    void activate();

    // The window system's id of the window (0 without one); the application routes by it.
    std::uint32_t windowId() const { return id; }

    // Called by the application for the events of this form's window.
    void handleWindowEvent(const void* sdlEvent);
    void runPendingPaint();

  protected:
    virtual void FormShow() {}
    // The default paint fills the client area with colour().
    virtual void FormPaint();
    virtual void FormKeyDown(int key, ShiftState shift);
    virtual void FormKeyUp(int key, ShiftState shift);
    virtual void FormMouseDown(MouseButton button, ShiftState shift, int x, int y);
    virtual void FormMouseMove(ShiftState shift, int x, int y);
    virtual void FormMouseUp(MouseButton button, ShiftState shift, int x, int y);
    virtual void FormCloseQuery(bool& canClose);
    virtual void FormDeactivate() {}

  private:
    friend class Application;
    void deliverKey(const void* sdlEvent);
    void deliverMouse(const void* sdlEvent);
    void applyCursorIfUnderMouse();
    void paintBackground();

    ::SDL_Window* window = nullptr;
    std::unique_ptr<FormCanvas> windowCanvas;
    FormStyle formStyle;
    std::uint32_t id = 0;
    int width = 1;
    int height = 1;
    int posX = 0;
    int posY = 0;
    std::int32_t backColour = 0xF0F0F0;
    std::string captionText;
    bool isVisible = false;
    bool isModal = false;
    bool onTop = false;
    bool paintPending = false;
    CursorShape cursorShape = CursorShape::standard;
};

}  // namespace platform
