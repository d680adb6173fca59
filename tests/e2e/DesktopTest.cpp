// The real program on the desktops users run beside openbox: a user's whole path on each.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AppRun.h"
#include "ClickTrack.h"
#include "Desk.h"

extern char** environ;

namespace e2e {
namespace {

constexpr int kMainWidth = 389, kMainHeight = 305;
constexpr int kSplashWidth = 540, kSplashHeight = 270;
constexpr int kMenuWidth = 264, kMenuHeight = 141;

// A window manager started on the desk, in the background, ended with the test.
class ManagerProcess {
  public:
    ManagerProcess(const Desk& desk, const std::vector<std::string>& args) {
        std::vector<std::string> env = {"PATH=/usr/bin:/bin", "DISPLAY=" + desk.display(),
                                        "HOME=/tmp"};
        std::vector<char*> envp, argv;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<std::string> copy = args;
        for (std::string& arg : copy)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ManagerProcess() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    ManagerProcess(const ManagerProcess&) = delete;
    ManagerProcess& operator=(const ManagerProcess&) = delete;
    bool started() const { return pid > 0; }

  private:
    pid_t pid = -1;
};

double settingValue(const std::string& settings, const std::string& key) {
    const size_t at = settings.find("\n" + key + "=");
    return at == std::string::npos ? -1 : std::atof(settings.c_str() + at + key.size() + 2);
}

// The splash's picture has a light one-pixel frame one pixel inside its edge, on a dark ground;
// a window shown unpainted is black.
bool splashPainted(const Shot& shot, const WindowInfo& splash) {
    if (!shot.valid()) return false;
    const int left = splash.x + 1, top = splash.y + 1;
    const int right = splash.x + splash.width - 2, bottom = splash.y + splash.height - 2;
    const int middleX = splash.x + splash.width / 2, middleY = splash.y + splash.height / 2;
    const Rgb edges[] = {shot.at(left, middleY), shot.at(right, middleY), shot.at(middleX, top),
                         shot.at(middleX, bottom)};
    for (const Rgb& edge : edges)
        if (edge.r + edge.g + edge.b < 300) return false;
    return true;
}

class CompositingDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!desk.running()) GTEST_SKIP() << "Xvfb is not available";
        if (!haveProgram("xfwm4") || !haveProgram("xdotool") || !haveProgram("import"))
            GTEST_SKIP() << "xfwm4, xdotool or ImageMagick is missing";
        manager = std::make_unique<ManagerProcess>(
            desk, std::vector<std::string>{"xfwm4", "--compositor=on", "--sm-client-disable"});
        ASSERT_TRUE(manager->started());
        bool ready = false;
        for (int i = 0; i < 200 && !ready; ++i, pause(50)) {
            std::string out;
            desk.run("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null", &out);
            ready = out.find("window id") != std::string::npos;
        }
        ASSERT_TRUE(ready) << "xfwm4 did not start";
        app.writeFile("settings.cfg", settingsFile("0.4"));
    }

    void TearDown() override {
        if (app.alive()) app.sendSignal(SIGKILL);
        manager.reset();
    }

    // Watches the splash until it goes; returns how long it was seen painted, in ms: from the
    // first screenshot that shows it painted to the last (a screenshot takes a while itself).
    int watchSplash() {
        using Clock = std::chrono::steady_clock;
        WindowInfo splash;
        if (!desk.waitForWindow(kSplashWidth, kSplashHeight, 15000, &splash)) return 0;
        Clock::time_point first{}, last{};
        bool seen = false;
        const Clock::time_point end = Clock::now() + std::chrono::seconds(8);
        while (Clock::now() < end && desk.waitForWindow(kSplashWidth, kSplashHeight, 0, &splash)) {
            const Shot shot = desk.screenshot();
            const Clock::time_point now = Clock::now();
            if (!splashPainted(shot, splash)) continue;
            if (!seen) first = now;
            last = now;
            seen = true;
        }
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(last - first).count());
    }

    Desk desk;
    AppRun app;
    std::unique_ptr<ManagerProcess> manager;
};

// One user's session: the splash, a drag of the title bar and a click on "+", the menu closed
// by a press on the desktop and Play clicked next, a dialog closed and the space bar.
TEST_F(CompositingDesktop, TheWholePathWorksOnXfwm4WithCompositing) {
    ASSERT_TRUE(app.start(desk));
    EXPECT_GE(watchSplash(), 1500);

    WindowInfo main;
    ASSERT_TRUE(desk.waitForWindow(kMainWidth, kMainHeight, 15000, &main))
        << app.readFile("output.log");
    pause(400);
    // The title bar's middle, dragged by (60, 40) in four steps.
    desk.run("xdotool mousemove " + std::to_string(main.x + 200) + " " +
             std::to_string(main.y + 15) + " sleep 0.15 mousedown 1 sleep 0.15");
    for (int step = 1; step <= 4; ++step)
        desk.run("xdotool mousemove " + std::to_string(main.x + 200 + 15 * step) + " " +
                 std::to_string(main.y + 15 + 10 * step) + " sleep 0.15");
    desk.run("xdotool mouseup 1");
    pause(400);
    WindowInfo moved;
    ASSERT_TRUE(desk.waitForWindow(kMainWidth, kMainHeight, 5000, &moved));
    EXPECT_EQ(moved.x, main.x + 60);
    EXPECT_EQ(moved.y, main.y + 40);
    desk.click(moved.x + 241, moved.y + 125);  // "+"
    pause(300);

    desk.click(moved.x + 19, moved.y + 13);  // the grip
    WindowInfo menu;
    ASSERT_TRUE(desk.waitForWindow(kMenuWidth, kMenuHeight, 5000, &menu));
    EXPECT_EQ(menu.x, moved.x + 10);
    pause(300);
    desk.click(60, 60);  // the empty desktop
    EXPECT_TRUE(desk.waitForNoWindow(kMenuWidth, kMenuHeight, 5000));
    desk.click(moved.x + 300, moved.y + 262);  // Play
    pause(1600);
    desk.click(moved.x + 300, moved.y + 262);  // and stop again
    pause(400);
    ClickTrack before;
    ASSERT_TRUE(before.load(app.audioPath()));
    EXPECT_GE(before.clicks().size(), 2u) << "the first click after the menu was lost";

    desk.click(moved.x + 19, moved.y + 13);
    ASSERT_TRUE(desk.waitForWindow(kMenuWidth, kMenuHeight, 5000, &menu));
    desk.click(menu.x + 40, menu.y + 2 * 20 + 10);  // "Hot Keys..."
    pause(1000);
    desk.key("Escape");
    pause(600);
    desk.key("space");
    pause(1600);
    desk.key("Escape");
    EXPECT_EQ(app.waitForExit(10000), 0) << app.readFile("output.log");

    ClickTrack after;
    ASSERT_TRUE(after.load(app.audioPath()));
    EXPECT_GE(after.clicks().size(), before.clicks().size() + 2)
        << "SPACE after the dialog did not start the clicks";
    EXPECT_GT(settingValue(app.readFile("settings.cfg"), "tempo"), 0.4)
        << app.readFile("settings.cfg");
}

}  // namespace
}  // namespace e2e
