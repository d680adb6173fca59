// ShadeUI: the control container of one borderless window: frame, title bar, controls, mouse.
#pragma once

#include <cstdint>
#include <functional>

#include "base/AnsiString.h"
#include "base/Llist.h"
#include "graphics/Limage.h"
#include "platform/draw/Rect.h"
#include "shadeui/ShadeButton.h"
#include "shadeui/ShadeFader.h"
#include "shadeui/ShadeToolkit.h"

namespace platform {
class Form;
}

// The rectangle that stands for "no such area": (-1, -1, -1, -1).
extern const platform::Rect absentRect;

// The popup menu and the information dialog live in the layer above this one, yet the container
// places the menu and opens the dialog. Their module (or the program) fills these in at start-up;
// while one is empty, the container skips that step (no menu position, a dialog result of -1).
//
// menuPositionHook receives the screen position where the next popup menu opens.
extern std::function<void(int x, int y)> menuPositionHook;
// shadeDialogHook shows the information dialog modally, with `owner` as its owner: it copies the
// owner's backColour and foreColour into the dialog's container, shows the title and the lines
// with the buttons asked for, and returns the dialog container's clickedId().
extern std::function<int(ShadeUI& owner, const AnsiString& title, const Llist<AnsiString>& lines,
                         bool withCancel, bool withNo)>
    shadeDialogHook;

// A container gives one borderless form its shaded frame and title bar, drawn once per attach
// into its back buffer `raster`, and the buttons, toggles, faders and labels built into it with
// a pen that moves across the window. It routes the form's mouse events to the controls and the
// title bar (moving the window by its title bar), and reports every change through onChange and
// the menu grip through onMenu. The add, repaint and mouse operations do nothing before
// attachToWindow; the add operations nothing before beginControls.
class ShadeUI {
  public:
    using Handler = std::function<void()>;
    struct Position {
        std::int32_t x = 0;
        std::int32_t y = 0;
    };

    platform::Form* window = nullptr;
    Handler onChange;
    Handler onMenu;
    Llist<ShadeButton> buttons;
    Llist<ShadeFader> faders;
    Llist<platform::Rect>
        gripRects;  // element 0 opens the menu; dragging starts 8 px right of the last
    platform::Rect minimizeRect = absentRect;
    platform::Rect closeRect = absentRect;
    bool dragging = false;
    Position pressWindowPos;
    Position pressCursorPos;
    bool building = false;
    std::int32_t penX = 20;
    std::int32_t penY = 56;
    std::int32_t penWidth = 100;
    std::int32_t penHeight = 22;
    double buttonShade = 1.04;
    void* hitVariable = nullptr;  // the variable the last press or drag changed
    bool buttonHit = false;       // the last press hit a plain button
    bool wheelHit = false;        // the last change came from the mouse wheel
    std::int32_t hitId = -1;      // that button's id
    Limage raster;                // the window's back buffer, the size of its client area
    int backColour = 0xFFFFFF;
    int foreColour = 0;
    bool closeRequested = false;
    bool minimizeRequested = false;

    ShadeUI();

    // Binds the container to the form and draws the frame and title bar into a new raster the
    // size of the client area. An empty title shows the application's title.
    ShadeUI& attachToWindow(platform::Form* form, const AnsiString& title, bool small,
                            bool withClose);
    ShadeUI& beginControls(Handler changeHandler, Handler menuHandler);
    ShadeUI& setX(int value);
    ShadeUI& setY(int value);
    ShadeUI& advanceX(int gap);
    ShadeUI& advanceY(int gap);
    ShadeUI& setWidth(int value);   // 0 takes penHeight
    ShadeUI& setHeight(int value);  // 0 takes 22
    ShadeUI& addLabel(const AnsiString& text);
    ShadeUI& addButton(const AnsiString& caption, int id);
    ShadeUI& addToggle(const AnsiString& caption, bool* var);
    // tickHighlight -1 picks the middle tick; one step of the mouse wheel moves the value by
    // wheelStep. Afterwards penWidth is the fader's width.
    ShadeUI& addFader(const AnsiString& caption, double* var, int extraWidth, int tickCount,
                      int tickHighlight, double wheelStep = 0.01);

    // Shows the whole raster on the window.
    void repaint();
    // Redraws every control bound to the variable (after it was changed from elsewhere).
    void refreshBound(const void* variable);

    // The form's mouse events; they read the cursor position themselves, and the button does
    // not matter.
    void mouseDown();
    void mouseMove();
    void mouseUp();
    // A turn of the mouse wheel by whole steps (up positive): it moves the fader under the
    // cursor, which reports the change as a drag does. Elsewhere it does nothing.
    void mouseWheel(int steps);

    void* changedVariable() const { return hitVariable; }
    bool buttonClicked() const { return buttonHit; }
    // Whether the last reported change came from the mouse wheel rather than a press or drag.
    bool wheelTurned() const { return wheelHit; }
    std::int32_t clickedId() const { return hitId; }
    void setClickedId() { hitId = 1; }

    // Whether a press at the client point (x, y) moves the window.
    bool inDragZone(int x, int y) const;

    // Shows the information dialog; a first line containing "title:" gives its title (from its
    // seventh character on) and is not shown. Returns 1, 2 or -1.
    std::int32_t showShadeDialog(const Llist<AnsiString>& lines, bool withCancel, bool withNo);
    // Opens "http://" + the text in the browser; an empty text opens the maker's page.
    void openWebPage(const AnsiString& text);
    // A change handler for dialogs: a plain button with id 1, 2 or -1 closes the current
    // container's window (sets its closeRequested).
    static void closeOnButton();

  private:
    void drawTitleText(const AnsiString& title, bool small, int titleColour);
    void drawTitleGlyphs(bool small, bool withClose);
    void drawSideBorders();
    void drawShading(bool small);
    bool canAdd() const;
    ShadeButton* appendButton();
    Position clientCursor() const;
    void dispatch(int x, int y, bool press);
    bool pressButtons(int x, int y);
    void report();
};
