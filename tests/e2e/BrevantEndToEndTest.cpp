// The real program under Xvfb: what a musician sees, hears and finds on disk afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "AppRun.h"
#include "ClickTrack.h"
#include "Desk.h"
#include "WindowSizes.h"

namespace e2e {
namespace {

constexpr int kMainLeft = Desk::kScreenWidth / 2 - 194, kMainTop = Desk::kScreenHeight / 2 - 152;

bool near(const Rgb& c, int r, int g, int b, int tolerance = 6) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance &&
           std::abs(c.b - b) <= tolerance;
}

// The distances between successive click starts, in samples.
std::vector<long> intervalsOf(const std::vector<Click>& clicks) {
    std::vector<long> gaps;
    for (size_t i = 1; i < clicks.size(); ++i) gaps.push_back(clicks[i].start - clicks[i - 1].start);
    return gaps;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!desk.running()) GTEST_SKIP() << "Xvfb is not available";
        if (!haveProgram("xdotool") || !haveProgram("import") || !haveProgram("xwininfo"))
            GTEST_SKIP() << "xdotool, ImageMagick or xwininfo is missing";
    }

    // Starts the program and waits until the splash has gone and the main window shows.
    void startToMainWindow(bool withSound = true) {
        ASSERT_TRUE(app.start(desk, withSound));
        ASSERT_TRUE(desk.waitForWindow(kMainWidth, kMainHeight, 15000, &main))
            << app.readFile("output.log");
        // The controls are drawn right after the window is sized; give them a moment.
        pause(400);
        desk.focus(main);
    }

    // The client point (x, y) of the main window in screen coordinates.
    void clickMain(int x, int y) { desk.click(main.x + x, main.y + y); }

    void quitWithEscape() {
        desk.focus(main);
        desk.key("Escape");
        EXPECT_EQ(app.waitForExit(10000), 0) << app.readFile("output.log");
    }

    std::vector<Click> recordedClicks() {
        ClickTrack track;
        EXPECT_TRUE(track.load(app.audioPath()));
        return track.clicks();
    }

    Desk desk;
    AppRun app;
    WindowInfo main;
};

TEST_F(EndToEnd, SplashShowsCentredThenClosesByItselfAndTheLightMainWindowIsCentred) {
    ASSERT_TRUE(app.start(desk));
    WindowInfo splash;
    ASSERT_TRUE(desk.waitForWindow(kSplashWidth, kSplashHeight, 10000, &splash));
    EXPECT_EQ(splash.x, (Desk::kScreenWidth - kSplashWidth) / 2);
    EXPECT_EQ(splash.y, (Desk::kScreenHeight - kSplashHeight) / 2);
    auto shown = std::chrono::steady_clock::now();
    ASSERT_TRUE(desk.waitForNoWindow(kSplashWidth, kSplashHeight, 8000));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - shown).count();
    EXPECT_GT(seconds, 1.2);
    EXPECT_LT(seconds, 4.0);

    ASSERT_TRUE(desk.waitForWindow(kMainWidth, kMainHeight, 5000, &main));
    EXPECT_EQ(main.x, kMainLeft);
    EXPECT_EQ(main.y, kMainTop);
    pause(400);
    Shot shot = desk.screenshot();
    ASSERT_TRUE(shot.valid());
    // Between the dial frame and the faders lies plain window background: light grey.
    EXPECT_TRUE(near(shot.at(main.x + 240, main.y + 80), 0xE0, 0xE0, 0xE0));
    quitWithEscape();
    EXPECT_EQ(app.readFile("settings.cfg"), settingsFile());
}

// The splash waits while the pointer rests on its link, and goes once the pointer has left.
TEST_F(EndToEnd, APointerOnTheSplashLinkHoldsItUntilThePointerLeaves) {
    ASSERT_TRUE(app.start(desk));
    WindowInfo splash;
    ASSERT_TRUE(desk.waitForWindow(kSplashWidth, kSplashHeight, 10000, &splash));
    desk.pointTo(splash.x + 270, splash.y + 235);
    pause(3500);
    EXPECT_EQ(desk.windowsOfSize(kSplashWidth, kSplashHeight).size(), 1u)
        << "the splash went while the pointer was on its link";
    desk.pointTo(5, 5);
    EXPECT_TRUE(desk.waitForNoWindow(kSplashWidth, kSplashHeight, 8000))
        << "the splash stayed after the pointer left its link";
    ASSERT_TRUE(desk.waitForWindow(kMainWidth, kMainHeight, 5000, &main));
    quitWithEscape();
}

