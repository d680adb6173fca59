// Pressing and dragging a fader: one drag call with its redraw into the back buffer and the
// present of the fader's rectangle on a window.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "graphics/Limage.h"
#include "platform/window/Form.h"
#include "platform/window/WindowCanvas.h"
#include "shadeui/ShadeFader.h"
#include "shadeui/ShadeToolkit.h"

namespace {

// Stands for a window without one: the present costs nothing, so the figure is the drawing.
class NoWindow : public platform::WindowCanvas {
  public:
    void setClip(const platform::Rect&) override {}
    void clearClip() override {}
    bool hasClip() const override { return false; }
    void draw(int, int, const platform::PixelRows&) override {}
};

// A main-window sized back buffer with the tempo fader where the main window has it.
struct FaderScene {
    Limage raster;
    double value = 0.5;
    ShadeFader fader;

    explicit FaderScene(platform::WindowCanvas& window) {
        raster.create(389, 305);
        raster.fill(0xE0E0E0);
        fader.raster = &raster;
        fader.windowCanvas = &window;
        fader.backColour = 0xE0E0E0;
        fader.foreColour = 0x484848;
        fader.setUp(268, 54, 100, "Tempo", &value, 10);
    }

    // A press on the knob, then moves up and down over the whole range, each one a change.
    void run(benchmark::State& state) {
        int knob = fader.knobCentreY(value);
        fader.drag(284, knob, true);
        int offset = 0, step = 1;
        for (auto _ : state) {
            offset += step;
            if (offset == 45 || offset == -45) step = -step;
            bool changed = fader.drag(284, knob + offset, false);
            benchmark::DoNotOptimize(changed);
        }
        capturedFader = nullptr;
    }
};

void BM_FaderDragDrawOnly(benchmark::State& state) {
    NoWindow window;
    FaderScene scene(window);
    scene.run(state);
}
BENCHMARK(BM_FaderDragDrawOnly)->Unit(benchmark::kMicrosecond);

// With a real form's window canvas: the present converts the rectangle and shows it.
void BM_FaderDragWithPresent(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);  // headless unless a display is asked for
    platform::Form form;
    form.setClientSize(389, 305);
    form.show();
    if (!form.hasWindow()) {
        state.SkipWithError("no window could be made");
        return;
    }
    FaderScene scene(form.canvas());
    scene.run(state);
    form.hide();
}
BENCHMARK(BM_FaderDragWithPresent)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
