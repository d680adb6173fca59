// Benchmark: rendering the longest bar (40 BPM, 9 beats) with the synthesised and sampled clicks.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "audio/AudioEngine.h"
#include "audio/WavLoader.h"
#include "engine/Metronome.h"

namespace {

// The click samples lie in the source tree's data folder, beside this file's folder.
std::string dataFolder() {
    const std::string here = __FILE__;
    return here.substr(0, here.rfind("bench/")) + "data/";
}

struct Fixture {
    AudioEngine audio;
    std::string folder;
    std::unique_ptr<Metronome> metronome;

    Fixture() {
        char pattern[] = "/tmp/brevant-bench-XXXXXX";
        folder = mkdtemp(pattern);
        metronome = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/s.cfg"));
        const char* names[] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};
        for (int slot = 0; slot < 4; slot++)
            loadWavSamples(dataFolder() + names[slot], metronome->samples[slot]);
    }
    ~Fixture() {
        metronome.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void renderLongestBar(benchmark::State& state) {
    Metronome& m = *fixture().metronome;
    m.tempo = 0.0;
    m.beats = 9;
    m.sound = static_cast<int>(state.range(0));
    for (auto _ : state) {
        m.renderBar();
        benchmark::DoNotOptimize(m.pcmBar[m.barLength - 1]);
    }
    state.counters["samples"] = m.barLength;
    state.counters["sampleBytes"] = m.samples[0].top + 1;
}

}  // namespace

BENCHMARK(renderLongestBar)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
