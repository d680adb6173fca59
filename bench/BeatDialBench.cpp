// The beat dial's frames while playing and with bubbles: composed whole, and from the still layer
// with only the moving parts drawn again (the two give the same pixels).
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchMetronome.h"
#include "app/BeatDial.h"
#include "platform/sound/OfflineSoundDevice.h"
#include "platform/system/Clock.h"
#include "shadeui/ShadeUI.h"

namespace {

struct Fixture : BenchMetronome {
    ShadeUI container;  // no window: a frame is composed, not sent

    Fixture() { audio.init(nullptr, 2, std::make_unique<platform::OfflineSoundDevice>()); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Arguments: 1 for the still layer, 1 for playing (else stopped), 1 for bubbles. Between two
// frames the output moves on by 10 ms, as it does between two frames of the running program.
void dialFrame(benchmark::State& state) {
    Metronome& m = *fixture().metronome;
    m.beats = 4;
    m.animateBeatChange = false;
    m.bubbles = state.range(2) != 0;
    m.running = state.range(1) != 0;
    if (m.running) m.restart();
    BeatDial dial(m, fixture().container);
    dial.useLayer = state.range(0) != 0;
    dial.buildBackground();
    auto* device = static_cast<platform::OfflineSoundDevice*>(AudioEngine::device());
    for (auto _ : state) {
        if (m.running) device->render(441);
        dial.lastFrameTime = platform::clockMilliseconds() - BeatDial::frameInterval;
        dial.paint(false);
        benchmark::DoNotOptimize(dial.image.rows[94][94 * 3]);
    }
    m.running = false;
}
BENCHMARK(dialFrame)
    ->ArgNames({"layer", "playing", "bubbles"})
    ->Args({0, 1, 0})
    ->Args({1, 1, 0})
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({0, 1, 1})
    ->Args({1, 1, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
