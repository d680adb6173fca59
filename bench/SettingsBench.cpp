// Benchmark: loading and saving the settings file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "audio/AudioEngine.h"
#include "engine/Metronome.h"

namespace {

struct Fixture {
    AudioEngine audio;
    std::string folder;
    std::string path;
    std::unique_ptr<Metronome> metronome;

    Fixture() {
        char pattern[] = "/tmp/brevant-bench-XXXXXX";
        folder = mkdtemp(pattern);
        path = folder + "/settings.cfg";
        metronome = std::make_unique<Metronome>(audio, SettingsPlace::only(path));
        metronome->save(metronome->header, path);
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

void loadSettings(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.metronome->load(f.metronome->header, f.path));
}

// Every save replaces the file through a flushed temporary file and a rename.
void saveSettings(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.metronome->save(f.metronome->header, f.path));
}

}  // namespace

BENCHMARK(loadSettings)->Unit(benchmark::kMicrosecond);
BENCHMARK(saveSettings)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
