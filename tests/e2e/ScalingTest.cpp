// The real program on a dense screen: every window twice its size in blocks of the designed
// pixels, input at the scaled places, the scale's sources, and the wheel on the faders.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sstream>
#include <string>
#include <vector>

#include "AppRun.h"
#include "ClickTrack.h"
#include "Desk.h"
#include "WindowSizes.h"

namespace e2e {
namespace {

constexpr int kScreenWidth = 2560, kScreenHeight = 2048;

std::string settingValue(const std::string& settings, const std::string& name) {
    const size_t at = settings.find("\n" + name + "=");
    if (at == std::string::npos) return "";
    const size_t start = at + name.size() + 2;
    return settings.substr(start, settings.find('\r', start) - start);
}

// The lines of the program's output that contain the text.
std::vector<std::string> linesWith(const std::string& output, const std::string& text) {
    std::vector<std::string> found;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
}

std::vector<long> intervalsOf(const std::vector<Click>& clicks) {
    std::vector<long> gaps;
    for (size_t i = 1; i < clicks.size(); ++i)
        gaps.push_back(clicks[i].start - clicks[i - 1].start);
    return gaps;
}

class Scaling : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!desk.running()) GTEST_SKIP() << "Xvfb is not available";
        if (!haveProgram("xdotool") || !haveProgram("import") || !haveProgram("xwininfo"))
            GTEST_SKIP() << "xdotool, ImageMagick or xwininfo is missing";
    }

    // Starts the program and waits for its main window of the given scale, then for its
    // controls to be drawn.
    void startToMainWindow(AppRun& run, int scale, WindowInfo& found) {
        ASSERT_TRUE(run.start(desk));
        ASSERT_TRUE(desk.waitForWindow(kMainWidth * scale, kMainHeight * scale, 15000, &found))
            << run.readFile("output.log");
        pause(600);
        desk.focus(found);
    }

    void quit(AppRun& run, const WindowInfo& window) {
        desk.focus(window);
        desk.key("Escape");
        EXPECT_EQ(run.waitForExit(10000), 0) << run.readFile("output.log");
    }

    Desk desk{kScreenWidth, kScreenHeight};
};

// Pixels of the window at twice the size that differ from the designed pixel they stand for.
int blocksThatDiffer(const Shot& big, const WindowInfo& at2, const Shot& small,
                     const WindowInfo& at1, std::string& first) {
    int differ = 0;
    for (int y = 0; y < at2.height; ++y)
        for (int x = 0; x < at2.width; ++x) {
            const Rgb a = big.at(at2.x + x, at2.y + y);
            const Rgb b = small.at(at1.x + x / 2, at1.y + y / 2);
            if (a.r == b.r && a.g == b.g && a.b == b.b) continue;
            if (differ++ == 0)
                first = std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(a.r) +
                        " " + std::to_string(a.g) + " " + std::to_string(a.b) + " instead of " +
                        std::to_string(b.r) + " " + std::to_string(b.g) + " " + std::to_string(b.b);
        }
    return differ;
}

TEST_F(Scaling, AtGdkScaleTwoEveryWindowIsTwiceItsSizeInBlocksAndTakesInputAtTwiceItsPlaces) {
    // The designed picture first, at scale 1 on the same screen.
    AppRun designed;
    designed.writeFile("settings.cfg", settingsFile());
    WindowInfo main1;
    startToMainWindow(designed, 1, main1);
    EXPECT_EQ(main1.x, kScreenWidth / 2 - 194);
    const Shot small = desk.screenshot();
    quit(designed, main1);

    AppRun app;
    app.writeFile("settings.cfg", settingsFile());
    app.extraEnv = {"GDK_SCALE=2"};
    ASSERT_TRUE(app.start(desk));
    WindowInfo splash;
    ASSERT_TRUE(desk.waitForWindow(2 * kSplashWidth, 2 * kSplashHeight, 15000, &splash));
    EXPECT_EQ(splash.x, (kScreenWidth - 2 * kSplashWidth) / 2);
    EXPECT_EQ(splash.y, (kScreenHeight - 2 * kSplashHeight) / 2);
    WindowInfo main2;
    ASSERT_TRUE(desk.waitForWindow(2 * kMainWidth, 2 * kMainHeight, 15000, &main2));
    // Centred on the screen of designed pixels (1280 x 1024), at twice that place.
    EXPECT_EQ(main2.x, 2 * (kScreenWidth / 4 - 194));
    EXPECT_EQ(main2.y, 2 * (kScreenHeight / 4 - 152));
    pause(600);
    desk.focus(main2);
    // A loaded machine may still be drawing: look again a few times.
    std::string first;
    int differ = -1;
    for (int look = 0; look < 10 && differ != 0; ++look, pause(200))
        differ = blocksThatDiffer(desk.screenshot(), main2, small, main1, first);
    EXPECT_EQ(differ, 0) << "first at " << first;

    // The "+" button's designed centre (242, 126) at twice its place: one beat per minute more.
    desk.click(main2.x + 2 * 242, main2.y + 2 * 126);
    pause(300);
    // The grip's designed centre (19, 13): the menu opens under the grip, at designed (10, 23).
    desk.click(main2.x + 2 * 19, main2.y + 2 * 13);
    WindowInfo menu;
    ASSERT_TRUE(desk.waitForWindow(2 * kMenuWidth, 2 * kMenuHeight, 5000, &menu));
    EXPECT_EQ(menu.x, main2.x + 2 * 10);
    EXPECT_EQ(menu.y, main2.y + 2 * 23);
    // "About..." is the sixth entry, 20 designed pixels a row.
    desk.click(menu.x + 2 * 30, menu.y + 2 * (5 * 20 + 10));
    WindowInfo about;
    ASSERT_TRUE(desk.waitForWindow(2 * kSplashWidth, 2 * kSplashHeight, 5000, &about));
    desk.click(about.x + 2 * 40, about.y + 2 * 40);  // a click anywhere closes it
    ASSERT_TRUE(desk.waitForNoWindow(2 * kSplashWidth, 2 * kSplashHeight, 5000));
    quit(app, main2);
    EXPECT_EQ(settingValue(app.readFile("settings.cfg"), "tempo"), "0.405");
}

