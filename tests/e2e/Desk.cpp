// Xvfb, xwininfo, xdotool and ImageMagick wrapped for the end-to-end tests.
#include "Desk.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

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

Desk::Desk(int width, int height)
    : server_(std::to_string(width) + "x" + std::to_string(height) + "x24") {}

int Desk::run(const std::string& command, std::string* out) const {
    std::string full = "DISPLAY=" + display() + " " + command;
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

void Desk::pointTo(int x, int y) const {
    run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
}

void Desk::key(const std::string& keyName) const { run("xdotool key " + keyName); }

void Desk::focus(const WindowInfo& window) const {
    run("xdotool mousemove " + std::to_string(window.x + window.width / 2) + " " +
        std::to_string(window.y + 10) + " windowfocus --sync " + window.id + " 2>/dev/null");
}

}  // namespace e2e
