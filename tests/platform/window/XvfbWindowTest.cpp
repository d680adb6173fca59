// A real window on a real X server: mapping, drawing on the screen, mouse and keys from xdotool,
// at the designed size and at the scale the server's dpi asks for.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/Xvfb.h"
#include "platform/system/Clock.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/DisplayScale.h"
#include "platform/window/Form.h"
#include "platform/window/Screen.h"

// Last: Xlib's macros (None, Bool, Status) would otherwise reach the headers above.
#include <X11/Xlib.h>

extern char** environ;

namespace {

bool onPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

// The colour of one screen pixel, read with ImageMagick, as "RRGGBB".
std::string screenPixel(int x, int y) {
    const std::string command = "import -window root -depth 8 -crop 1x1+" + std::to_string(x) +
                                "+" + std::to_string(y) + " txt:- 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    pclose(pipe);
    const std::size_t hash = text.find('#', text.find('\n'));
    return hash == std::string::npos ? "" : text.substr(hash + 1, 6);
}

class ProbeForm : public platform::Form {
  public:
    int paints = 0, downs = 0;
    int downX = -1, downY = -1;
    std::vector<int> wheelSteps;
    platform::Point wheelAt{-1, -1};
    std::vector<int> keys;
    platform::PixelRows square;  // drawn at (10, 10) over the background on every paint

