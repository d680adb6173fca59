// The main window: key rows, tap tempo, the change handler, the wheel, the menu and its texts, the
// layout.
#include "app/TFmain.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/TextConversions.h"
#include "graphics/Drawing.h"
#include "platform/sound/SoundBuffer.h"
#include "platform/window/Application.h"
#include "platform/window/Screen.h"
#include "platform/window/TestInput.h"
#include "tests/app/MainWindowFixture.h"

namespace {

namespace vk = platform::vk;

class TFmainTest : public MainWindowFixture {
  protected:
    std::vector<AnsiString> texts(const Llist<AnsiString>& list) {
        return std::vector<AnsiString>(list.items, list.items + list.top + 1);
    }
    bool sounding() {
        for (std::int16_t s : play(4000))
            if (s != 0) return true;
        return false;
    }
    // Presses the key at a tempo; the BPM after, and whether a new bar was asked for.
    std::pair<int, bool> key(int code, int bpm) {
        setBpm(bpm);
        m().rebuild = false;
        form->FormKeyDown(code, 0);
        return {m().bpm(), m().rebuild};
    }
    void button(int id) {
        c().hitVariable = nullptr;
        c().buttonHit = true;
        c().hitId = id;
        form->changeHandler();
    }
};

using Result = std::pair<int, bool>;

}  // namespace

TEST_F(TFmainTest, SpaceStartsAndStopsTheClickAndRedrawsThePlayToggle) {
    const Limage before(c().raster);
    form->FormKeyDown(vk::space, 0);
    EXPECT_TRUE(m().running);
    EXPECT_TRUE(sounding());
    int changed = 0;  // rows of the Play toggle that now show it on
    for (int y = 254; y <= 276; y++)
        changed += std::memcmp(before.rows[y] + 3 * 273, c().raster.rows[y] + 3 * 273, 216) != 0;
    EXPECT_GT(changed, 0);
    form->FormKeyDown(vk::space, 0);
    EXPECT_FALSE(m().running);
    EXPECT_FALSE(sounding());
}

TEST_F(TFmainTest, TempoKeysStepOneBpmAndChangeNothingAtTheEnds) {
    start();
    for (int code : {vk::add, vk::oemPlus}) {
        EXPECT_EQ(key(code, 120), Result(121, true));
        EXPECT_EQ(key(code, 240), Result(240, false));
    }
    for (int code : {vk::subtract, vk::oemMinus}) {
        EXPECT_EQ(key(code, 120), Result(119, true));
        EXPECT_EQ(key(code, 40), Result(40, false));
    }
}

TEST_F(TFmainTest, DigitKeysSetTheBeatsAndARepeatKeepsTheAnimation) {
    start();
    m().beats = 4;
    module->dial.beatChangeTime = 7;
    EXPECT_EQ(key(vk::digit0 + 4, 120).second, false);
    EXPECT_EQ(module->dial.previousBeats, 4);
    EXPECT_EQ(module->dial.beatChangeTime, 7u);
    EXPECT_EQ(key(vk::numpad0 + 7, 120).second, true);
    EXPECT_EQ(m().beats, 7);
    EXPECT_EQ(module->dial.previousBeats, 4);
    EXPECT_NE(module->dial.beatChangeTime, 7u);
}

// A hand-edited count outside 0..9 is stepped and replaced from the count the dial shows, never
// from the raw value (which would overflow at the ends of int); a step past an end changes
// nothing, so the file keeps its value.
TEST_F(TFmainTest, BeatButtonsAndDigitKeysWorkFromTheCountShown) {
    start();
    m().beats = INT_MAX;
    m().rebuild = false;
    button(2);
    EXPECT_EQ(m().beats, INT_MAX);
    EXPECT_EQ(module->dial.previousBeats, 9);
    EXPECT_FALSE(m().rebuild);
    button(3);
    EXPECT_EQ(m().beats, 8);
    m().beats = INT_MIN;
    button(3);
    EXPECT_EQ(m().beats, INT_MIN);
    button(2);
    EXPECT_EQ(m().beats, 1);
    EXPECT_EQ(module->dial.previousBeats, 0);
    m().beats = -5;
    m().rebuild = false;
    EXPECT_EQ(key(vk::digit0, 120).second, false) << "0 is the count shown";
    EXPECT_EQ(m().beats, 0);
    m().beats = 1000;
    EXPECT_EQ(key(vk::numpad0 + 3, 120).second, true);
    EXPECT_EQ(m().beats, 3);
    EXPECT_EQ(module->dial.previousBeats, 9);
}

TEST_F(TFmainTest, TapTakesTheTempoOfOneIntervalAndIgnoresLongPauses) {
    setBpm(60);
    const std::pair<std::uint32_t, int> taps[] = {
        {10000, 60},                               // the first tap of a series only marks the time
        {10500, 120}, {10833, 180}, {11178, 173},  // 173.9 is cut, not rounded
        {13178, 173}, {13278, 240}};
    for (auto [at, bpm] : taps) {
        form->tap(at);
        EXPECT_EQ(m().bpm(), bpm) << at;
    }
}

