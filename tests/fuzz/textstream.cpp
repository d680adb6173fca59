// Fuzz target: the settings file loader on arbitrary bytes, followed by every use of the values.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/AudioEngine.h"
#include "engine/Metronome.h"

namespace {

// A stored object of its own nested inside another, to reach the section search with tags that
// the input may place anywhere.
class Inner : public TextStream {
  public:
    int count = 0;
    bool flag = false;
    void exchange() override {
        exchangeInt("count", count);
        exchangeBool("flag", flag);
    }
};

class Outer : public TextStream {
  public:
    double value = 0.0;
    Inner inner;
    void exchange() override {
        exchangeDouble("value", value);
        exchangeSection("inner", inner);
        exchangeSection("", inner);
    }
};

std::string scratchFile() {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/brevant-fuzz-" + std::to_string(getpid()) + ".cfg";
}

struct Fixture {
    AudioEngine audio;
    std::string path = scratchFile();
    std::unique_ptr<Metronome> metronome =
        std::make_unique<Metronome>(audio, SettingsPlace::only(path));
};

void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture* fixture = new Fixture;  // kept for the whole run; nothing to save at exit
    Metronome& m = *fixture->metronome;
    writeBytes(fixture->path, data, size);
    // As at start-up: the size limit, the lines, the keys.
    m.loadSettings();
    // The file's lines are read once: the nested object takes them from the metronome's stream,
    // which holds the file's lines after any load that read the file.
    Outer outer;
    outer.lines = m.lines;
    if (outer.load("o", "")) outer.save("o", "");
    // Every use of the values, then every value written back as text.
    m.bpm();
    m.gain();
    m.beats = m.shownBeats();
    // The practice patterns as the dial, the trainer and the bar use them (the bar itself, over
    // every clamped value, is the engine tests' business: rendering it here would slow each run
    // a hundredfold).
    for (int count = 1; count <= 9; count++)
        for (int beat = 0; beat < count; beat++)
            m.beatLevel(count, beat);
    m.cycleBeatLevel(0);
    m.trainerNext(m.bpm());
    m.silentAt(INT64_MAX);
    m.save(m.header, "");
    return 0;
}
