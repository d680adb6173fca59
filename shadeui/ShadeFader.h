// ShadeFader: the shaded vertical slider that edits a bound value from 0 (bottom) to 1 (top).
#pragma once

#include "base/AnsiString.h"
#include "graphics/Limage.h"
#include "shadeui/ShadeControl.h"

// Set-up renders the track with its ticks, the knob and two drop shadows once; a draw composes
// them at the knob position of the bound value. A press near the knob grabs it where it is, a
// press farther away makes it jump to the pointer; moves then shift the value by the distance
// from the press. The rectangle of a fader of height h is (p + 12) x (h + 51), p being the
// panel width; the knob centre runs from rect.Top + 33 (value 1) to rect.Bottom - 18 (value 0).
class ShadeFader : public ShadeControl {
  public:
    AnsiString caption;
    double* value = nullptr;
    Limage trackImage;
    Limage knobImage;
    Limage darkShadow;
    Limage softShadow;
    double dragStartValue = 0;
    int dragStartY = 0;
    int extraWidth = 0;       // widens the slot panel
    int tickHighlight = -1;   // the full-width tick; -1 for the middle one
    double wheelStep = 0.01;  // how far one step of the mouse wheel moves the value

    void setUp(int x, int y, int height, const AnsiString& newCaption, double* var, int tickCount);
    // Composes the fader at its current value into the back buffer and presents it.
    void draw();
    // A press (isPress) or a move while this fader holds the capture; true when the bound value
    // changed, and the fader has then redrawn itself.
    bool drag(int x, int y, bool isPress);
    // A turn of the mouse wheel by `steps` (up positive) over (x, y): the bound value moves by
    // steps x wheelStep, kept within 0..1. True when it changed, and the fader has then redrawn
    // itself. Only the active area reacts, as for a press.
    bool wheel(int x, int y, int steps);
    // Whether (x, y) lies on the active area: the rectangle below the caption band.
    bool hits(int x, int y) const;

    // The panel width p for an extra width: 21 + extra, made odd.
    static int panelWidth(int extra);
    // The knob centre row for a value, which is first clamped to 0..1.
    int knobCentreY(double v) const;

  private:
    void renderTrack(int h, int tickCount);
    void drawTicks(int h, int tickCount);
    void drawSlotPanel(int p);
    void renderKnob();
    void renderShadow(Limage& shadow, int offset, int grey, bool soft);
    void drawCaption(int centreX);
    double pressValue(int y) const;
};
