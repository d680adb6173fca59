// Presenting one beat dial frame (189 x 189 designed pixels) on the main window at display
// scales 1 and 2: the conversion to the window's format, the N x N blocks and the window
// system's copy of that rectangle. Run it on an X server (DISPLAY set) for the real cost;
// without one it falls back to SDL's dummy driver, which measures the conversion alone.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "platform/draw/Bitmap.h"
#include "platform/window/Application.h"
#include "platform/window/DisplayScale.h"
#include "platform/window/Form.h"

namespace {

// A frame with every pixel different, so that no copy can be skipped.
void paintFrame(platform::Bitmap& frame) {
    frame.create(189, 189);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            unsigned char* pixel = frame.row(y) + 3 * x;
            pixel[0] = static_cast<unsigned char>(x);
            pixel[1] = static_cast<unsigned char>(y);
            pixel[2] = static_cast<unsigned char>(x + y);
        }
}

void PresentDialFrame(benchmark::State& state) {
    platform::Application& app = platform::Application::instance();
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "dummy", 1);
    app.startVideo();
    platform::DisplayScale::set(static_cast<int>(state.range(0)));
    platform::Form form;
    form.setClientSize(389, 305);
    form.show();
    app.processMessages();
    platform::Bitmap frame;
    paintFrame(frame);
    for (auto _ : state) {
        form.canvas().draw(20, 43, frame.pixels());
        benchmark::ClobberMemory();
    }
    state.SetLabel(app.hasRealDisplay() ? "on the X server" : "dummy driver (no display)");
    platform::DisplayScale::set(1);
}
BENCHMARK(PresentDialFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
