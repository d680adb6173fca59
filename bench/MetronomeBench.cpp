// Benchmark: rendering the longest bar (40 BPM, 9 beats) with the synthesised and sampled clicks.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "BenchMetronome.h"
#include "audio/AudioEngine.h"
#include "audio/WavLoader.h"
#include "engine/Metronome.h"

// Every allocation of the process is counted, so that a benchmark can show that rendering a bar
// makes none. The library's delete frees what malloc gave.
std::atomic<long> allocations{0};

__attribute__((noinline)) void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

namespace {

// The click samples of the source tree's data folder, which the build names.
struct Fixture : BenchMetronome {
    Fixture() {
        const char* names[] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};
        for (int slot = 0; slot < 4; slot++)
            loaded = loadWavSamples(std::string(BREVANT_DATA_DIR "/") + names[slot],
                                    metronome->samples[slot]) &&
                     loaded;
    }
    bool loaded = true;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void renderLongestBar(benchmark::State& state) {
    if (!fixture().loaded) state.SkipWithError("the click samples could not be read");
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

// The longest bar with the most pulses (6 a beat, 54 clicks), a level of each kind among its
// beats; "allocations" counts what rendering allocated, which must stay 0.
void renderLongestPracticeBar(benchmark::State& state) {
    if (!fixture().loaded) state.SkipWithError("the click samples could not be read");
    Metronome& m = *fixture().metronome;
    m.tempo = 0.0;
    m.beats = 9;
    m.subdivision = 6;
    m.accents = "3/32/322/3222/32222/322222/3222222/32222222/321032103";
    m.sound = static_cast<int>(state.range(0));
    m.renderBar();
    const long before = allocations.load();
    for (auto _ : state) {
        m.renderBar();
        benchmark::DoNotOptimize(m.pcmBar[m.barLength - 1]);
    }
    state.counters["allocations"] = static_cast<double>(allocations.load() - before);
    state.counters["samples"] = m.barLength;
}

}  // namespace

BENCHMARK(renderLongestBar)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(renderLongestPracticeBar)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
