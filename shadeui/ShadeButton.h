// ShadeButton: the shaded push button and toggle switch, with two pre-rendered faces.
#pragma once

#include "base/AnsiString.h"
#include "graphics/Limage.h"
#include "shadeui/ShadeControl.h"

// A caption is a bold text centred on the face or one of the glyph tokens. It may start with
// "#" (a brighter face) and then "$" (no face at all, the rest becomes a label drawn above the
// control), and may end with "@" and a pixel offset for that label. A toggle or radio button
// shows its state by a lamp along its top edge; a plain button has the same face in both states.
class ShadeButton : public ShadeControl {
  public:
    bool* toggleVar = nullptr;  // the bound switch of a toggle
    int* radioVar = nullptr;    // the bound selection of a radio-style button
    int radioValue = -1;        // what radioVar takes when this button is clicked
    int id = -1;                // the command number of a plain button; -1 for toggles
    Limage onImage;
    Limage offImage;
    AnsiString label;
    bool pressed = false;  // held down: from a hit until the container's release handling
    bool labelOnly = false;
    int labelOffset = 0;
    bool invert = false;  // show a toggle's state inverted

    void setUpButton(int x, int y, int width, int height, const AnsiString& caption, int newId);
    void setUpToggle(int x, int y, int width, int height, const AnsiString& caption, bool* var);
    void setUp(int x, int y, int width, int height, const AnsiString& caption);

    // Shows the face of the bound state in the back buffer (pressed in while held) and presents
    // the button's rectangle on the window.
    void draw();
    // Hit test of a press at (x, y); a hit holds the button down, flips a toggle or selects a
    // radio value, and draws the button. Left <= x <= Right, Top <= y < Bottom.
    bool clickTest(int x, int y);

    // Whether the bound state is on now; a plain button is never on.
    bool isOn() const;

  private:
    enum class FaceState { momentary, off, on };
    enum class Mode { plain, bright, label };

    AnsiString parseCaption(const AnsiString& caption, Mode& mode);
    void renderFace(Limage& face, const AnsiString& caption, Mode mode, FaceState state);
    void drawCaption(Limage& face, const AnsiString& caption, FaceState state, int textColour);
    void drawLamp(Limage& face, FaceState state, int faceColour);
    void keepBackground();
    void drawLabel();
    void drawPressed(const Limage& face);
};
