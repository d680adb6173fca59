// The real program on a desktop with a window manager (openbox): drags with warped pointers,
// the menu and dialogs among other programs' windows, names, icons and types, small screens.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "AppRun.h"
#include "ClickTrack.h"
#include "Desk.h"
#include "WindowSizes.h"

extern char** environ;

namespace e2e {
namespace {


// One of the program's windows as the X server and the window manager see it.
struct AppWindow {
    std::string id;
    bool viewable = false;
    int x = 0, y = 0, width = 0, height = 0;
    std::string type;  // _NET_WM_WINDOW_TYPE without its prefix: NORMAL, SPLASH, ...
};

int numberAfter(const std::string& text, const std::string& label) {
    size_t at = text.find(label);
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + label.size());
}

// xdotool names windows in decimal, xprop and xwininfo in hexadecimal.
std::string hexId(const std::string& decimal) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", std::strtoul(decimal.c_str(), nullptr, 10));
    return text;
}

// Starts a program on the desk in the background; its output goes nowhere.
pid_t spawnOnDesk(const Desk& desk, const std::vector<std::string>& args) {
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "DISPLAY=" + desk.display(),
                                    "HOME=/tmp"};
    std::vector<char*> envp, argv;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> copy = args;
    for (std::string& arg : copy) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

class WindowManager : public ::testing::Test {
protected:
    explicit WindowManager(int width = Desk::kScreenWidth, int height = Desk::kScreenHeight)
        : desk(width, height) {}

    void SetUp() override {
        if (!desk.running()) GTEST_SKIP() << "Xvfb is not available";
        if (!haveProgram("openbox") || !haveProgram("xdotool") || !haveProgram("xprop") ||
            !haveProgram("xmessage") || !haveProgram("import"))
            GTEST_SKIP() << "openbox, xdotool, x11-utils or ImageMagick is missing";
        openbox = spawnOnDesk(desk, {"openbox", "--sm-disable"});
        ASSERT_GT(openbox, 0);
        // The window manager is ready once it has announced itself on the root window.
        bool ready = false;
        for (int i = 0; i < 200 && !ready; ++i, pause(50)) {
            std::string out;
            desk.run("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null", &out);
            ready = out.find("window id") != std::string::npos;
        }
        ASSERT_TRUE(ready) << "openbox did not start";
    }

    void TearDown() override {
        if (app.alive()) app.sendSignal(SIGKILL);
        stop(other);
        stop(openbox);
    }

    std::vector<AppWindow> appWindows() const {
        std::string ids;
        desk.run("xdotool search --pid " + std::to_string(app.pid()) + " 2>/dev/null", &ids);
        std::vector<AppWindow> found;
        std::istringstream lines(ids);
        std::string id;
        while (lines >> id) {
            AppWindow w;
            w.id = hexId(id);
            std::string info, type;
            desk.run("xwininfo -id " + id + " 2>/dev/null", &info);
            w.viewable = info.find("IsViewable") != std::string::npos;
            w.x = numberAfter(info, "Absolute upper-left X:");
            w.y = numberAfter(info, "Absolute upper-left Y:");
            w.width = numberAfter(info, "Width:");
            w.height = numberAfter(info, "Height:");
            desk.run("xprop -id " + id + " _NET_WM_WINDOW_TYPE 2>/dev/null", &type);
            const std::string prefix = "_NET_WM_WINDOW_TYPE_";
            size_t at = type.find(prefix);
            if (at != std::string::npos) w.type = type.substr(at + prefix.size());
            while (!w.type.empty() && std::isspace(static_cast<unsigned char>(w.type.back())))
                w.type.pop_back();
            found.push_back(w);
        }
        return found;
    }

    // Waits for a viewable window of the program of that size (or the time runs out).
    bool waitForAppWindow(int width, int height, AppWindow* found = nullptr, int timeoutMs = 15000) {
        for (int waited = 0; waited <= timeoutMs; waited += 100, pause(100))
            for (const AppWindow& w : appWindows())
                if (w.viewable && w.width == width && w.height == height) {
                    if (found) *found = w;
                    return true;
                }
        return false;
    }

    bool waitUntilGone(int width, int height, int timeoutMs = 5000) {
        for (int waited = 0; waited <= timeoutMs; waited += 100, pause(100)) {
            bool seen = false;
            for (const AppWindow& w : appWindows())
                seen = seen || (w.viewable && w.width == width && w.height == height);
            if (!seen) return true;
        }
        return false;
    }