  protected:
    void FormPaint() override {
        ++paints;
        Form::FormPaint();
        if (square.valid()) canvas().draw(10, 10, square);
    }
    void FormMouseDown(platform::MouseButton, platform::ShiftState, int x, int y) override {
        ++downs;
        downX = x;
        downY = y;
    }
    void FormKeyDown(int key, platform::ShiftState) override { keys.push_back(key); }
    void FormMouseWheel(platform::ShiftState, int steps, int x, int y) override {
        wheelSteps.push_back(steps);
        wheelAt = {x, y};
    }
};

// A 20 x 20 green square, for ProbeForm::square.
struct GreenSquare {
    std::vector<unsigned char> pixels = std::vector<unsigned char>(20 * 20 * 3, 0);
    std::vector<unsigned char*> rows = std::vector<unsigned char*>(20);
    GreenSquare() {
        for (int i = 0; i < 400; ++i)
            pixels[3 * i + 1] = 0xFF;
        for (int y = 0; y < 20; ++y)
            rows[y] = &pixels[60 * y];
    }
    platform::PixelRows picture() { return {rows.data(), 20, 20}; }
};

// Processes messages until the condition holds, for at most about five seconds.
template <typename Condition>
bool processUntil(Condition condition) {
    auto& app = platform::Application::instance();
    for (int pass = 0; pass < 500 && !condition(); ++pass) {
        app.processMessages();
        platform::sleepMilliseconds(10);
    }
    return condition();
}

// The part that runs in the child process, on the X server the parent started.
void realWindowChecks() {
    auto& app = platform::Application::instance();
    ASSERT_TRUE(app.startVideo());
    ASSERT_TRUE(app.hasRealDisplay());
    ProbeForm form;
    form.setClientSize(120, 80);
    form.setPosition(30, 40);
    form.setColour(0x0000FF);  // red
    form.show();
    // The picture is there from the map on, before any message has been processed: a
    // compositor's first frame of the window is not black.
    EXPECT_EQ(screenPixel(30 + 5, 40 + 5), "FF0000");
    ASSERT_TRUE(processUntil([&] { return form.paints > 0; }));
    GreenSquare green;
    form.square = green.picture();
    form.invalidate();
    const int painted = form.paints;
    ASSERT_TRUE(processUntil([&] { return form.paints > painted; }));
    // Let the server take the picture in; there is nothing to wait for but a few passes.
    for (int pass = 0; pass < 20; ++pass) {
        platform::Application::instance().processMessages();
        platform::sleepMilliseconds(10);
    }
    EXPECT_EQ(screenPixel(30 + 15, 40 + 15), "00FF00");
    EXPECT_EQ(screenPixel(30 + 5, 40 + 5), "FF0000");
    EXPECT_EQ(screenPixel(30 + 125, 40 + 5), "000000");  // outside the window

    ASSERT_EQ(std::system("xdotool mousemove 80 70 click 1"), 0);
    ASSERT_TRUE(processUntil([&] { return form.downs > 0; }));
    EXPECT_EQ(form.downX, 50);
    EXPECT_EQ(form.downY, 30);
    EXPECT_EQ(platform::Cursor::position().x, 80);
    EXPECT_EQ(platform::Cursor::position().y, 70);

    ASSERT_EQ(std::system("xdotool key KP_Add key space"), 0);
    EXPECT_TRUE(processUntil([&] { return form.keys.size() >= 2; }));
    EXPECT_EQ(form.keys, (std::vector<int>{0x6B, 0x20}));

    // A request on a window that is gone (here: one that never was) is dropped; Xlib's own
    // handler would end the process, and this child with it.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    XMapWindow(other, 0x1FFFFF);
    XSync(other, False);
    XCloseDisplay(other);
}

// The same at a display scale of 2 that the X server's Xft.dpi resource asks for: the window is
// twice its size in blocks of 2 x 2, and the pointer names whole designed pixels, also when the
// window is moved to a place that is not a whole number of designed pixels.
void scaledWindowChecks() {
    auto& app = platform::Application::instance();
    ASSERT_TRUE(app.startVideo());
    EXPECT_EQ(platform::DisplayScale::factor(), 2);
    EXPECT_EQ(platform::DisplayScale::description(), "scale 2 (from Xft.dpi)");
    EXPECT_EQ(platform::Screen::width(), 320);
    ProbeForm form;
    form.setClientSize(60, 40);
    form.setPosition(30, 40);
    form.setColour(0x0000FF);
    GreenSquare green;
    form.square = green.picture();
    form.show();
    ASSERT_TRUE(processUntil([&] { return form.paints > 0; }));
    for (int pass = 0; pass < 20; ++pass) {
        app.processMessages();
        platform::sleepMilliseconds(10);
    }
    // The square covers designed pixels 10..29 of the window at (60, 80) on the screen.
    EXPECT_EQ(screenPixel(60 + 20, 80 + 20), "00FF00");
    EXPECT_EQ(screenPixel(60 + 59, 80 + 59), "00FF00");
    EXPECT_EQ(screenPixel(60 + 19, 80 + 20), "FF0000");
    EXPECT_EQ(screenPixel(60 + 60, 80 + 59), "FF0000");
    EXPECT_EQ(screenPixel(60 + 119, 80 + 79), "FF0000");
    EXPECT_EQ(screenPixel(60 + 120, 80 + 40), "000000");

    const std::string id = std::to_string(form.nativeId());
    ASSERT_EQ(std::system(("xdotool windowmove " + id + " 63 83").c_str()), 0);
    ASSERT_TRUE(processUntil([&] { return form.left() == 31 && form.top() == 41; }));
    ASSERT_EQ(std::system("xdotool mousemove 70 92 click 1"), 0);
    ASSERT_TRUE(processUntil([&] { return form.downs > 0; }));
    EXPECT_EQ(form.downX, 3);  // (70 - 63) / 2
    EXPECT_EQ(form.downY, 4);  // (92 - 83) / 2
    const platform::Point client = form.screenToClient(platform::Cursor::position());
    EXPECT_EQ(client.x, 3);
    EXPECT_EQ(client.y, 4);

    ASSERT_EQ(std::system("xdotool mousemove 101 110 click 4 click 5 click 5"), 0);
    ASSERT_TRUE(processUntil([&] { return form.wheelSteps.size() >= 3; }));
    EXPECT_EQ(form.wheelSteps, (std::vector<int>{1, -1, -1}));
    EXPECT_EQ(form.wheelAt.x, 19);  // (101 - 63) / 2
    EXPECT_EQ(form.wheelAt.y, 13);  // (110 - 83) / 2
}

// Starts Xvfb, runs the desktop command `prepare` on it, and runs the named test of this binary
// in a child process there, with the extra environment. True when the child passed.
::testing::AssertionResult passesOnXvfb(const std::string& test,
                                        const std::vector<std::string>& extraEnv,
                                        const std::string& prepare = "") {
    testsupport::Xvfb server("640x480x24");
    if (!server.running()) return ::testing::AssertionFailure() << "Xvfb did not start";
    const std::string& name = server.display();
    // SDL's desktop bus connection keeps a buffer to the end under X11; the leak checker of
    // sanitizer builds is told that it is not ours.
    const std::string suppressions = "/tmp/brevant-lsan-" + std::to_string(getpid()) + ".supp";
    if (FILE* file = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", file);
        std::fclose(file);
    }
    int status = -1;
    if (!prepare.empty()) std::system(("DISPLAY=" + name + " " + prepare).c_str());
    std::vector<std::string> env = {"DISPLAY=" + name, "SDL_VIDEODRIVER=x11",
                                    "BREVANT_XVFB_CHILD=1",
                                    "LSAN_OPTIONS=suppressions=" + suppressions};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    const pid_t child = spawn({"/proc/self/exe", "--gtest_filter=" + test}, env);
    if (child > 0) waitpid(child, &status, 0);
    std::remove(suppressions.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the checks on Xvfb failed";
}

bool haveDeskTools() {
    return onPath("Xvfb") && onPath("xdotool") && onPath("import") && onPath("xprop");
}

}  // namespace

TEST(RealWindow, ShowsDrawsAndTakesInputUnderXvfb) {
    if (std::getenv("BREVANT_XVFB_CHILD")) {
        realWindowChecks();
        return;
    }
    if (!haveDeskTools()) GTEST_SKIP() << "Xvfb, xdotool, x11-utils or ImageMagick is missing";
    EXPECT_TRUE(passesOnXvfb("RealWindow.ShowsDrawsAndTakesInputUnderXvfb", {}));
}

// The scale comes from the server's resources: a desktop's own scale and the program's are
// cleared (an empty variable counts as unset).
TEST(RealWindow, AtTheScaleOfTheServersDpiDrawsBlocksAndNamesWholeDesignedPixels) {
    if (std::getenv("BREVANT_XVFB_CHILD")) {
        scaledWindowChecks();
        return;
    }
    if (!haveDeskTools()) GTEST_SKIP() << "Xvfb, xdotool, x11-utils or ImageMagick is missing";
    EXPECT_TRUE(passesOnXvfb(
        "RealWindow.AtTheScaleOfTheServersDpiDrawsBlocksAndNamesWholeDesignedPixels",
        {"BREVANT_SCALE=", "GDK_SCALE="},
        "xprop -root -format RESOURCE_MANAGER 8s -set RESOURCE_MANAGER 'Xft.dpi:\t192\n'"));
}
