// Times the start-up: from exec of the program to its 540 x 270 splash being mapped and painted.
//
// Runs the given command, then polls the X server about every millisecond: once the splash is
// viewable, it keeps a coarse sample of the window's pixels at every poll. Half a second after
// mapping, the last sample serves as the finished picture; the first poll whose sample matches
// 90 % of it is the first paint. Prints "mapped <ms> painted <ms> nonblack <ms>".
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kWidth = 540, kHeight = 270, kStep = 8;

double nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

Window findSplash(Display* display) {
    Window root = DefaultRootWindow(display), parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable &&
            a.width == kWidth && a.height == kHeight)
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

std::vector<unsigned long> sample(Display* display, Window window) {
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = kStep / 2; y < kHeight; y += kStep)
        for (int x = kStep / 2; x < kWidth; x += kStep)
            pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

double matching(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    size_t same = 0;
    for (size_t i = 0; i < a.size(); ++i)
        same += a[i] == b[i];
    return static_cast<double>(same) / a.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: splashtime <program> [args...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    double start = nowMs();
    pid_t child = fork();
    if (child == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    double mapped = -1, nonBlack = -1;
    std::vector<std::pair<double, std::vector<unsigned long>>> polls;
    Window splash = 0;
    while (nowMs() - start < 10000) {
        if (!splash) {
            splash = findSplash(display);
            if (splash) mapped = nowMs() - start;
        }
        if (splash) {
            std::vector<unsigned long> pixels = sample(display, splash);
            double t = nowMs() - start;
            bool black = true;
            for (unsigned long p : pixels)
                black = black && p == 0;
            if (!black && nonBlack < 0) nonBlack = t;
            polls.emplace_back(t, std::move(pixels));
            if (t - mapped > 500) break;
        }
        usleep(1000);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    if (mapped < 0) {
        std::printf("no splash\n");
        return 1;
    }
    double painted = -1;
    for (auto& [t, pixels] : polls)
        if (matching(pixels, polls.back().second) >= 0.9) {
            painted = t;
            break;
        }
    std::printf("mapped %.1f painted %.1f nonblack %.1f polls %zu\n", mapped, painted, nonBlack,
                polls.size());
    return 0;
}