    void startToMainWindow() {
        ASSERT_TRUE(app.start(desk));
        ASSERT_TRUE(waitForAppWindow(kMainWidth, kMainHeight, &main)) << app.readFile("output.log");
        pause(400);
    }

    std::string xprop(const std::string& id, const std::string& property) const {
        std::string out;
        desk.run("xprop -id " + id + " " + property + " 2>/dev/null", &out);
        return out;
    }

    // Pointer moves as xdotool warps them: no raw input reaches the program, only the events.
    void moveTo(int x, int y) const {
        desk.run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
        pause(150);
    }
    void press() const {
        desk.run("xdotool mousedown 1");
        pause(150);
    }
    void release() const {
        desk.run("xdotool mouseup 1");
        pause(150);
    }
    // Drags from (x, y) by (dx, dy) in four steps.
    void drag(int x, int y, int dx, int dy) const {
        moveTo(x, y);
        press();
        for (int step = 1; step <= 4; ++step) moveTo(x + dx * step / 4, y + dy * step / 4);
        release();
    }

    void openMenu() {
        desk.click(main.x + 19, main.y + 13);
        ASSERT_TRUE(waitForAppWindow(kMenuWidth, kMenuHeight, &menu, 5000));
    }

    void focusMain() const {
        desk.run("xdotool mousemove " + std::to_string(main.x + kMainWidth / 2) + " " +
                 std::to_string(main.y + 10) + " windowactivate --sync " + main.id +
                 " 2>/dev/null");
        pause(200);
    }

    void quitWithEscape() {
        focusMain();
        desk.key("Escape");
        EXPECT_EQ(app.waitForExit(10000), 0) << app.readFile("output.log");
    }

    Desk desk;
    AppRun app;
    pid_t openbox = -1;
    pid_t other = -1;
    AppWindow main, menu;
};

bool near(const Rgb& c, int r, int g, int b) {
    return std::abs(c.r - r) <= 6 && std::abs(c.g - g) <= 6 && std::abs(c.b - b) <= 6;
}

TEST_F(WindowManager, WindowsCarryTheTitleTheIconAndTheTypesADesktopExpects) {
    ASSERT_TRUE(app.start(desk));
    AppWindow splash;
    ASSERT_TRUE(waitForAppWindow(kSplashWidth, kSplashHeight, &splash));
    // Its state first: the window manager drops it when the splash goes, two seconds after it
    // came, and on a loaded machine the look at every window below took longer than that.
    EXPECT_NE(xprop(splash.id, "_NET_WM_STATE").find("SKIP_TASKBAR"), std::string::npos);
    // While the splash shows, the main window has not been mapped yet, not even at 1 x 1. The
    // look is judged only if the splash was still there after it.
    std::string mappedBesideIt;
    for (const AppWindow& w : appWindows())
        if (w.viewable && w.id != splash.id)
            mappedBesideIt += w.id + " " + std::to_string(w.width) + "x" +
                              std::to_string(w.height) + " ";
    if (waitForAppWindow(kSplashWidth, kSplashHeight, nullptr, 0)) {
        EXPECT_EQ(mappedBesideIt, "");
    }
    EXPECT_EQ(splash.type, "SPLASH");

    ASSERT_TRUE(waitForAppWindow(kMainWidth, kMainHeight, &main));
    EXPECT_EQ(main.type, "NORMAL");
    EXPECT_NE(xprop(main.id, "WM_NAME").find("\"Brevant\""), std::string::npos);
    EXPECT_NE(xprop(main.id, "_NET_WM_ICON").find("Icon (64 x 64)"), std::string::npos);
    EXPECT_EQ(xprop(main.id, "_NET_WM_STATE").find("SKIP_TASKBAR"), std::string::npos);
    // The window manager's list of windows for its task bar names the main window alone.
    std::string clients;
    desk.run("xprop -root _NET_CLIENT_LIST", &clients);
    EXPECT_NE(clients.find(main.id), std::string::npos);
    EXPECT_EQ(clients.find(splash.id), std::string::npos);

    pause(400);
    openMenu();
    EXPECT_EQ(menu.type, "POPUP_MENU");
    EXPECT_NE(xprop(menu.id, "_NET_WM_ICON").find("Icon (64 x 64)"), std::string::npos);
    desk.key("Escape");
    ASSERT_TRUE(waitUntilGone(kMenuWidth, kMenuHeight));

    openMenu();
    desk.click(menu.x + 40, menu.y + 3 * 20 + 10);  // "Hot Keys..."
    AppWindow dialog;
    bool shown = false;
    for (int i = 0; i < 50 && !shown; ++i, pause(100))
        for (const AppWindow& w : appWindows())
            if (w.viewable && w.type == "DIALOG") dialog = w, shown = true;
    ASSERT_TRUE(shown);
    EXPECT_NE(xprop(dialog.id, "WM_TRANSIENT_FOR").find(main.id), std::string::npos);
    const std::string state = xprop(dialog.id, "_NET_WM_STATE");
    EXPECT_NE(state.find("MODAL"), std::string::npos);
    EXPECT_NE(state.find("SKIP_TASKBAR"), std::string::npos);
    EXPECT_NE(xprop(dialog.id, "_NET_WM_ICON").find("Icon (64 x 64)"), std::string::npos);
    desk.key("Escape");
    pause(300);
    quitWithEscape();
}

