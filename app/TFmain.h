// TFmain: the main window: start-up, layout, the main loop, input, tap tempo and the menu.
#pragma once

#include <cstdint>
#include <memory>

#include "base/AnsiString.h"
#include "base/Llist.h"
#include "platform/window/Form.h"
#include "platform/window/Timer.h"

class AudioEngine;
class TFpractice;
class Wmain;

// The window is borderless and painted entirely by its container and the beat dial. Its
// one-shot timer shows the splash, builds the layout and then runs the program's own loop, which
// processes messages, drives the metronome's bar switching and animates the dial until the quit
// flag (the container's closeRequested) is set.
class TFmain : public platform::Form {
  public:
    platform::Timer timer;  // 10 ms, fires once
    std::uint32_t lastTapTime = 0;

    TFmain(Wmain& module, AudioEngine& audio);
    ~TFmain() override;

    void timerTimer();
    // One pass of the main loop: it ends by waiting for whatever next needs the loop.
    void loopPass();
    // Milliseconds until the loop has work without input: the next dial frame, the pending bar
    // switch, a requested close (0); UINT32_MAX when only input can bring some.
    std::uint32_t msUntilLoopWork();
    // Passes of the main loop so far.
    std::uint64_t loopPasses = 0;
    void buildLayout();

    // The operations behind keys, buttons and faders.
    void stepTempo(bool up);
    void setBeats(int digit);
    void stepBeats(int delta);
    void tap();
    // The same with the clock reading given (tests).
    void tap(std::uint32_t now);
    void stepSubdivision();
    // Cycles the level of the beat whose dial marker lies under (x, y); false when none does.
    bool cycleLevelAt(int x, int y);
    void toggleRunning();
    // Joins or leaves the local network's Link session.
    void toggleLink();
    void changeHandler();
    void menuHandler();
    void runMenuCommand(int index);
    void openWebPage();
    // Opens the Practice window beside the main window, or brings it forward when it is open.
    void openPractice();
    TFpractice* practiceWindow() const { return practice.get(); }

    // The menu's item texts, and the two information texts (hot keys, features) the menu shows.
    Llist<AnsiString> menuItems() const;
    static Llist<AnsiString> hotKeyLines();
    static Llist<AnsiString> featureLines();

    void FormPaint() override;
    void FormKeyDown(int key, platform::ShiftState shift) override;
    void FormMouseDown(platform::MouseButton button, platform::ShiftState shift, int x,
                       int y) override;
    void FormMouseMove(platform::ShiftState shift, int x, int y) override;
    void FormMouseUp(platform::MouseButton button, platform::ShiftState shift, int x,
                     int y) override;
    void FormMouseWheel(platform::ShiftState shift, int steps, int x, int y) override;
    void FormCloseQuery(bool& canClose) override;
    bool FormDragArea(int x, int y) override;

  private:
    void drawDialFrameAndLink();
    void addControls();
    void loadSamples();
    void matchSamplesToDevice();
    void followTransport();
    bool hasTransport() const;
    void beatsChanged(int before);

    Wmain& module;
    AudioEngine& audio;
    std::unique_ptr<TFpractice> practice;
};

// The main window, or nullptr before the program has made it.
extern TFmain* Fmain;
