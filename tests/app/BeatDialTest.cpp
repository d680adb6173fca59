// The beat dial's frames: the centred marker and "-", the ring of dots, the bubbles, the lit beat.
#include "app/BeatDial.h"

#include <climits>
#include <cmath>
#include <set>
#include <utility>

#include "engine/Metronome.h"
#include "graphics/Drawing.h"
#include "platform/draw/Canvas.h"
#include "platform/window/TestInput.h"
#include "tests/app/MainWindowFixture.h"

namespace {

const int label = scaleColour(BeatDial::baseColour, 0.38f);
constexpr int yellow = 0x00FFFF, white = 0xFFFFFF;

int pixelAt(const Limage& image, int x, int y) {
    const unsigned char* p = image.rows[y] + 3 * x;
    return p[2] | (p[1] << 8) | (p[0] << 16);
}

// The points of the dial where the two images differ (or, with one image, that are white).
std::set<std::pair<int, int>> where(const Limage& a, const Limage* b = nullptr) {
    std::set<std::pair<int, int>> found;
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++)
            if (b ? pixelAt(a, x, y) != pixelAt(*b, x, y) : pixelAt(a, x, y) == white)
                found.insert({x, y});
    return found;
}

class BeatDialTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        m().beatNumbers = m().bubbles = m().fadingBeats = false;
    }
    // One frame now, whatever the time of the last one.
    const Limage& frame() {
        module->dial.lastFrameTime = platform::clockMilliseconds() - BeatDial::frameInterval;
        module->dial.paint(true);
        return module->dial.image;
    }
};

}  // namespace

TEST_F(BeatDialTest, NoAccentShowsOneCentredMarkerADashAndNoRing) {
    m().beats = 0;
    const Limage shown = frame();
    EXPECT_EQ(pixelAt(shown, 89, 89), label);  // the 11 x 11 marker around (94, 94)
    EXPECT_EQ(pixelAt(shown, 99, 99), label);
    EXPECT_NE(pixelAt(shown, 88, 94), label);
    EXPECT_TRUE(where(shown).empty());
    // The count as drawn bold at 17 pixels, centred under "Beat".
    Limage expected(module->dial.background);
    platform::Canvas& canvas = expected.canvas();
    canvas.setBrushStyle(platform::BrushStyle::clear);
    canvas.font() = {"Tahoma", -17, true, false, label};
    canvas.textOut(94 - canvas.textWidth("-") / 2, 125, "-");
    for (auto [x, y] : where(shown, &expected))
        EXPECT_FALSE(y >= 128 && y < 150 && x >= 70 && x < 120) << x << "," << y;
}

TEST_F(BeatDialTest, TwoOrMoreBeatsDrawSixtyDotsAtRadiusSeventy) {
    m().beats = 4;
    std::set<std::pair<int, int>> ring;  // cut toward zero, not rounded
    for (int i = 0; i < 60; i++)
        ring.insert({int(94 + std::sin(i / 60.0 * 2 * M_PI) * 70),
                     int(94 - std::cos(i / 60.0 * 2 * M_PI) * 70)});
    const std::set<std::pair<int, int>> dots = where(frame());
    EXPECT_EQ(dots.size(), 56u);  // four dots lie under the markers
    for (auto dot : dots)
        EXPECT_TRUE(ring.count(dot)) << dot.first << "," << dot.second;
    EXPECT_EQ(pixelAt(frame(), 94, 24), label);  // marker 1 at the top
}

TEST_F(BeatDialTest, BubblesStayInTheirStrip) {
    const Limage plain = frame();
    m().bubbles = true;
    const std::set<std::pair<int, int>> changed = where(plain, &frame());
    EXPECT_GT(changed.size(), 20u);
    for (auto [x, y] : changed)
        EXPECT_TRUE(x >= 134 && x <= 148) << x << "," << y;
}