TEST_F(WindowManager, WarpedPointerDragsMoveTheWindowAndTheTempoKnobExactly) {
    startToMainWindow();
    const int left = main.x, top = main.y;
    drag(left + 200, top + 15, 60, 40);
    AppWindow moved;
    ASSERT_TRUE(waitForAppWindow(kMainWidth, kMainHeight, &moved));
    EXPECT_EQ(moved.x, left + 60);
    EXPECT_EQ(moved.y, top + 40);

    // The knob jumps to a press on the track, then follows the drag down past the track's
    // end: the slowest tempo. A knob that kept the press position would leave a middle tempo.
    drag(moved.x + 268 + 16, moved.y + 54 + 40, 0, 150);
    quitWithEscape();
    EXPECT_NE(app.readFile("settings.cfg").find("tempo=0\r\n"), std::string::npos)
        << app.readFile("settings.cfg");
}

TEST_F(WindowManager, MenuLightsTheEntryUnderAWarpedPointerAndKeepsItLit) {
    startToMainWindow();
    openMenu();
    // The third entry, "Practice...": its highlight is RGB(132, 132, 191).
    moveTo(menu.x + 60, menu.y + 2 * 20 + 8);
    moveTo(menu.x + 62, menu.y + 2 * 20 + 10);
    pause(300);  // longer than the menu's 50 ms check of whether the pointer has left
    Shot shot = desk.screenshot();
    EXPECT_TRUE(near(shot.at(menu.x + 120, menu.y + 2 * 20 + 4), 132, 132, 191));
    EXPECT_FALSE(near(shot.at(menu.x + 120, menu.y + 1 * 20 + 4), 132, 132, 191));
    // Moved off the menu, the entry goes dark again.
    moveTo(menu.x + kMenuWidth + 40, menu.y + 2 * 20 + 10);
    pause(300);
    shot = desk.screenshot();
    EXPECT_FALSE(near(shot.at(menu.x + 120, menu.y + 2 * 20 + 4), 132, 132, 191));
    desk.key("Escape");
    quitWithEscape();
}

TEST_F(WindowManager, MenuClosesOnAPressOnAnotherProgramAndOnASwitchToIt) {
    other = spawnOnDesk(desk, {"xmessage", "-geometry", "+40+40", "another program"});
    ASSERT_GT(other, 0);
    startToMainWindow();

    openMenu();
    desk.click(80, 60);
    EXPECT_TRUE(waitUntilGone(kMenuWidth, kMenuHeight));
    EXPECT_TRUE(app.alive());

    std::string xmessageId;
    desk.run("xdotool search --classname xmessage 2>/dev/null | head -1", &xmessageId);
    ASSERT_FALSE(xmessageId.empty());
    openMenu();
    desk.run("xdotool windowactivate " + xmessageId);
    EXPECT_TRUE(waitUntilGone(kMenuWidth, kMenuHeight));
    EXPECT_TRUE(app.alive());
    quitWithEscape();
}

