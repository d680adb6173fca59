// BenchMetronome: a metronome over an audio engine, with its settings in a folder of its own that
// goes when the benchmark ends.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "audio/AudioEngine.h"
#include "engine/Metronome.h"

struct BenchMetronome {
    AudioEngine audio;
    std::string folder;
    std::string path;
    std::unique_ptr<Metronome> metronome;

    BenchMetronome() {
        char pattern[] = "/tmp/brevant-bench-XXXXXX";
        folder = mkdtemp(pattern);
        path = folder + "/settings.cfg";
        metronome = std::make_unique<Metronome>(audio, SettingsPlace::only(path));
    }
    ~BenchMetronome() {
        metronome.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }
    BenchMetronome(const BenchMetronome&) = delete;
    BenchMetronome& operator=(const BenchMetronome&) = delete;
};
