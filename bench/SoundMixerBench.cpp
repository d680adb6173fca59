// Benchmarks of the sound mixer's cost per output frame, and the periods SDL grants.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/sound/SdlSoundDevice.h"
#include "platform/sound/SoundMixer.h"

using platform::SoundMixer;
using platform::SoundVoice;

namespace {

constexpr int periodFrames = 512;
constexpr int barLength = 88200;

std::vector<std::int16_t> bar() {
    std::vector<std::int16_t> samples(barLength);
    for (int i = 0; i < barLength; i++)
        samples[i] = static_cast<std::int16_t>((i * 7919) % 20000 - 10000);
    return samples;
}

// Mixes device periods of stereo output with `voices` looping bars, one of them panned.
void mixPeriods(benchmark::State& state, int voices, std::uint64_t step) {
    std::vector<std::int16_t> samples = bar();
    std::vector<SoundVoice> voice(voices);
    SoundMixer mixer;
    for (SoundVoice& v : voice) {
        v.samples = samples.data();
        v.length = barLength;
        v.playing = v.looping = true;
        v.step = step;
        v.gainLeft = 0.5f;
        mixer.add(&v);
    }
    std::vector<std::int16_t> out(2 * periodFrames);
    for (auto _ : state) {
        mixer.render(out.data(), periodFrames, 2);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * periodFrames);
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations() * periodFrames),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_MixOneBar(benchmark::State& state) {
    mixPeriods(state, 1, SoundVoice::unitStep);
}
void BM_MixTwoBars(benchmark::State& state) {
    mixPeriods(state, 2, SoundVoice::unitStep);
}
void BM_MixOneBarResampled(benchmark::State& state) {
    mixPeriods(state, 1, SoundVoice::unitStep * 3 / 4);
}

BENCHMARK(BM_MixOneBar);
BENCHMARK(BM_MixTwoBars);
BENCHMARK(BM_MixOneBarResampled);

// Opens the output through the named SDL driver and prints the period it granted.
void reportPeriod(const char* driver) {
    std::filesystem::path file = std::filesystem::temp_directory_path() / "brevant-bench-disk.raw";
    ::setenv("SDL_AUDIODRIVER", driver, 1);
    ::setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    platform::SdlSoundDevice device;
    bool open = device.createInterface() && device.createPrimaryBuffer() &&
                device.setPrimaryFormat(2, 44100, 16);
    std::printf("SDL driver %-6s: %s, period %d frames (asked for %d)\n", driver,
                open ? "open" : "cannot open", device.periodFrames(),
                platform::SdlSoundDevice::requestedPeriod);
    device.releasePrimaryBuffer();
    std::filesystem::remove(file);
}

}  // namespace

int main(int argc, char** argv) {
    reportPeriod("dummy");
    reportPeriod("disk");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
