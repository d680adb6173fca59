// TFpractice: the Practice window, where subdivision, trainer and silent bars are set.
#pragma once

#include "base/AnsiString.h"
#include "platform/window/Form.h"
#include "shadeui/ShadeUI.h"

class Metronome;

// A borderless window with its own control container: a small title bar with a close box, one
// row a setting (a label, the value and two stepping buttons, or a toggle) and a line under
// them that tells how the trainer stands. It is not modal: the main loop keeps running, every
// change reaches the metronome at once and sounds from its next switch.
class TFpractice : public platform::Form {
  public:
    static constexpr int width = 300;
    static constexpr int height = 316;

    ShadeUI container;

    TFpractice(Metronome& metronome, const ShadeUI& owner);

    // Shows the window at the given screen point with its controls.
    void open(int x, int y);
    // One pass of the main loop: shows values that changed elsewhere (a trainer step, a key).
    void refresh();
    // Whether the close box or the window system ended it.
    bool finished() const { return container.closeRequested || !visible(); }

    // The status line: the trainer's tempo and target, or why it ended.
    AnsiString trainerState() const;

    void FormPaint() override;
    void FormKeyDown(int key, platform::ShiftState shift) override;
    void FormMouseDown(platform::MouseButton button, platform::ShiftState shift, int x,
                       int y) override;
    void FormMouseMove(platform::ShiftState shift, int x, int y) override;
    void FormMouseUp(platform::MouseButton button, platform::ShiftState shift, int x,
                     int y) override;

  private:
    void addControls();
    void changeHandler();
    void step(int id);
    AnsiString valueText(int row) const;
    AnsiString shownState() const;

    Metronome& metronome;
    AnsiString lastShown;  // every text the last paint showed, to repaint only on a change
};