TEST_F(WindowManager, DialogStaysAboveAndTakesBackAPressOnTheMainWindow) {
    startToMainWindow();
    openMenu();
    desk.click(menu.x + 40, menu.y + 3 * 20 + 10);  // "Hot Keys..."
    AppWindow dialog;
    bool shown = false;
    for (int i = 0; i < 50 && !shown; ++i, pause(100))
        for (const AppWindow& w : appWindows())
            if (w.viewable && w.type == "DIALOG") dialog = w, shown = true;
    ASSERT_TRUE(shown);

    // A press on the part of the main window below the dialog.
    ASSERT_LT(dialog.y + dialog.height, main.y + kMainHeight - 20);
    desk.click(main.x + 30, main.y + kMainHeight - 10);
    pause(500);
    std::string stacking, active;
    desk.run("xprop -root _NET_CLIENT_LIST_STACKING", &stacking);
    desk.run("xprop -root _NET_ACTIVE_WINDOW", &active);
    ASSERT_NE(stacking.find(main.id), std::string::npos);
    ASSERT_NE(stacking.find(dialog.id), std::string::npos);
    EXPECT_GT(stacking.find(dialog.id), stacking.find(main.id)) << stacking;
    EXPECT_NE(active.find(dialog.id), std::string::npos) << active;
    // Keys go to the dialog: Escape closes it and leaves the program running.
    desk.key("Escape");
    EXPECT_TRUE(waitUntilGone(dialog.width, dialog.height));
    EXPECT_TRUE(app.alive());
    quitWithEscape();
}

TEST_F(WindowManager, FirstClickAfterTheDialogsCloseBoxActs) {
    startToMainWindow();
    openMenu();
    desk.click(menu.x + 40, menu.y + 3 * 20 + 10);  // "Hot Keys..."
    AppWindow dialog;
    bool shown = false;
    for (int i = 0; i < 50 && !shown; ++i, pause(100))
        for (const AppWindow& w : appWindows())
            if (w.viewable && w.type == "DIALOG") dialog = w, shown = true;
    ASSERT_TRUE(shown);
    // A slow hand on the close box: the button comes up well after the press.
    moveTo(dialog.x + dialog.width - 20, dialog.y + 13);
    press();
    pause(400);
    release();
    ASSERT_TRUE(waitUntilGone(dialog.width, dialog.height));
    // The very next click, on Play, starts the metronome.
    desk.click(main.x + 300, main.y + 262);
    pause(1600);
    quitWithEscape();
    ClickTrack track;
    ASSERT_TRUE(track.load(app.audioPath()));
    EXPECT_GE(track.clicks().size(), 2u);
}

TEST_F(WindowManager, KeypadDigitsSetTheBeatsOnlyWithNumLockOn) {
    startToMainWindow();
    focusMain();
    // Keys are named by what they type with NumLock off, so that xdotool sends the physical
    // key as it is, without touching NumLock itself. With NumLock on, the keypad's 3 sets three
    // beats; with it off, the keypad's 1 is End and leaves them.
    desk.key("Num_Lock");
    pause(100);
    desk.key("KP_Next");
    pause(200);
    desk.key("Num_Lock");
    pause(100);
    desk.key("KP_End");
    pause(200);
    quitWithEscape();
    EXPECT_NE(app.readFile("settings.cfg").find("beats=3\r\n"), std::string::npos);
}

class SmallScreen : public WindowManager {
protected:
    SmallScreen() : WindowManager(320, 240) {}
};

TEST_F(SmallScreen, WindowsKeepTheirTopLeftCornerOnTheScreenAndTheMenuInside) {
    ASSERT_TRUE(app.start(desk));
    AppWindow splash;
    ASSERT_TRUE(waitForAppWindow(kSplashWidth, kSplashHeight, &splash));
    EXPECT_EQ(splash.x, 0);
    EXPECT_EQ(splash.y, 0);
    ASSERT_TRUE(waitForAppWindow(kMainWidth, kMainHeight, &main));
    EXPECT_EQ(main.x, 0);
    EXPECT_EQ(main.y, 0);
    pause(400);
    // The grip is on the screen and opens the menu, which lies wholly inside the screen.
    openMenu();
    EXPECT_GE(menu.x, 0);
    EXPECT_GE(menu.y, 0);
    EXPECT_LE(menu.x + menu.width, 320);
    EXPECT_LE(menu.y + menu.height, 240);
    desk.key("Escape");
    ASSERT_TRUE(waitUntilGone(kMenuWidth, kMenuHeight));
    quitWithEscape();
}

}  // namespace
}  // namespace e2e
