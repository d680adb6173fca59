// Times a key press to the window's reaction: the moment the X server holds changed pixels.
//
//   keyreact <window id> <x> <y> <width> <height> <presses> <key> [<key>...]
//
// Each press takes the next of the given key names in turn (for example "plus minus"); it is
// sent through the XTEST extension, so that the program gets it as from a keyboard, and the
// rectangle of the window (client pixels) is then read back from the X server until it differs
// from what it held before the press. Each line of output is one press: milliseconds from the
// press to the change, or "none" when nothing changed within a second. Presses are 300 ms apart.
// With a width of 0 nothing is watched: each line is the wall-clock second of the press instead.
// A key name may carry "ctrl+" in front: the control key is held around it.
//
// XTEST's header is not needed: its one function is declared here and the library linked by
// its file name (libxtst6, which xdotool brings).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern "C" int XTestFakeKeyEvent(Display* display, unsigned keycode, Bool press,
                                 unsigned long delay);

namespace {

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<unsigned long> grab(Display* display, Window window, int x, int y, int w, int h) {
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, window, x, y, w, h, AllPlanes, ZPixmap);
    if (image == nullptr) return pixels;
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column)
            pixels.push_back(XGetPixel(image, column, row));
    XDestroyImage(image);
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: keyreact window x y width height presses key...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    const int w = std::atoi(argv[4]), h = std::atoi(argv[5]);
    const int presses = std::atoi(argv[6]);
    for (int i = 0; i < presses; ++i) {
        const char* name = argv[7 + i % (argc - 7)];
        const bool control = std::strncmp(name, "ctrl+", 5) == 0;
        const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(control ? name + 5 : name));
        const KeyCode ctrl = XKeysymToKeycode(display, XStringToKeysym("Control_L"));
        const std::vector<unsigned long> before =
            w > 0 ? grab(display, window, x, y, w, h) : std::vector<unsigned long>{};
        if (control) XTestFakeKeyEvent(display, ctrl, True, 0);
        const double start = nowMs(), wall = wallSeconds();
        XTestFakeKeyEvent(display, code, True, 0);
        XTestFakeKeyEvent(display, code, False, 0);
        if (control) XTestFakeKeyEvent(display, ctrl, False, 0);
        XFlush(display);
        if (w <= 0) {
            std::printf("%.6f\n", wall);
            std::fflush(stdout);
            if (i + 1 < presses) std::this_thread::sleep_for(std::chrono::milliseconds(300));
            continue;
        }
        double reacted = -1.0;
        while (nowMs() - start < 1000.0) {
            if (grab(display, window, x, y, w, h) != before) {
                reacted = nowMs() - start;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (reacted < 0.0)
            std::printf("none\n");
        else
            std::printf("%.2f\n", reacted);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    XCloseDisplay(display);
    return 0;
}