TEST_F(EndToEnd, SpaceStartsTheDefaultBarOnItsExactGridAndSpaceStopsIt) {
    startToMainWindow();
    desk.key("space");
    pause(4300);
    desk.key("space");
    pause(600);
    quitWithEscape();

    // 120 BPM: two clicks a second.
    std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 8u);
    for (long gap : intervalsOf(clicks)) EXPECT_EQ(gap, 22050);
    // The accented first beat (3400 Hz) crosses zero about twice as often as the others.
    for (size_t i = 0; i < clicks.size(); ++i) {
        bool accented = clicks[i].crossings > 22;
        EXPECT_EQ(accented, i % 4 == 0) << "click " << i << " crossings " << clicks[i].crossings;
    }
}

// Every interval between two clicks lies between the shortest and the longest beat played:
// no gap, no doubled click, however the changes fall.
void expectNoGapNorDoubledClick(const std::vector<Click>& clicks, long shortest, long longest) {
    for (long gap : intervalsOf(clicks)) {
        EXPECT_GE(gap, shortest - 1);
        EXPECT_LE(gap, longest + 1);
    }
}

TEST_F(EndToEnd, TempoKeysAndTheTempoFaderSwitchBarsWithoutGapOrDoubledClick) {
    startToMainWindow();
    desk.key("space");
    pause(1500);
    for (int i = 0; i < 10; ++i) desk.key("plus");  // 130 BPM
    pause(2500);
    // A click high on the Tempo fader's track makes the knob jump there: a faster tempo.
    clickMain(268 + 16, 54 + 40);
    pause(2500);
    desk.key("space");
    pause(300);
    quitWithEscape();

    std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 12u);
    expectNoGapNorDoubledClick(clicks, 11025, 22050);
    // In steady playing at 130 BPM the beats of the 81415-sample bar are 20353 or 20354 apart.
    std::vector<long> gaps = intervalsOf(clicks);
    int at130 = static_cast<int>(std::count_if(gaps.begin(), gaps.end(),
                                               [](long g) { return g == 20353 || g == 20354; }));
    EXPECT_GE(at130, 3);
    long lastGap = gaps.back();
    EXPECT_LT(lastGap, 20353) << "the fader did not raise the tempo";
    std::string settings = app.readFile("settings.cfg");
    EXPECT_EQ(settings.find("tempo=0.4\r\n"), std::string::npos);
}

TEST_F(EndToEnd, DigitKeysChangeTheBeatCountAndTheAccentFollows) {
    startToMainWindow();
    desk.key("space");
    pause(1200);
    desk.key("3");
    pause(4500);
    desk.key("space");
    pause(300);
    quitWithEscape();

    std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 10u);
    expectNoGapNorDoubledClick(clicks, 22050, 22050);
    // The last six clicks run in three-beat bars: accents three clicks apart.
    std::vector<size_t> accents;
    for (size_t i = clicks.size() - 7; i < clicks.size(); ++i)
        if (clicks[i].crossings > 22) accents.push_back(i);
    ASSERT_GE(accents.size(), 2u);
    for (size_t i = 1; i < accents.size(); ++i) EXPECT_EQ(accents[i] - accents[i - 1], 3u);
    EXPECT_NE(app.readFile("settings.cfg").find("beats=3\r\n"), std::string::npos);
}

// Whether any pixel of the dial is lit yellow (the sounding beat's marker).
bool dialHasLitMarker(const Shot& shot, const WindowInfo& main) {
    for (int y = 43; y < 43 + 189; ++y)
        for (int x = 20; x < 20 + 189; ++x) {
            Rgb c = shot.at(main.x + x, main.y + y);
            if (c.r > 170 && c.g > 170 && c.b < 110) return true;
        }
    return false;
}

TEST_F(EndToEnd, TheDialLightsTheSoundingBeatOnlyWhileRunning) {
    // Without fading the sounding beat's marker is fully lit for the first half of each beat,
    // so a screenshot at a random moment sees it half the time.
    std::string settings = settingsFile("0.4", "4", 0, true);
    settings.replace(settings.find("fadingBeats=true"), 16, "fadingBeats=false");
    app.writeFile("settings.cfg", settings);
    startToMainWindow();
    EXPECT_FALSE(dialHasLitMarker(desk.screenshot(), main));
    desk.key("space");
    pause(300);
    bool lit = false;
    for (int i = 0; i < 30 && !lit; ++i) {
        lit = dialHasLitMarker(desk.screenshot(), main);
        pause(70);
    }
    EXPECT_TRUE(lit);
    desk.key("space");
    pause(300);
    EXPECT_FALSE(dialHasLitMarker(desk.screenshot(), main));
    quitWithEscape();
}

