// TFshadeMenu: the popup menu window, one column of text entries, and showShadeMenu.
#pragma once

#include <cstdint>

#include "base/AnsiString.h"
#include "base/Llist.h"
#include "graphics/Limage.h"
#include "platform/draw/Point.h"
#include "platform/draw/Rect.h"
#include "platform/window/Form.h"
#include "platform/window/Timer.h"

// A borderless, always-on-top window listing entries in rows of 20 pixels, highlighting the one
// under the mouse. Any click closes it with the entry under the mouse (or none), any key closes
// it with none. The entry texts carry their own markers (see TFshadeMenu_entry.h). There is one
// instance for the program's lifetime, made at start-up; it registers itself as `FshadeMenu`.
class TFshadeMenu : public platform::Form {
  public:
    Limage raster;                     // back buffer, sized to the client area on every paint
    Llist<platform::Rect> entryRects;  // hit rectangle of each entry, rebuilt on every paint
    Llist<AnsiString> entries;         // a copy of the caller's list
    std::int32_t rowCount = -1;        // entries per column, set by FormShow
    std::int32_t columnWidth = -1;     // width of the entry column in pixels
    std::int32_t rightWidth = 0;       // the widest right-hand text in pixels
    std::int32_t requestedLeft = 0;
    std::int32_t requestedTop = 0;
    std::int32_t hovered = -1;  // the entry under the mouse, -1 for none
    std::int32_t chosen = -1;   // the result handed back, -1 for none
    platform::Timer timer;      // every 50 ms: drops the highlight once the mouse has left

    TFshadeMenu();
    ~TFshadeMenu() override;

    // Shows the menu for these entries at menuPosition (or at the mouse) and waits until it
    // closes, keeping the idle hook running. The 0-based index of the clicked entry, or -1.
    std::int32_t run(const Llist<AnsiString>& list);

    // The last entry whose hit rectangle holds the client point (edges included), or -1; the
    // pixel row two rectangles share belongs to the lower entry.
    std::int32_t entryAt(int x, int y);

    void FormShow() override;
    void FormPaint() override;
    void FormKeyDown(int key, platform::ShiftState shift) override;
    void FormKeyUp(int key, platform::ShiftState shift) override;
    void FormMouseDown(platform::MouseButton button, platform::ShiftState shift, int x,
                       int y) override;
    void FormMouseMove(platform::ShiftState shift, int x, int y) override;
    void FormCloseQuery(bool& canClose) override;
    void timerTimer();

  private:
    void measureEntries();
    void placeOnScreen();
    void paintEntry(int index, int background);
    void setHovered(std::int32_t index);
};

// The one menu window, or nullptr before the program has made it.
extern TFshadeMenu* FshadeMenu;

// Where the next menu opens, in screen coordinates; (-1, -1) opens it at the mouse. Reset to
// (-1, -1) after every menu. The control container sets it before it opens the window's menu.
extern platform::Point menuPosition;

// Shows the popup menu and returns the chosen entry's index, or -1 when it was dismissed, is
// already open, or the menu window has not been made.
std::int32_t showShadeMenu(const Llist<AnsiString>& entries);
