// A private X display (Xvfb) for end-to-end tests, with the desktop tools that drive it.
#pragma once

#include <string>
#include <vector>

#include "../support/Xvfb.h"

namespace e2e {

// One pixel of a screenshot, in the order red, green, blue.
struct Rgb {
    int r = 0, g = 0, b = 0;
};

// A window as the X server reports it: id and outer geometry in screen coordinates.
struct WindowInfo {
    std::string id;
    int x = 0, y = 0, width = 0, height = 0;
};

// A screenshot of the whole screen.
struct Shot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    Rgb at(int x, int y) const;
    bool valid() const { return width > 0 && height > 0; }
};

// An Xvfb of its own, stopped when destroyed, and the tools that look at it and drive it.
class Desk {
public:
    static constexpr int kScreenWidth = 1280;
    static constexpr int kScreenHeight = 1024;

    explicit Desk(int width = kScreenWidth, int height = kScreenHeight);
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    bool running() const { return server_.running(); }
    // Ends the X server now, as a crash or the end of a session does: its clients lose the display.
    void stop() { server_.stop(); }
    const std::string& display() const { return server_.display(); }

    // Runs a desktop command with DISPLAY set to this desk; returns its exit status and fills
    // out with what it printed.
    int run(const std::string& command, std::string* out = nullptr) const;

    // The viewable top-level windows of the given size, found through xwininfo.
    std::vector<WindowInfo> windowsOfSize(int width, int height) const;
    // Waits until a window of that size is viewable (or the time runs out).
    bool waitForWindow(int width, int height, int timeoutMs, WindowInfo* found = nullptr) const;
    bool waitForNoWindow(int width, int height, int timeoutMs) const;

    Shot screenshot() const;

    // Input through the XTEST extension, as a user's hands would give it.
    void click(int x, int y) const;
    void pointTo(int x, int y) const;
    void key(const std::string& keyName) const;
    void focus(const WindowInfo& window) const;

private:
    testsupport::Xvfb server_;
};

// Sleeps for the given milliseconds.
void pause(int ms);
// Whether a program is on the PATH.
bool haveProgram(const std::string& name);

}  // namespace e2e