enum class Quit { Escape, CloseButton, MenuExit, Terminate };

class QuittingPath : public EndToEnd, public ::testing::WithParamInterface<Quit> {};

TEST_P(QuittingPath, EndsWithStatusZeroAndWritesTheSettings) {
    app.writeFile("settings.cfg", settingsFile("0.5", "3", 1, true));
    startToMainWindow();
    desk.key("5");  // a change that must reach the file
    pause(200);
    switch (GetParam()) {
        case Quit::Escape: desk.key("Escape"); break;
        case Quit::CloseButton: clickMain(369, 13); break;
        case Quit::MenuExit:
            clickMain(19, 13);
            pause(700);
            // The menu opens below the grip, at client (10, 23); "Exit" is its ninth row.
            desk.click(main.x + 10 + 30, main.y + 23 + 8 * 20 + 10);
            break;
        case Quit::Terminate: app.sendSignal(SIGTERM); break;
    }
    EXPECT_EQ(app.waitForExit(10000), 0) << app.readFile("output.log");
    EXPECT_EQ(app.readFile("settings.cfg"), settingsFile("0.5", "5", 1, true));
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, QuittingPath,
                         ::testing::Values(Quit::Escape, Quit::CloseButton, Quit::MenuExit,
                                           Quit::Terminate));

TEST_F(EndToEnd, ASettingsFileWrittenBeforehandIsHonoured) {
    // Dark model, three beats, the second sound, and a tempo written with a decimal comma.
    app.writeFile("settings.cfg", settingsFile("0,5", "3", 1, false));
    startToMainWindow();
    // A loaded machine may take a moment to draw the window: look a few times.
    bool darkShown = false;
    for (int i = 0; i < 20 && !darkShown; ++i, pause(150))
        darkShown = near(desk.screenshot().at(main.x + 240, main.y + 80), 0x50, 0x50, 0x50);
    EXPECT_TRUE(darkShown);
    desk.key("space");
    pause(3000);
    desk.key("space");
    pause(300);
    quitWithEscape();

    // 140 BPM in three beats: a 56700-sample bar of 18900-sample beats.
    std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 6u);
    for (long gap : intervalsOf(clicks)) EXPECT_EQ(gap, 18900);
    int loudest = 0;
    for (const Click& c : clicks) loudest = std::max(loudest, c.crossings);
    for (size_t i = 0; i < clicks.size(); ++i)
        EXPECT_EQ(clicks[i].crossings * 3 > loudest * 2, i % 3 == 0) << "click " << i;
    EXPECT_EQ(app.readFile("settings.cfg"), settingsFile("0.5", "3", 1, false));
}

enum class Damage { MissingSamples, DamagedSamples, DamagedSettings, NoSoundDevice };

