// BeatDial: the animated square of the main window that shows tempo, beats, sound and the beat.
#pragma once

#include <cstdint>
#include <vector>

#include "base/AnsiString.h"
#include "graphics/Limage.h"
#include "platform/draw/Rect.h"
#include "platform/system/Clock.h"

class Metronome;
class ShadeUI;

// The dial is composed from a static background (gradients and glows, built with each layout)
// and the metronome's state, at most once per 15 ms, and drawn at (20, 43) of the main window:
// straight onto the window, or into the main container's back buffer for a full repaint.
class BeatDial {
  public:
    static constexpr int size = 189;
    static constexpr int left = 20;
    static constexpr int top = 43;
    static constexpr int baseColour = 0xC9A593;
    static constexpr std::uint32_t frameInterval = 15;

    Limage background;               // the static layer, rebuilt by every layout
    Limage image;                    // the frame being composed
    std::uint32_t lastFrameTime = 0;
    std::uint32_t beatChangeTime = 0;  // written by the beat-changing input
    int previousBeats = 0;             // the beat count before its last change
    bool stale = true;                 // the window lost the frame: draw the next one anyway

    BeatDial(Metronome& metronome, ShadeUI& container);

    void buildBackground();
    // Composes and shows one frame unless the last one is less than 15 ms old. With
    // toBackground the frame goes into the container's raster, else onto the window.
    void paint(bool toBackground);
    // Milliseconds until paint(false) would show a new frame: 0 when it is due now, UINT32_MAX
    // while nothing moves and the window shows the last frame (only input can change that).
    std::uint32_t msUntilNextFrame();
    // Frames composed so far (a frame skipped as unchanged does not count).
    std::uint64_t framesComposed = 0;
    // Frames are copied from the still layer with the lit parts drawn on top; off, every frame
    // is composed whole. Both give the same pixels.
    bool useLayer = true;
    std::uint64_t layersDrawn = 0;  // how often that layer was drawn
    // The millisecond clock of frames, fades and bubbles; tests hand in one of their own.
    std::uint32_t (*clock)() = platform::clockMilliseconds;

    // The beat whose marker lies under the window point (x, y), or -1; the one marker of a bar
    // without beats (0) counts as none, as it has no level to change.
    int markerAt(int x, int y) const;

    // The name the dial shows for a click sound.
    static AnsiString soundName(int sound);
    // Draws one frame of the rising bubbles into a black strip.
    void drawBubbles(Limage& strip, double a, double b, double c, double d);

  private:
    struct Colours {
        int label, lit, ring, number;
    };
    // Where the sounding beat is heard (negative: none) and whether its bar is silent.
    struct Light {
        double position = -1.0;
        bool silent = false;
    };
    // Everything the still layer's pixels depend on.
    struct LayerState {
        int bpm = 0;
        std::uint64_t pattern = 0;
        int beats = 0, sound = 0;
        bool numbers = false;
        bool operator==(const LayerState&) const = default;
    };

    Light currentLight();
    void composeWhole(std::uint32_t now, const Light& light);
    bool composeOnLayer(std::uint32_t now, const Light& light);
    bool animating(std::uint32_t now) const;
    LayerState layerState() const;
    std::vector<platform::Rect> movingParts(const Light& light) const;
    static platform::Rect unite(const platform::Rect& a, const platform::Rect& b);
    int bubbleStripWidth() const;
    int bubbleStripLeft(int stripWidth) const;
    void drawBubbleStrip();
    void drawFigures(std::uint32_t now, const Light& light);
    void drawTexts(int cx, int cy);
    int animate(Colours& colours, double& radius, std::uint32_t time);
    void drawRing(int radius, int colour);
    void drawMarkers(int shown, int radius, const Colours& colours, const Light& light);
    void drawLevel(int x, int y, int level, double angle, int colour);
    void drawPulses(int shown, double position, const Colours& colours);
    std::uint64_t patternCode() const;
    bool defaultPattern(int shown) const;
    void show(bool toBackground);
    std::uint32_t nextRandom();
    bool unchangedSinceLastFrame();
    bool moving() const;
    std::uint64_t stillKey();

    Metronome& metronome;
    ShadeUI& container;
    std::uint64_t randomState = 0x853C49E6748FEA9BULL;
    std::uint64_t lastStill = 0;  // what a still frame showed, to skip drawing it again
    Limage layer;                 // a frame without its lit parts and bubbles, see composeOnLayer
    LayerState layerDrawn;        // what the layer shows
    bool imageOnLayer = false;    // the image is the layer but for litParts
    std::vector<platform::Rect> litParts;
    platform::Rect unsent;  // where the image may differ from the frame last sent to the window
};
