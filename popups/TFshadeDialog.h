// TFshadeDialog: the modal information dialog, a few lines of text under a shaded title bar.
#pragma once

#include <cstdint>

#include "base/AnsiString.h"
#include "base/Llist.h"
#include "platform/draw/Rect.h"
#include "platform/window/Form.h"
#include "platform/window/Timer.h"
#include "shadeui/ShadeUI.h"

// A borderless window with its own control container: a small title bar with a close box, the
// lines below it and one to three buttons along the bottom. A line is drawn bold when it holds a
// "~" (its first character, the "~", is dropped), and as a link when it holds "www.": a click on
// it opens that address (the maker's page when the line is the site address itself). A new
// dialog is made for every showing and destroyed when it closes.
//
// The result is the container's clickedId(): 1 for "OK" or "Yes" and the Enter key, 2 for
// "No", -1 for "Cancel", the Escape key and the close box.
class TFshadeDialog : public platform::Form {
  public:
    std::int32_t marginX = 20;                // x of every line
    std::int32_t firstLineY = 50;             // y of the first line
    std::int32_t lineHeight = 0;              // height of "X" + 3, set when shown
    platform::Rect linkRect{-1, -1, -1, -1};  // the link line's hit area, edges included
    AnsiString linkTarget;                    // what a click on the link opens
    ShadeUI container;
    AnsiString title;
    Llist<AnsiString> lines;
    bool withCancel = false;
    bool withNo = false;
    platform::Timer timer;  // 1 ms after showing: runs the wait loop

    TFshadeDialog();
    ~TFshadeDialog() override;

    // Shows the dialog modally and waits until a button, a key or the close box ends it,
    // keeping the idle hook running. Returns the container's clickedId().
    std::int32_t run();

    void FormShow() override;
    void FormPaint() override;
    void FormKeyDown(int key, platform::ShiftState shift) override;
    void FormMouseDown(platform::MouseButton button, platform::ShiftState shift, int x,
                       int y) override;
    void FormMouseMove(platform::ShiftState shift, int x, int y) override;
    void FormMouseUp(platform::MouseButton button, platform::ShiftState shift, int x,
                     int y) override;
    void timerTimer();

  private:
    void fitToLines();
    void centreOnScreen();
    void addButtons();
    void paintLine(platform::Canvas& canvas, int index);
};

// The dialog being shown, or nullptr (the innermost one when dialogs nest).
extern TFshadeDialog* FshadeDialog;

// Shows a new dialog owned by `owner` with the title (empty: the application's title), the lines
// and the buttons asked for, and returns its result. The owner's colours carry over.
std::int32_t showShadeDialog(ShadeUI& owner, const AnsiString& title,
                             const Llist<AnsiString>& lines, bool withCancel, bool withNo);

// Lets every control container show this dialog (ShadeUI::showShadeDialog). The program calls it
// once at start-up.
void installShadeDialog();
