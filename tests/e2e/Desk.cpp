// Xvfb, xwininfo, xdotool and ImageMagick wrapped for the end-to-end tests.
#include "Desk.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace e2e {

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool haveProgram(const std::string& name) {
    std::string command = "command -v " + name + " > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

Rgb Shot::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {};
    size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

// The display number Xvfb writes to the pipe once it accepts connections, or -1.
static int readDisplayNumber(int fd) {
    std::string text;
    char c = 0;
    pollfd waiting{fd, POLLIN, 0};
    while (text.find('\n') == std::string::npos && poll(&waiting, 1, 30000) > 0 &&
           read(fd, &c, 1) == 1)
        text += c;
    return text.empty() || text.back() != '\n' ? -1 : std::atoi(text.c_str());
}

// Xvfb picks a free display number itself (-displayfd): a number chosen here could be taken by
// another server starting at the same moment, and the tests would then talk to that one.
Desk::Desk(int width, int height) {
    if (!haveProgram("Xvfb")) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    std::string fd = std::to_string(fds[1]);
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                          "-nolisten", "tcp", "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    const int n = pid_ > 0 ? readDisplayNumber(fds[0]) : -1;
    close(fds[0]);
    if (n < 0) {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        return;
    }
    display_ = ":" + std::to_string(n);
}

Desk::~Desk() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

void Desk::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

int Desk::run(const std::string& command, std::string* out) const {
    std::string full = "DISPLAY=" + display_ + " " + command;
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> chunk;
    size_t got;
    while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        if (out) out->append(chunk.data(), got);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The number after `label` in xwininfo's report, or -1.
static int reportedNumber(const std::string& report, const std::string& label) {
    size_t at = report.find(label);
    return at == std::string::npos ? -1 : std::atoi(report.c_str() + at + label.size());
}

// xwininfo -root -children prints one line per top-level window, with its geometry as
// "WxH+X+Y". Only mapped (viewable) windows are of interest. The place and the map state are
// read together from one report of the window: the listing's place may be from before a move
// that came just before the window was mapped.
std::vector<WindowInfo> Desk::windowsOfSize(int width, int height) const {
    std::string listing;
    run("xwininfo -root -children 2>/dev/null", &listing);
    std::vector<WindowInfo> found;
    std::istringstream lines(listing);
    std::string line;
    std::string size = std::to_string(width) + "x" + std::to_string(height) + "+";
    while (std::getline(lines, line)) {
        size_t at = line.find(size);
        size_t idStart = line.find("0x");
        if (at == std::string::npos || idStart == std::string::npos) continue;
        WindowInfo info;
        info.id = line.substr(idStart, line.find(' ', idStart) - idStart);
        std::string report;
        run("xwininfo -id " + info.id + " 2>/dev/null", &report);
        if (report.find("IsViewable") == std::string::npos) continue;
        info.width = reportedNumber(report, "Width:");
        info.height = reportedNumber(report, "Height:");
        info.x = reportedNumber(report, "Absolute upper-left X:");
        info.y = reportedNumber(report, "Absolute upper-left Y:");
        if (info.width != width || info.height != height) continue;
        found.push_back(info);
    }
    return found;
}

bool Desk::waitForWindow(int width, int height, int timeoutMs, WindowInfo* found) const {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        std::vector<WindowInfo> windows = windowsOfSize(width, height);
        if (!windows.empty()) {
            if (found) *found = windows.front();
            return true;
        }
        pause(50);
    }
    return false;
}

bool Desk::waitForNoWindow(int width, int height, int timeoutMs) const {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        if (windowsOfSize(width, height).empty()) return true;
        pause(50);
    }
    return false;
}

// ImageMagick writes the root window as a binary PPM: "P6 W H 255" and the pixels.
Shot Desk::screenshot() const {
    Shot shot;
    std::string data;
    if (run("import -window root -depth 8 ppm:- 2>/dev/null", &data) != 0) return shot;
    std::istringstream in(data);
    std::string magic;
    int maxValue = 0;
    in >> magic >> shot.width >> shot.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255) return {};
    size_t bytes = static_cast<size_t>(shot.width) * shot.height * 3;
    size_t start = static_cast<size_t>(in.tellg());
    if (data.size() < start + bytes) return {};
    shot.rgb.assign(data.begin() + start, data.begin() + start + bytes);
    return shot;
}

// A hand moves to a place before it presses there; the program then knows where the pointer is
// from the motion events as well as from the pointer state.
void Desk::click(int x, int y) const {
    run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
    pause(120);
    run("xdotool mousemove_relative -- 1 0 mousemove_relative -- -1 0");
    pause(80);
    run("xdotool click 1");
}

void Desk::key(const std::string& keyName) const { run("xdotool key " + keyName); }

void Desk::focus(const WindowInfo& window) const {
    run("xdotool mousemove " + std::to_string(window.x + window.width / 2) + " " +
        std::to_string(window.y + 10) + " windowfocus --sync " + window.id + " 2>/dev/null");
}

}  // namespace e2e