TEST_F(TFmainTest, ChangeHandlerEvensTheFaderTempoSendsTheVolumeAndRunsButtons) {
    start();
    c().buttonHit = false;
    c().hitVariable = &m().tempo;
    setBpm(121);
    m().rebuild = false;
    form->changeHandler();
    EXPECT_EQ(Result(m().bpm(), m().rebuild), Result(122, true));
    setBpm(239);
    form->changeHandler();
    EXPECT_EQ(m().tempo, 1.0);
    c().hitVariable = &m().volume;
    m().volume = 0.5;
    form->changeHandler();
    ASSERT_GE(audio.sounds.top, 0);
    EXPECT_EQ(audio.sounds.items[0].buffers.items[0]->volume(),
              AudioEngine_sound::volumeValue(0.25));
    setBpm(100);
    button(0);
    EXPECT_EQ(m().bpm(), 101);
    button(1), button(1);
    EXPECT_EQ(m().bpm(), 99);
    m().beats = 9;
    button(2);
    EXPECT_EQ(m().beats, 9);
    button(3);
    EXPECT_EQ(m().beats, 8);
    EXPECT_EQ(module->dial.previousBeats, 9);
    m().beats = 0;
    button(3);
    EXPECT_EQ(m().beats, 0);
    m().sound = 2;
    button(4);
    EXPECT_EQ(m().sound, 3);
    button(5);
    EXPECT_EQ(m().sound, 0);
}

// One wheel step is one beat per minute on the Tempo fader, as the keys give (odd tempos too,
// unlike a drag), and a fiftieth on the Volume fader; both go through the change handler, so a
// running metronome asks for the new bar. Elsewhere the wheel changes nothing.
TEST_F(TFmainTest, TheWheelStepsTheTempoByOneBpmAndTheVolumeByAFiftieth) {
    form->show();
    start();
    setBpm(120);
    m().rebuild = false;
    const auto wheel = [&](int steps, int x, int y) {
        platform::TestInput::mouseWheel(*form, steps, x, y);
        platform::Application::instance().processMessages();
    };
    wheel(1, 284, 130);  // the Tempo fader
    EXPECT_EQ(m().bpm(), 121);
    EXPECT_TRUE(m().rebuild);
    wheel(4, 284, 130);
    EXPECT_EQ(m().bpm(), 125);
    wheel(1, 336, 130);  // the Volume fader
    EXPECT_DOUBLE_EQ(m().volume, 0.52);
    EXPECT_EQ(audio.sounds.items[0].buffers.items[0]->volume(),
              AudioEngine_sound::volumeValue(m().gain()));
    m().rebuild = false;
    wheel(3, 114, 137);  // the dial
    wheel(3, 242, 126);  // the plus button
    EXPECT_EQ(m().bpm(), 125);
    EXPECT_DOUBLE_EQ(m().volume, 0.52);
    EXPECT_FALSE(m().rebuild);
    setBpm(240);
    wheel(1, 284, 130);
    EXPECT_EQ(m().bpm(), 240);
    EXPECT_FALSE(m().rebuild);
}

TEST_F(TFmainTest, MenuItemsAndTheInformationTextsReadWordForWord) {
    m().beatNumbers = true;
    m().white = false;
    EXPECT_EQ(texts(form->menuItems()),
              (std::vector<AnsiString>{"#Show Beat Numbers", "White Model", "Practice...",
                                       "-Hot Keys...",
                                       "Specifications...", "About...",
                                       "More Apps at " + webHost() + "...", "-Link", "-Exit"}));
    EXPECT_EQ(texts(TFmain::hotKeyLines()),
              (std::vector<AnsiString>{
                  "title:Hot Keys", "Start/stop metronome:   SPACE", "",
                  "Increase/decrease tempo:   +/-", "Change beat:   0,1,2,3,4,5,6,7,8,9", "",
                  "Tap tempo:   ENTER", "Step subdivision (1-6 pulses a beat):   S",
                  "Click a beat's marker:   accent, normal, soft, silent"}));
    EXPECT_EQ(texts(TFmain::featureLines()),
              (std::vector<AnsiString>{
                  "~Specifications", "",
                  "- Timing method: precision algorithm based on 44.1 kHz audio clock",
                  "- Accuracy: better than 0.01%", "- Tempo range: 40-240 BPM",
                  "- Beat range: 1-9 and '-' (no accent)",
                  "- Sound: 2 digital waveforms + 2 acoustic samples", "- Tap tempo",
                  "- Beat visualization"}));
}

