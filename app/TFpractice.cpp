// The Practice window: its rows of settings, the stepping buttons, painting and the status line.
#include "app/TFpractice.h"

#include <algorithm>

#include "base/TextConversions.h"
#include "engine/Metronome.h"
#include "graphics/Drawing.h"
#include "graphics/Limage.h"
#include "platform/draw/Canvas.h"
#include "platform/window/Keys.h"

namespace {

constexpr int firstRowY = 42;
constexpr int rowStep = 28;
constexpr int valueX = 130;
constexpr int buttonX = 226;
constexpr int rowCount = 8;
constexpr int stepperIds = 10;  // row r steps down with id 10 + 2r and up with 11 + 2r

// Which rows are toggles rather than steppers.
bool toggleRow(int row) {
    return row == 1 || row == 5;
}

const char* const rowNames[rowCount] = {"Subdivision", "Trainer",     "Step", "Every",
                                        "Target",      "Silent bars", "Play", "Mute"};

int clampInt(int value, int low, int high) {
    return std::clamp(value, low, high);
}

AnsiString bars(int count) {
    return toText(count) + (count == 1 ? " bar" : " bars");
}

}  // namespace

TFpractice::TFpractice(Metronome& model, const ShadeUI& owner)
    : platform::Form(platform::FormStyle::dialog), metronome(model) {
    container.backColour = owner.backColour;
    container.foreColour = owner.foreColour;
    setClientSize(width, height);
}

void TFpractice::open(int x, int y) {
    setPosition(x, y);
    container.attachToWindow(this, "Practice", true, true);
    addControls();
    show();
}

void TFpractice::addControls() {
    container.beginControls([this] { changeHandler(); }, nullptr);
    for (int row = 0; row < rowCount; row++) {
        const int y = firstRowY + row * rowStep;
        container.setY(y + 4).setX(20).addLabel(rowNames[row]);
        container.setY(y).setHeight(0);
        if (toggleRow(row)) {
            bool* var = row == 1 ? &metronome.trainer : &metronome.silentBars;
            container.setX(buttonX).setWidth(49).addToggle("On", var);
            continue;
        }
        container.setX(buttonX).setWidth(22).addButton("<", stepperIds + 2 * row);
        container.advanceX(5).setWidth(22).addButton(">", stepperIds + 2 * row + 1);
    }
}

AnsiString TFpractice::valueText(int row) const {
    const Metronome& m = metronome;
    switch (row) {
        case 0:
            return toText(m.pulsesPerBeat()) + (m.pulsesPerBeat() == 1 ? " pulse" : " pulses");
        case 2: {
            const int step = clampInt(m.trainerStep, -20, 20);
            return AnsiString(step > 0 ? "+" : "").append(toText(step)).append(" BPM");
        }
        case 3:
            return bars(clampInt(m.trainerBars, 1, 64));
        case 4:
            return toText(clampInt(m.trainerTarget, 40, 240)) + " BPM";
        case 6:
            return bars(clampInt(m.playBars, 1, 16));
        case 7:
            return bars(clampInt(m.muteBars, 1, 16));
        default:
            return "";
    }
}

AnsiString TFpractice::trainerState() const {
    if (!metronome.trainerNote.empty()) return metronome.trainerNote;
    if (!metronome.trainer) return "Trainer off";
    const int bpm = metronome.bpm();
    const int target = clampInt(metronome.trainerTarget, 40, 240);
    AnsiString text(metronome.trainerNext(bpm) == bpm ? "Trainer holds " : "Trainer at ");
    text.append(toText(bpm)).append(" BPM");
    if (metronome.trainerNext(bpm) != bpm) text.append(", on to ").append(toText(target));
    return text;
}

AnsiString TFpractice::shownState() const {
    AnsiString all = trainerState();
    for (int row = 0; row < rowCount; row++)
        all.append("|").append(valueText(row));
    return all;
}

// A step past either end stays there; the trainer's step skips 0, which would never move.
void TFpractice::step(int id) {
    Metronome& m = metronome;
    const int row = (id - stepperIds) / 2;
    const int delta = (id - stepperIds) % 2 == 1 ? 1 : -1;
    switch (row) {
        case 0:
            m.subdivision = clampInt(m.pulsesPerBeat() + delta, 1, 6);
            if (m.running) m.rebuild = true;
            break;
        case 2: {
            int value = clampInt(clampInt(m.trainerStep, -20, 20) + delta, -20, 20);
            if (value == 0) value = delta;
            m.trainerStep = value;
            break;
        }
        case 3:
            m.trainerBars = clampInt(clampInt(m.trainerBars, 1, 64) + delta, 1, 64);
            break;
        case 4:
            m.trainerTarget = clampInt(clampInt(m.trainerTarget, 40, 240) + 5 * delta, 40, 240);
            break;
        case 6:
            m.playBars = clampInt(clampInt(m.playBars, 1, 16) + delta, 1, 16);
            break;
        case 7:
            m.muteBars = clampInt(clampInt(m.muteBars, 1, 16) + delta, 1, 16);
            break;
        default:
            break;
    }
}

// Switching the trainer on starts it afresh from the tempo playing now.
void TFpractice::changeHandler() {
    if (container.changedVariable() == &metronome.trainer) metronome.trainerNote.clear();
    if (container.buttonClicked()) step(container.clickedId());
    refresh();
}

void TFpractice::refresh() {
    if (shownState() != lastShown) repaint();
}

// The values are drawn over a copy of the container's raster, so that repeated paints never
// blend the same text twice.
void TFpractice::FormPaint() {
    if (!container.raster.isValid()) return;
    Limage frame(container.raster);
    if (!frame.isValid()) return;
    platform::Canvas& canvas = frame.canvas();
    for (int row = 0; row < rowCount; row++)
        drawText(canvas, valueX, firstRowY + row * rowStep + 4, valueText(row),
                 container.foreColour);
    drawText(canvas, 20, firstRowY + rowCount * rowStep + 8, trainerState(), container.foreColour);
    this->canvas().draw(0, 0, frame.pixels());
    lastShown = shownState();
}

void TFpractice::FormKeyDown(int key, platform::ShiftState) {
    if (key == platform::vk::escape) container.closeRequested = true;
}

void TFpractice::FormMouseDown(platform::MouseButton, platform::ShiftState, int, int) {
    container.mouseDown();
}

void TFpractice::FormMouseMove(platform::ShiftState, int, int) {
    container.mouseMove();
}

void TFpractice::FormMouseUp(platform::MouseButton, platform::ShiftState, int, int) {
    container.mouseUp();
}