TEST_F(BeatDialTest, TheSoundingBeatLightsAndFadesWhenAsked) {
    m().beats = 4;
    setBpm(120);
    start();
    EXPECT_EQ(pixelAt(frame(), 94, 24), yellow);
    play(22050 * 3 / 4);
    const double f = std::fmod(m().beatPosition(), 1.0);
    ASSERT_GT(f, 0.5);
    EXPECT_EQ(pixelAt(frame(), 94, 24), label);
    EXPECT_EQ(pixelAt(frame(), 164, 94), label);  // the next beat is not lit yet
    m().fadingBeats = true;
    EXPECT_EQ(pixelAt(frame(), 94, 24), mixColour(label, yellow, float((1 - f) * (1 - f))));
    play(22050 / 2);
    const double g = m().beatPosition() - 1;
    ASSERT_TRUE(g > 0 && g < 0.5);
    EXPECT_EQ(pixelAt(frame(), 164, 94), mixColour(label, yellow, float((1 - g) * (1 - g))));
}

// A hand-edited count is drawn as the nearest count the dial has: over 9 as 9, below 0 as none.
// Nothing loops over markers that cannot be drawn, not even during the change animation.
TEST_F(BeatDialTest, CountsOutsideZeroToNineAreDrawnAsTheNearestEnd) {
    m().beats = 9;
    const Limage nine = frame();
    m().beats = 0;
    const Limage none = frame();
    for (int beats : {10, 100, -5, -1000}) {
        m().beats = beats;
        ASSERT_TRUE(where(frame(), beats > 0 ? &nine : &none).empty()) << beats;
    }
    for (int beats : {INT_MAX - 1000, INT_MAX, INT_MIN}) {
        m().beats = beats;
        EXPECT_TRUE(where(frame(), beats > 0 ? &nine : &none).empty()) << beats;
    }
    m().animateBeatChange = true;
    module->dial.previousBeats = INT_MAX;
    module->dial.beatChangeTime = platform::clockMilliseconds();
    frame();
    EXPECT_EQ(m().beats, INT_MIN) << "the field keeps what it held";
}

// A still frame is composed once and then skipped, whatever sound number or count a hand-edited
// file gave: what the dial compares between frames must hold any int.
TEST_F(BeatDialTest, AStillFrameIsSkippedWhateverTheHandEditedValues) {
    m().sound = INT_MAX;
    m().beats = INT_MAX - 999;
    module->dial.previousBeats = INT_MIN;
    for (int pass = 0; pass < 2; pass++) {
        module->dial.lastFrameTime = platform::clockMilliseconds() - BeatDial::frameInterval;
        module->dial.paint(false);
        module->dial.image.rows[0][0] ^= 0xFF;  // shows whether the next frame is composed
    }
    EXPECT_EQ(module->dial.image.rows[0][0], module->dial.background.rows[0][0]);
}

// Behind a 40 ms output buffer the first click is heard 40 ms after the start: until then the
// first marker stays dark, and it lights the moment the click reaches the ear.
TEST_F(BeatDialTest, TheFirstBeatLightsWhenItsClickIsHeardNotWhenItIsMixed) {
    m().beats = 4;
    setBpm(120);
    static_cast<platform::OfflineSoundDevice*>(AudioEngine::device())->setLatency(1764);
    start();
    EXPECT_EQ(pixelAt(frame(), 94, 24), label);
    play(1763);
    EXPECT_EQ(pixelAt(frame(), 94, 24), label);
    play(1);
    EXPECT_EQ(pixelAt(frame(), 94, 24), yellow);
    play(22049);  // the second click is mixed, and heard one sample later
    EXPECT_EQ(pixelAt(frame(), 164, 94), label);
    play(1);
    EXPECT_EQ(pixelAt(frame(), 164, 94), yellow);
}

// Accent (a dot towards the centre), normal, soft (smaller) and silent (an outline) are told
// apart; the default pattern draws plain squares. A pulse between beats lights as it sounds,
// and a click on a marker cycles that beat's level.
TEST_F(BeatDialTest, LevelsAreDrawnApartAndPulsesLightAsTheySound) {
    m().beats = 4;
    EXPECT_NE(pixelAt(frame(), 94, 35), label) << "no dot in the default pattern";
    m().accents = "3/32/322/3210";
    const Limage shown = frame();
    EXPECT_EQ(pixelAt(shown, 94, 35), label);
    EXPECT_EQ(pixelAt(shown, 164 - 5, 94 - 5), label);
    EXPECT_EQ(pixelAt(shown, 94, 164), label);
    EXPECT_NE(pixelAt(shown, 94 - 5, 164 - 5), label);
    EXPECT_NE(pixelAt(shown, 24, 94), label);
    EXPECT_EQ(pixelAt(shown, 24 - 5, 94), label);
    m().subdivision = 2;
    setBpm(120);
    start();
    const int px = int(94 + std::sin(M_PI / 4) * 70.875 + 0.5);
    const int py = int(94 - std::cos(M_PI / 4) * 70.875 + 0.5);
    EXPECT_EQ(pixelAt(frame(), px, py), label);
    play(11025);
    EXPECT_EQ(pixelAt(frame(), px, py), yellow);
    EXPECT_TRUE(form->cycleLevelAt(BeatDial::left + 94 + 3, BeatDial::top + 24 - 4));
    EXPECT_EQ(m().beatLevel(4, 0), 2);
    EXPECT_FALSE(form->cycleLevelAt(BeatDial::left + 94, BeatDial::top + 94));
}

