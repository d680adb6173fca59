// Times what is heard and what is seen: click onsets on a sound server's monitor, and the moments
// the beat dial lights a marker, both on the wall clock.
//
//   earclock <seconds> <monitor source> <out folder> [<x> <y> ...]
//
// The recorder reads the monitor through libpulse in 5 ms pieces. Each piece is stamped with the
// clock when it arrives, less the recording stream's latency (what the server still held of it),
// so that the last frame of a piece was on the output at that moment; the frames before it are
// 1/44100 s apart. A click begins after 600 silent frames, like the tools in this folder find it.
// Onsets go to <out>/onsets.txt ("seconds crossings frame": crossings tell the accent, and the
// frame counts from the recording's start, for intervals exact to the frame).
//
// The watcher reads the given screen pixels (the centres of the dial's markers) every 2 ms and
// writes to <out>/lit.txt the moment each turns yellow ("seconds marker"). A pixel is yellow
// when red and green are above 200 and blue below 100: the lit marker, at its brightest when it
// lights.
//
// The whole recording goes to <out>/monitor.raw as 16-bit stereo frames.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <time.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// With EARCLOCK_RAW=1 in the environment the stamps are the raw monotonic clock instead, the
// host clock of a Link session, so that onsets can be set against the session's beat times.
double wallSeconds() {
    static const bool raw = std::getenv("EARCLOCK_RAW") != nullptr;
    if (raw) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC_RAW, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Onsets {
    long silent = 600;
    std::FILE* out = nullptr;
    // The frames of one click still to be looked at for its pitch.
    int counting = 0;
    int crossings = 0;
    short last = 0;
    double at = 0.0;
    long atFrame = 0;

    void frame(short left, double time, long index) {
        if (counting > 0) {
            if ((left < 0) != (last < 0) && left != 0) crossings++;
            last = left;
            if (--counting == 0) std::fprintf(out, "%.6f %d %ld\n", at, crossings, atFrame);
        }
        if (left == 0) {
            silent++;
            return;
        }
        if (silent >= 600 && counting == 0) {
            at = time - 1.0 / 44100.0;  // every click begins at phase 0, one frame earlier
            atFrame = index - 1;
            counting = 200;
            crossings = 0;
            last = left;
        }
        silent = 0;
    }
};

int record(double seconds, const char* source, const std::string& folder) {
    pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = 441 * 4 / 2;
    int error = 0;
    pa_simple* in = pa_simple_new(nullptr, "earclock", PA_STREAM_RECORD, source, "monitor", &spec,
                                  nullptr, &attr, &error);
    if (in == nullptr) {
        std::fprintf(stderr, "earclock: %s\n", pa_strerror(error));
        return 1;
    }
    Onsets onsets;
    onsets.out = std::fopen((folder + "/onsets.txt").c_str(), "w");
    std::FILE* raw = std::fopen((folder + "/monitor.raw").c_str(), "wb");
    const double end = wallSeconds() + seconds;
    std::vector<short> piece(2 * 220);
    long index = 0;
    while (wallSeconds() < end) {
        if (pa_simple_read(in, piece.data(), piece.size() * 2, &error) < 0) break;
        const double arrived = wallSeconds();
        const pa_usec_t held = pa_simple_get_latency(in, &error);
        const int frames = static_cast<int>(piece.size() / 2);
        const double lastFrame = arrived - held / 1e6;
        for (int i = 0; i < frames; i++, index++)
            onsets.frame(piece[2 * i], lastFrame - (frames - 1 - i) / 44100.0, index);
        std::fwrite(piece.data(), 2, piece.size(), raw);
    }
    std::fclose(raw);
    std::fclose(onsets.out);
    pa_simple_free(in);
    return 0;
}

void watch(double seconds, const std::vector<int>& points, const std::string& folder,
           std::atomic<bool>& failed) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        failed = true;
        return;
    }
    std::FILE* out = std::fopen((folder + "/lit.txt").c_str(), "w");
    const Window root = DefaultRootWindow(display);
    std::vector<bool> lit(points.size() / 2, false);
    const double end = wallSeconds() + seconds;
    while (wallSeconds() < end) {
        for (std::size_t k = 0; k < lit.size(); k++) {
            XImage* image = XGetImage(display, root, points[2 * k], points[2 * k + 1], 1, 1,
                                      AllPlanes, ZPixmap);
            const double now = wallSeconds();
            if (image == nullptr) continue;
            const unsigned long pixel = XGetPixel(image, 0, 0);
            XDestroyImage(image);
            const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
            const bool yellow = r > 200 && g > 200 && b < 100;
            if (yellow && !lit[k]) std::fprintf(out, "%.6f %zu\n", now, k);
            lit[k] = yellow;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::fclose(out);
    XCloseDisplay(display);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: earclock <seconds> <monitor source> <out folder> [x y]...\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const std::string folder = argv[3];
    std::vector<int> points;
    for (int i = 4; i < argc; i++)
        points.push_back(std::atoi(argv[i]));
    std::atomic<bool> failed{false};
    std::thread watcher;
    if (!points.empty())
        watcher =
            std::thread(watch, seconds, std::cref(points), std::cref(folder), std::ref(failed));
    const int result = record(seconds, argv[2], folder);
    if (watcher.joinable()) watcher.join();
    return failed ? 1 : result;
}
