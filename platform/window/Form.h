// Form: a borderless top-level window with the window toolkit's event handlers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/draw/Point.h"
#include "platform/window/Cursor.h"
#include "platform/window/Keys.h"
#include "platform/window/WindowCanvas.h"

struct SDL_Window;

namespace platform {

enum class FormStyle {
    normal,  // a top-level window that takes the keyboard focus when shown
    popup,   // always on top, never in the task bar, does not take the focus; while it is
             // visible the program's key input goes to it, and it holds the pointer: a press
             // anywhere outside it closes it (the popup menu)
    dialog,  // a window that takes the focus, kept out of the task bar and, when shown, tied
             // to the application's main form: the window manager keeps it above that form
    splash,  // a picture shown at start-up: it takes the focus but stays out of the task bar
};

class FormCanvas;

// The window is created hidden when the form is constructed, 1 x 1 at (0, 0), without a
// border: the client area is the whole window. left() and top() are the client origin in screen
// coordinates: while the window is hidden, the place last asked for; once it is on the screen,
// the place the window system reports (after a map, a move and with every pointer event), since
// a window manager or compositor may put it elsewhere or ignore a move. A form whose window could
// not be created (no display) keeps its properties and draws nothing. Colours are 0x00BBGGRR.
//
// Sizes, places and mouse positions are designed pixels. At a display scale of N (DisplayScale,
// taken when the form is made) the window is N times the client size on the screen, each
// designed pixel an N x N block; screen coordinates are the screen's pixels divided by N, and a
// mouse position is the window pixel under the pointer divided by N, rounded down.
//
// The window system knows the window by the application's title when it has one (else by the
// caption), and shows the application's icon for it.
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

    // Converts between client coordinates and screen coordinates (both in designed pixels).
    // This is the one place where the two meet; the program sees client coordinates in its
    // handlers and screen coordinates from Cursor::position().
    Point clientToScreen(int x, int y) const;
    Point screenToClient(const Point& screen) const;

    bool visible() const { return isVisible; }
    // Whether the window is mapped on the screen (a visible form may not be, while held).
    bool onScreen() const;
    // show runs FormShow, shows the window and asks for a paint; a visible form stays as it is.
    void show();
    // Hides the form. A mouse press that this form took and that is still held is finished
    // first (its release still reaches this form), so that the window system never loses it.
    void hide();
    // While held, a shown form is visible to the program but its window is not mapped on the
    // screen yet; releasing the hold maps it. A form holds back its window until it has its
    // real size and place.
    void setMapHeld(bool held);
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
    // Raises the window and gives it the keyboard focus: through the window manager where one
    // runs (it may decline), directly where none does.
    void activate();

    // The window system's id of the window (0 without one); the application routes by it.
    std::uint32_t windowId() const { return id; }
    // The X window behind it (0 without one, or on another window system).
    std::uint64_t nativeId() const { return nativeWindow; }

    // Called by the application for the events of this form's window.
    void handleWindowEvent(const void* sdlEvent);
    void runPendingPaint();
    // Takes the client origin from the window system again (after a map or a move).
    void refreshOrigin();
    // Whether the window manager moves the window for a press at the window pixel: the form
    // calls the place a drag area, no other form owns the input, and the manager offers it.
    bool managerMovesAt(const Point& pixel);
    // Grabs the pointer again for a visible popup form: SDL lets every grab go when the focus
    // moves between windows.
    void holdPointer();
    static constexpr int kMaxHoldRenewals = 8;
    // Applies the application's title and icon to the window.
    void applyTitle();
    void applyIcon();

  protected:
    virtual void FormShow() {}
    // The default paint fills the client area with colour().
    virtual void FormPaint();
    virtual void FormKeyDown(int key, ShiftState shift);
    virtual void FormKeyUp(int key, ShiftState shift);
    virtual void FormMouseDown(MouseButton button, ShiftState shift, int x, int y);
    virtual void FormMouseMove(ShiftState shift, int x, int y);
    virtual void FormMouseUp(MouseButton button, ShiftState shift, int x, int y);
    // A turn of the mouse wheel over the form by whole steps, positive away from the user (up).
    virtual void FormMouseWheel(ShiftState shift, int steps, int x, int y);
    virtual void FormCloseQuery(bool& canClose);
    // The window lost the keyboard focus after the window system had given it (a window that
    // never had the focus is not deactivated).
    virtual void FormDeactivate() {}
    // Whether a press at the client point starts a move of the window (a title bar). Where the
    // window manager offers it, it moves the window itself and the press reaches no handler.
    virtual bool FormDragArea(int, int) { return false; }

  private:
    friend class Application;
    friend class TestInput;
    void deliverKey(const void* sdlEvent);
    // `reported` is the pointer's place as the window system reported it with this event,
    // or null when only the SDL event tells it (injected events, other window systems).
    void deliverMouse(const void* sdlEvent, const Point* reportedClient,
                      const Point* reportedScreen);
    // A place in the window's own pixels as the program's client coordinates.
    Point fromWindowPixels(const Point& pixel) const;
    // A place in the screen's own pixels as the program's client coordinates.
    Point fromScreenPixels(const Point& pixel) const;
    void deliverWheel(const void* sdlEvent, ShiftState keys, const Point& client);
    void applyCursorIfUnderMouse();
    void paintBackground();
    void mapWindow();
    void paintBeforeMap();
    void finishPress();
    // Hands the keyboard focus back to the main form after this form was hidden.
    void returnFocus();
    // Takes the client origin from a pointer event of this window (its screen place less its
    // place in the window), as the X server had it when the event happened.
    void noteOrigin(const Point& onScreen, const Point& inWindow);

    ::SDL_Window* window = nullptr;
    std::uint64_t nativeWindow = 0;
    std::unique_ptr<FormCanvas> windowCanvas;
    FormStyle formStyle;
    std::uint32_t id = 0;
    int scale = 1;  // window pixels per designed pixel, each way
    int width = 1;  // the client size, in designed pixels
    int height = 1;
    int posX = 0;  // the client origin, in the screen's own pixels
    int posY = 0;
    std::int32_t backColour = 0xF0F0F0;
    std::string captionText;
    bool isVisible = false;
    bool isModal = false;
    bool onTop = false;
    bool paintPending = false;
    bool mapHeld = false;
    bool hiding = false;
    bool pointerGrabbed = false;
    int holdsRenewed = 0;    // times the popup took the pointer back since it was shown
    bool focusSeen = false;  // the window system gave this window the focus since it was shown
    // The X server holds the picture painted before the map as the window's background.
    bool backgroundHeld = false;
    CursorShape cursorShape = CursorShape::standard;
};

}  // namespace platform