namespace {
std::uint32_t frameClock = 1000;  // the clock of the frames compared below
}  // namespace

// A frame copied from the still layer with the lit parts drawn on top is the frame composed
// whole, pixel for pixel: over bars with every beat and pulse lit in turn, in both colour models,
// with bubbles, numbers, levels, pulses and silent bars, and across a change of tempo and of
// count, each of which draws the layer once more.
TEST_F(BeatDialTest, FramesFromTheStillLayerAreTheFramesComposedWhole) {
    struct Case {
        int beats;
        const char* accents;
        int subdivision;
        bool bubbles, numbers, fading, white, silentBars, animate;
    };
    const Case cases[] = {
        {4, "", 1, false, true, true, true, false, false},
        {4, "", 1, true, true, true, false, false, true},
        {9, "3/32/322/3210/32100/321000/3210000/32100000/321000000", 6, true, true, false, true,
         true, false},
        {7, "", 3, false, false, true, false, false, false},
        {1, "", 4, true, false, true, true, false, false},
        {0, "", 2, false, true, false, false, true, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.beats * 10 + test.subdivision);
        m().beats = test.beats;
        m().accents = test.accents;
        m().subdivision = test.subdivision;
        m().bubbles = test.bubbles;
        m().beatNumbers = test.numbers;
        m().fadingBeats = test.fading;
        m().white = test.white;
        m().silentBars = test.silentBars;
        m().playBars = m().muteBars = 1;
        m().animateBeatChange = test.animate;
        form->buildLayout();
        BeatDial layered(m(), c()), whole(m(), c());
        layered.clock = whole.clock = [] { return frameClock; };
        whole.useLayer = false;
        layered.buildBackground();
        whole.buildBackground();
        setBpm(200);
        start();
        for (int step = 0; step < 60; step++) {
            if (step == 25) setBpm(97);
            if (step == 40) {
                m().beats = test.beats == 4 ? 3 : 4;
                // A change long enough ago that its animation is over.
                layered.beatChangeTime = whole.beatChangeTime = frameClock - 500;
            }
            // Both frames at the same moment of one clock, so that the bubbles stand in the same
            // place; the clock moves on by a frame each step.
            frameClock += BeatDial::frameInterval + 1;
            layered.paint(true);
            whole.paint(true);
            ASSERT_TRUE(where(layered.image, &whole.image).empty()) << "step " << step;
            play(1013);
        }
        EXPECT_EQ(layered.layersDrawn, 3u);
        m().running = false;
    }
}

// Frames sent to the window as the parts that changed leave it showing each frame whole.
TEST_F(BeatDialTest, TheWindowShowsEachFrameWhole) {
    m().beats = 9;
    m().subdivision = 3;
    m().bubbles = m().beatNumbers = m().fadingBeats = true;
    setBpm(200);
    start();
    for (int step = 0; step < 24; step++, play(2011)) {
        if (step == 12) c().repaint();
        module->dial.lastFrameTime = platform::clockMilliseconds() - BeatDial::frameInterval;
        // Now and then a frame goes only into the back buffer, as a full repaint draws it.
        const bool toBackground = step % 5 == 4;
        module->dial.paint(toBackground);
        if (toBackground) continue;
        const Limage& image = module->dial.image;
        for (int y = 0; y < image.height; y++)
            for (int x = 0; x < image.width; x++)
                ASSERT_EQ(
                    platform::TestInput::windowPixel(*form, BeatDial::left + x, BeatDial::top + y),
                    pixelAt(image, x, y))
                    << x << "," << y << " step " << step;
    }
}
