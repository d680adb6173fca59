// Benchmark: loading and saving the settings file, and loading files far larger than one.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "BenchMetronome.h"

namespace {

struct Fixture : BenchMetronome {
    Fixture() { metronome->save(metronome->header, path); }
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

// Hand-made and hostile files of `size` bytes: the opening line, one line repeated to fill them,
// and (but for the blank ones) the closing line, so that every key is looked up among all the
// lines. The metronome reads them as it does at start-up.
enum Shape { blankLines, blankCrLfLines, shortLines, keyLines, oneLongLine };

std::string bigFile(Shape shape, std::size_t size) {
    static const char* const units[] = {"\n", "\r\n", "x\n", "beats=5\r\n", "x"};
    const std::string unit = units[shape];
    const std::string closing = shape <= blankCrLfLines ? "" : "</Orvelle Settings>\r\n";
    std::string bytes = "<Orvelle Settings>\r\n";
    while (bytes.size() + unit.size() + closing.size() <= size)
        bytes += unit;
    bytes.resize(size - closing.size(), '\n');
    return bytes + closing;
}

void loadLargeFile(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string path = f.folder + "/large.cfg";
    const std::size_t size = static_cast<std::size_t>(state.range(1));
    std::ofstream(path, std::ios::binary) << bigFile(static_cast<Shape>(state.range(0)), size);
    auto reader = std::make_unique<Metronome>(f.audio, SettingsPlace::only(path));
    for (auto _ : state)
        reader->loadSettings();
    state.counters["bytes"] = static_cast<double>(size);
    state.counters["writable"] = reader->settingsWritable();
}

}  // namespace

BENCHMARK(loadSettings)->Unit(benchmark::kMicrosecond);
BENCHMARK(saveSettings)->Unit(benchmark::kMicrosecond);
// The largest settings file (1 MiB) of each shape, and a 50 MB file, which is refused.
BENCHMARK(loadLargeFile)
    ->ArgsProduct({{blankLines, blankCrLfLines, shortLines, keyLines, oneLongLine}, {1 << 20}})
    ->Args({blankLines, 50'000'000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
