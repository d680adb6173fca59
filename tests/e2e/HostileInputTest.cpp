// The real program against what a hostile desk can do: signals in every state, a display that
// goes away, settings files that are huge, out of range or no files at all.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <string>
#include <tuple>

#include <sys/stat.h>

#include "AppRun.h"
#include "Desk.h"
#include "WindowSizes.h"

namespace e2e {
namespace {


// A file the program reads but would never write in this form: a written file has every key.
const char* const kHandWritten = "<Orvelle Settings>\r\nbeats=5\r\n</Orvelle Settings>\r\n";

class HostileDesk : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!desk.running()) GTEST_SKIP() << "Xvfb is not available";
        if (!haveProgram("xdotool") || !haveProgram("xwininfo"))
            GTEST_SKIP() << "xdotool or xwininfo is missing";
    }

    void startToMainWindow() {
        ASSERT_TRUE(app.start(desk));
        ASSERT_TRUE(desk.waitForWindow(kMainWidth, kMainHeight, 15000, &main))
            << app.readFile("output.log");
        pause(400);  // the controls are drawn right after the window is sized
        desk.focus(main);
    }
    void clickMain(int x, int y) { desk.click(main.x + x, main.y + y); }
    // Opens the menu from the grip; it opens below the grip at client (10, 23), 20 pixels a row.
    // A loaded machine may lose a click as a hand sometimes does: then it clicks again.
    bool openMenu() {
        for (int attempt = 0; attempt < 3; ++attempt) {
            clickMain(19, 13);
            if (desk.waitForWindow(kMenuWidth, kMenuHeight, 5000)) return true;
        }
        return false;
    }
    // Chooses a row of the menu and waits for the window it opens.
    bool chooseMenuRow(int row, int width, int height) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (desk.windowsOfSize(kMenuWidth, kMenuHeight).empty() && !openMenu()) return false;
            clickMain(10 + 30, 23 + row * 20 + 10);
            if (desk.waitForWindow(width, height, 5000)) return true;
        }
        return false;
    }

    Desk desk;
    AppRun app;
    WindowInfo main;
};

enum class State { Splash, Main, Menu, Dialog, About };

class QuitSignal : public HostileDesk,
                   public ::testing::WithParamInterface<std::tuple<State, int>> {};

// Whatever is open, a quit signal ends the program through its close path: status 0, and the
// settings written, with the change made before it.
TEST_P(QuitSignal, EndsTheProgramWithStatusZeroAndWritesTheSettings) {
    const auto [state, signal] = GetParam();
    app.writeFile("settings.cfg", kHandWritten);
    std::string beats = "5";
    if (state == State::Splash) {
        ASSERT_TRUE(app.start(desk));
        ASSERT_TRUE(desk.waitForWindow(kSplashWidth, kSplashHeight, 15000));
    } else {
        startToMainWindow();
        desk.key("3");
        beats = "3";
        pause(200);
    }
    bool opened = true;
    if (state == State::Menu) opened = openMenu();
    if (state == State::Dialog) opened = chooseMenuRow(3, kHotKeysWidth, kHotKeysHeight);  // Hot Keys
    if (state == State::About) opened = chooseMenuRow(5, kSplashWidth, kSplashHeight);     // About...
    ASSERT_TRUE(opened) << app.readFile("output.log");
    app.sendSignal(signal);
    EXPECT_EQ(app.waitForExit(10000), 0) << app.readFile("output.log");
    EXPECT_EQ(app.readFile("settings.cfg"), settingsFile("0.4", beats));
}

std::string nameOf(const ::testing::TestParamInfo<std::tuple<State, int>>& info) {
    static const char* const states[] = {"Splash", "Main", "Menu", "Dialog", "About"};
    const int signal = std::get<1>(info.param);
    const char* name = signal == SIGTERM ? "Term" : signal == SIGINT ? "Int" : "Hup";
    return std::string(states[static_cast<int>(std::get<0>(info.param))]) + name;
}

INSTANTIATE_TEST_SUITE_P(EveryState, QuitSignal,
                         ::testing::Combine(::testing::Values(State::Splash, State::Main,
                                                              State::Menu, State::Dialog,
                                                              State::About),
                                            ::testing::Values(SIGTERM, SIGINT, SIGHUP)),
                         nameOf);

// Without a display nothing can be closed the normal way; the settings are written all the
// same before the process ends, with status 1.
TEST_F(HostileDesk, LosingTheDisplayWritesTheSettingsAndEndsWithStatusOne) {
    startToMainWindow();
    desk.key("3");
    desk.key("plus");
    pause(300);
    desk.stop();
    EXPECT_EQ(app.waitForExit(10000), 1) << app.readFile("output.log");
    EXPECT_EQ(app.readFile("settings.cfg"), settingsFile("0.405", "3"));
}

// A count far out of range gives the dial its nearest count, the keys work, and the program ends
// cleanly; the file keeps the count it held, since the user never changed it.
TEST_F(HostileDesk, AHugeBeatCountGivesAWorkingWindowAndACleanExit) {
    app.writeFile("settings.cfg", settingsFile("0.4", "2147482647"));
    startToMainWindow();
    desk.key("plus");
    pause(500);
    EXPECT_TRUE(app.alive());
    desk.key("Escape");
    EXPECT_EQ(app.waitForExit(10000), 0) << app.readFile("output.log");
    EXPECT_EQ(app.readFile("settings.cfg"), settingsFile("0.405", "2147482647"));
}

// A FIFO named settings.cfg would block a plain open for ever. It is no settings file: the
// program runs on defaults, says so, and leaves it a FIFO.
TEST_F(HostileDesk, ASettingsFifoIsNeitherWaitedForNorReplaced) {
    const std::string fifo = app.settingsPath();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    startToMainWindow();
    desk.key("Escape");
    EXPECT_EQ(app.waitForExit(10000), 0);
    struct stat info {};
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_NE(app.readFile("output.log").find("not a regular file"), std::string::npos);
}

}  // namespace
}  // namespace e2e