// Each case: the program's arguments and environment, the scale it must take, and the value the
// one warning names (empty: no warning).
struct SourceCase {
    std::vector<std::string> args, env;
    int scale;
    std::string ignored;
};

TEST_F(Scaling, TheOptionOverridesTheDesktopAndAnUnusableValueFallsBackWithOneLine) {
    const SourceCase cases[] = {
        {{"--scale", "3"}, {"GDK_SCALE=2"}, 3, ""},
        {{"--scale", "0"}, {"GDK_SCALE=2"}, 2, "--scale \"0\""},
        {{"--scale=x"}, {"BREVANT_SCALE=1", "GDK_SCALE=2"}, 1, "--scale \"x\""},
        {{}, {"BREVANT_SCALE=5", "GDK_SCALE=2"}, 2, "BREVANT_SCALE \"5\""},
    };
    for (const SourceCase& c : cases) {
        AppRun run;
        run.arguments = c.args;
        run.extraEnv = c.env;
        ASSERT_TRUE(run.start(desk));
        EXPECT_TRUE(desk.waitForWindow(c.scale * kSplashWidth, c.scale * kSplashHeight, 15000))
            << c.env.back() << " " << c.scale;
        run.sendSignal(SIGTERM);
        EXPECT_EQ(run.waitForExit(10000), 0);
        const std::vector<std::string> warnings = linesWith(run.readFile("output.log"), "ignoring");
        if (c.ignored.empty()) {
            EXPECT_TRUE(warnings.empty()) << warnings.front();
            continue;
        }
        ASSERT_EQ(warnings.size(), 1u) << run.readFile("output.log");
        EXPECT_EQ(warnings[0], "brevant: ignoring " + c.ignored +
                                   ": the scale must be a whole number from 1 to 4");
    }
}

// Five steps up over the Tempo fader while it plays: 120 to 125 beats per minute, each step a bar
// switch of its own, with no gap and no doubled click; the wheel over the dial changes nothing.
TEST_F(Scaling, TheWheelStepsTheRunningTempoByOneBeatPerMinuteOnlyOverTheTempoFader) {
    AppRun app;
    app.writeFile("settings.cfg", settingsFile());
    app.extraEnv = {"GDK_SCALE=2"};
    WindowInfo main;
    startToMainWindow(app, 2, main);
    desk.key("space");
    pause(1500);
    const int faderX = main.x + 2 * 284, faderY = main.y + 2 * 130;
    desk.run("xdotool mousemove " + std::to_string(faderX) + " " + std::to_string(faderY));
    pause(150);
    desk.run("xdotool click --repeat 5 --delay 60 4");
    pause(2500);
    const int dialX = main.x + 2 * 114, dialY = main.y + 2 * 137;
    desk.run("xdotool mousemove " + std::to_string(dialX) + " " + std::to_string(dialY));
    pause(150);
    desk.run("xdotool click --repeat 4 --delay 60 4 click --repeat 3 --delay 60 5");
    pause(2500);
    desk.key("space");
    pause(300);
    quit(app, main);

    EXPECT_EQ(settingValue(app.readFile("settings.cfg"), "tempo"), "0.425");
    ClickTrack track;
    ASSERT_TRUE(track.load(app.audioPath()));
    const std::vector<long> gaps = intervalsOf(track.clicks());
    ASSERT_GE(gaps.size(), 12u);
    // 125 BPM is 21168 samples a beat, 120 BPM 22050.
    for (long gap : gaps) {
        EXPECT_GE(gap, 21168 - 1);
        EXPECT_LE(gap, 22050 + 1);
    }
    EXPECT_EQ(gaps.front(), 22050);
    // From the first beat at the new tempo to the end, through the wheel over the dial.
    const auto at125 = std::find(gaps.begin(), gaps.end(), 21168);
    ASSERT_NE(at125, gaps.end());
    EXPECT_GE(gaps.end() - at125, 8);
    for (auto gap = at125; gap != gaps.end(); ++gap)
        EXPECT_EQ(*gap, 21168);
}

}  // namespace
}  // namespace e2e