TEST_F(TFmainTest, MenuCommandsShowTheDialogRecentreAndQuit) {
    AnsiString title;
    int shownLines = -1;
    shadeDialogHook = [&](ShadeUI&, const AnsiString& t, const Llist<AnsiString>& lines, bool,
                          bool) {
        title = t;
        shownLines = lines.top + 1;
        return 1;
    };
    form->runMenuCommand(3);
    shadeDialogHook = nullptr;
    EXPECT_EQ(title, "Hot Keys");
    EXPECT_EQ(shownLines, 8);
    form->setPosition(3, 4);
    const bool white = m().white;
    form->runMenuCommand(1);
    EXPECT_NE(m().white, white);
    EXPECT_EQ(form->left(), platform::Screen::width() / 2 - 194);
    EXPECT_EQ(form->top(), platform::Screen::height() / 2 - 152);
    form->runMenuCommand(-1);
    EXPECT_FALSE(c().closeRequested);
    // The Link entry only flips the setting; the session is joined by the metronome's next pass,
    // which this test never makes.
    form->runMenuCommand(7);
    EXPECT_TRUE(m().link);
    form->runMenuCommand(7);
    EXPECT_FALSE(m().link);
    form->runMenuCommand(8);
    EXPECT_TRUE(c().closeRequested);
}

TEST_F(TFmainTest, TheWindowReachesTheScreenOnlyOnceTheFirstLayoutHasPlacedIt) {
    form.reset();
    // The next layout's first dial frame must not reach the window that is gone.
    EXPECT_EQ(c().window, nullptr);
    form = std::make_unique<TFmain>(*module, audio);
    form->timer.setEnabled(false);
    form->show();
    EXPECT_TRUE(form->visible());
    EXPECT_FALSE(form->onScreen());
    form->buildLayout();
    EXPECT_TRUE(form->onScreen());
    EXPECT_EQ(form->clientWidth(), 389);
}

TEST_F(TFmainTest, LayoutPlacesTheThirteenControlsAndTheLink) {
    EXPECT_EQ(form->clientWidth(), 389);
    EXPECT_EQ(form->clientHeight(), 305);
    ASSERT_EQ(c().faders.top, 1);
    ASSERT_EQ(c().buttons.top, 6);
    std::vector<std::vector<int>> rects;  // left, top, width, height, id
    for (int i = 0; i < 2; i++) {
        const platform::Rect& r = c().faders.items[i].rect;
        rects.push_back({r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, -2});
    }
    for (int i = 0; i < 7; i++) {
        const platform::Rect& r = c().buttons.items[i].rect;
        rects.push_back(
            {r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, c().buttons.items[i].id});
    }
    EXPECT_EQ(rects, (std::vector<std::vector<int>>{{268, 54, 33, 151, -2},
                                                    {320, 54, 33, 151, -2},
                                                    {231, 115, 22, 22, 0},
                                                    {231, 138, 22, 22, 1},
                                                    {46, 254, 22, 22, 4},
                                                    {92, 254, 22, 22, 3},
                                                    {115, 254, 22, 22, 2},
                                                    {161, 254, 22, 22, 6},
                                                    {273, 254, 71, 22, -1}}));
    EXPECT_EQ(c().buttons.items[6].toggleVar, &m().running);
    for (int x : {45, 104, 163, 299})  // each label inks its row band
        EXPECT_NE(std::memcmp(c().raster.rows[284] + 3 * x, c().raster.rows[284] + 3 * 220, 3 * 18),
                  0)
            << x;
    const platform::Rect& link = module->linkRect;
    EXPECT_EQ(std::vector<int>({link.Top, link.Bottom, link.Left + link.Right}),
              std::vector<int>({223, 237, 618}));
    EXPECT_TRUE(pointInRect(309, 237, link));
    EXPECT_FALSE(pointInRect(309, 238, link));
}

// Stopped with nothing moving, the main loop sleeps until something happens. Once the frame
// the layout left is shown, only a timer comes, three times: each firing makes one pass, and
// none of them draws a dial frame. Bubbles move the dial, and each pass then brings a frame, as
// a change while stopped asks for one.
TEST_F(TFmainTest, StoppedAndStillTheLoopPassesOnlyForEventsAndDrawsNoFrame) {
    form->show();
    int fired = 0, last = INT_MAX;
    platform::Timer timer;
    timer.setInterval(20);
    timer.setHandler([&] {
        if (++fired == last) c().closeRequested = true;
    });
    do
        form->loopPass();
    while (form->msUntilLoopWork() != UINT32_MAX);
    const std::uint64_t passes = form->loopPasses, frames = module->dial.framesComposed;
    last = fired + 3;
    while (!c().closeRequested) form->loopPass();
    EXPECT_EQ(form->loopPasses - passes, 3u);
    EXPECT_EQ(module->dial.framesComposed, frames);
    EXPECT_EQ(form->msUntilLoopWork(), 0u) << "a close is not waited for";
    c().closeRequested = false;
    timer.setEnabled(false);
    form->FormKeyDown(vk::digit0 + 3, 0);
    EXPECT_NE(form->msUntilLoopWork(), UINT32_MAX) << "the new count is drawn";
    m().bubbles = true;
    const std::uint64_t moving = form->loopPasses;
    while (module->dial.framesComposed < frames + 3 && form->loopPasses < moving + 9) {
        EXPECT_LE(form->msUntilLoopWork(), BeatDial::frameInterval + 1);
        form->loopPass();
    }
    // A pass that sleeps until the frame is due draws it; a loop that spins makes the nine
    // passes at once. The first pass may come within 15 ms of the last frame time, and a late
    // event of the window (under load) may wake one more, and so draw nothing.
    EXPECT_LE(form->loopPasses - moving, 6u);
}