class DamagedSurroundings : public EndToEnd, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedSurroundings, StillGiveAWorkingWindowAndACleanExit) {
    const char* samples[] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};
    std::string garbage = "RIFF\xff\xff\xff\x7fWAVEdata\xff\xff\xff\x7f\x01\x02";
    switch (GetParam()) {
        case Damage::MissingSamples:
            for (const char* s : samples) app.removeFile(s);
            app.writeFile("settings.cfg", settingsFile("0.4", "4", 2, true));
            break;
        case Damage::DamagedSamples:
            for (const char* s : samples) app.writeFile(s, garbage);
            app.writeFile("settings.cfg", settingsFile("0.4", "4", 3, true));
            break;
        case Damage::DamagedSettings:
            app.writeFile("settings.cfg", std::string("<Orvelle Settings>\r\ntempo=\xff") +
                                              std::string(1, '\0') +
                                              "zz\r\nbeats=999999999999\r\n\x01\x02");
            break;
        case Damage::NoSoundDevice: break;
    }
    startToMainWindow(GetParam() != Damage::NoSoundDevice);
    desk.key("space");
    pause(800);
    desk.key("plus");
    desk.key("7");
    pause(800);
    desk.key("space");
    EXPECT_TRUE(app.alive());
    quitWithEscape();
    EXPECT_EQ(app.readFile("settings.cfg").rfind("<Orvelle Settings>\r\n", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(BadInput, DamagedSurroundings,
                         ::testing::Values(Damage::MissingSamples, Damage::DamagedSamples,
                                           Damage::DamagedSettings, Damage::NoSoundDevice));

// The recorded clicks from the first on, as offsets from it.
std::vector<long> offsetsOf(const std::vector<Click>& clicks) {
    std::vector<long> offsets;
    for (const Click& c : clicks) offsets.push_back(c.start - clicks.front().start);
    return offsets;
}

// Three beats at 120 BPM in eighths, the second beat silent: its pulse is missing and the
// pulse after it still sounds, every other one on its exact sample, beats loud and pulses soft.
TEST_F(EndToEnd, APracticePatternFromTheSettingsFileIsPlayedToTheSample) {
    const std::string settings = withSetting(settingsFile("0.4", "3"), "subdivision", "2");
    app.writeFile("settings.cfg", withSetting(settings, "accents", "3/32/302"));
    startToMainWindow();
    desk.key("space");
    pause(4500);
    desk.key("space");
    pause(300);
    quitWithEscape();

    std::vector<long> expected;
    for (long start : pulseStarts({120, 120, 120}, 3, 2))
        if ((start % 66150) != 22050) expected.push_back(start);
    const std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 10u);
    const std::vector<long> offsets = offsetsOf(clicks);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(offsets[i], expected[i]) << "click " << i;
        const bool beat = expected[i] % 22050 == 0;
        EXPECT_EQ(clicks[i].peak * 2 < clicks[0].peak, !beat) << "click " << i;
    }
}

// Two real clicks on the second beat's marker make it soft, then silent: the bar plays without
// it, and the pattern is saved.
TEST_F(EndToEnd, ClicksOnABeatsMarkerCycleItsLevelAndTheBarFollows) {
    startToMainWindow();
    for (int i = 0; i < 2; ++i) {
        clickMain(20 + 164, 43 + 94);
        pause(200);
    }
    desk.key("space");
    pause(4000);
    desk.key("space");
    pause(300);
    quitWithEscape();

    const std::vector<long> offsets = offsetsOf(recordedClicks());
    const std::vector<long> expected = {0, 44100, 66150, 88200, 132300, 154350};
    ASSERT_GE(offsets.size(), 4u);
    for (size_t i = 0; i < expected.size() && i < offsets.size(); ++i)
        EXPECT_EQ(offsets[i], expected[i]) << "click " << i;
    EXPECT_NE(app.readFile("settings.cfg").find("accents=3/32/322/3022/"), std::string::npos);
}

// The Practice window, opened from the menu: the trainer switched on and its bars stepped down
// to one; it then climbs by 5 BPM every bar from 120, which the intervals and the saved tempo
// show.
TEST_F(EndToEnd, ThePracticeWindowSetsTheTrainerAndItClimbs) {
    app.writeFile("settings.cfg", settingsFile("0.4", "1"));
    startToMainWindow();
    clickMain(19, 13);
    pause(700);
    desk.click(main.x + 10 + 30, main.y + 23 + 2 * 20 + 10);  // "Practice..."
    WindowInfo practice;
    ASSERT_TRUE(desk.waitForWindow(300, 316, 5000, &practice));
    pause(400);
    desk.click(practice.x + 250, practice.y + 42 + 28 + 10);  // the trainer
    for (int i = 0; i < 3; ++i) {
        desk.click(practice.x + 237, practice.y + 42 + 3 * 28 + 10);  // fewer bars
        pause(100);
    }
    desk.focus(main);
    desk.key("space");
    pause(3000);
    desk.focus(main);
    desk.key("space");
    pause(300);
    quitWithEscape();

    const std::vector<long> offsets = offsetsOf(recordedClicks());
    ASSERT_GE(offsets.size(), 6u);
    const std::vector<long> expected = pulseStarts({120, 125, 130, 135, 140, 145}, 1, 1);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(offsets[i], expected[i]) << "click " << i;
    const std::string saved = app.readFile("settings.cfg");
    EXPECT_NE(saved.find("trainer=true\r\ntrainerStep=5\r\ntrainerBars=1\r\n"),
              std::string::npos)
        << saved;
    EXPECT_EQ(saved.find("tempo=0.4\r\n"), std::string::npos) << "the tempo climbed";
}

}  // namespace
}  // namespace e2e
