// Text output on the canvas: a 20-character string at the program's 11-pixel height, the first
// time (face lookup, opening and glyph rendering included) and from the glyph cache.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/draw/Bitmap.h"
#include "platform/draw/FontLibrary.h"

namespace {

constexpr const char* text = "Tempo 120 BPM, 4/4 !";  // 20 characters

platform::Bitmap& target() {
    static platform::Bitmap bitmap;
    if (!bitmap.isValid()) bitmap.create(189, 189);
    return bitmap;
}

void textOutCold(benchmark::State& state) {
    platform::Canvas& canvas = target().canvas();
    canvas.setBrushStyle(platform::BrushStyle::clear);
    for (auto _ : state) {
        state.PauseTiming();
        // A library of its own each time: no face opened and no glyph rendered yet.
        auto library = std::make_unique<platform::FontLibrary>();
        canvas.setFontLibrary(library.get());
        state.ResumeTiming();
        canvas.textOut(10, 80, text);
        state.PauseTiming();
        canvas.setFontLibrary(nullptr);
        library.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(textOutCold)->Unit(benchmark::kMicrosecond);

void textOutCached(benchmark::State& state) {
    platform::Canvas& canvas = target().canvas();
    canvas.setBrushStyle(platform::BrushStyle::clear);
    canvas.textOut(10, 80, text);  // fills the cache
    for (auto _ : state) {
        canvas.textOut(10, 80, text);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(textOutCached)->Unit(benchmark::kMicrosecond);

void textWidthCached(benchmark::State& state) {
    platform::Canvas& canvas = target().canvas();
    for (auto _ : state)
        benchmark::DoNotOptimize(canvas.textWidth(text));
}
BENCHMARK(textWidthCached);

}  // namespace

BENCHMARK_MAIN();
