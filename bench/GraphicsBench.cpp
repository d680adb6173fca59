// Benchmarks of the raster layer: building the blend table bank and composing one dial frame.
#include <benchmark/benchmark.h>

#include "graphics/BlendBank.h"
#include "graphics/Drawing.h"
#include "graphics/Limage.h"
#include "platform/draw/Canvas.h"

namespace {

// The start-up cost: every tint and blend table evaluated from its formula.
void BM_BuildBlendBank(benchmark::State& state) {
    for (auto _ : state) {
        BlendBank::compute();
        benchmark::DoNotOptimize(BlendBank::blend[12][65535]);
    }
}
BENCHMARK(BM_BuildBlendBank)->Unit(benchmark::kMillisecond);

// The work of one beat dial frame: the static background copied in, the ring of single
// pixels, nine beat markers, five texts and the bubble strip screened on.
void BM_DialFrame(benchmark::State& state) {
    Limage background, dial, strip;
    background.create(189, 189);
    gradient(background.canvas(), 0, 0, 188, 188, 0x808080, 0x303030, false);
    dial.create(189, 189);
    strip.create(15, 189);
    strip.fill(0x202020);
    platform::Canvas& canvas = dial.canvas();
    for (auto _ : state) {
        Limage::drawKeyed(background, dial, 0, 0, -1);
        for (int i = 0; i < 60; i++)
            canvas.setPixel(94 + (i % 12) * 6 - 33, 20 + (i / 12) * 30, 0xC0C0C0);
        canvas.setPenColour(0x40A0E0);
        canvas.setBrushColour(0x40A0E0);
        for (int i = 0; i < 9; i++)
            canvas.fillRect(20 + i * 16, 150, 31 + i * 16, 161);
        beginText(canvas, 0x303030, true);
        canvas.textOut(70, 60, "120");
        canvas.textOut(80, 80, "BPM");
        canvas.textOut(70, 100, "4 beats");
        canvas.textOut(60, 120, "Digital");
        canvas.textOut(90, 40, "1");
        endText(canvas, true);
        Limage::drawBlended(strip, dial, 134, 0, B3);
        benchmark::DoNotOptimize(dial.rows[94][94 * 3]);
    }
}
BENCHMARK(BM_DialFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
