// OfflineSoundDevice: a sound device that renders into memory when asked, for tests and benchmarks.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/sound/SoundDevice.h"

namespace platform {

// Time stands still until render() is called: each call mixes exactly the frames asked for, so a
// test controls the sample clock to the frame. Single steps of opening and buffer creation can be
// made to fail, so that the callers' failure paths can be exercised.
class OfflineSoundDevice : public SoundDevice {
  public:
    enum Fault : unsigned {
        noFault = 0,
        failInterface = 1,
        failCooperativeLevel = 2,
        failPrimaryBuffer = 4,
        failPrimaryFormat = 8,
        failBuffers = 16,     // createBuffer and duplicate refuse
        failDuplicates = 32,  // duplicate alone refuses
    };

    // The device takes the rate setPrimaryFormat gives (44100 from the audio engine unless
    // nativeRate is set otherwise), so that a test renders bars at another device's rate.
    explicit OfflineSoundDevice(unsigned faults = noFault, int nativeRate = sampleRate)
        : faults(faults), native(nativeRate) {}
    ~OfflineSoundDevice() override;

    void setFaults(unsigned newFaults) { faults = newFaults; }
    // Lets `count` more duplicates succeed before failDuplicates takes effect.
    void allowDuplicates(int count) { duplicatesAllowed = count; }

    bool createInterface() override;
    bool setCooperativeLevel(void* window) override;
    bool createPrimaryBuffer() override;
    int nativeRate() override { return native; }
    bool setPrimaryFormat(int channels, int rate, int bits) override;
    void releasePrimaryBuffer() override;

    void lock() override { mutex.lock(); }
    void unlock() override { mutex.unlock(); }

    // Pretends that `frames` of output lie between the mixer and the ear, as a server's buffer
    // would; 0 (nothing between them) unless set.
    void setLatency(int frames) { latency = frames; }
    int latencyFrames() override { return latency; }

    // Mixes `frames` output frames into `out` (frames × channels samples). Before the format is
    // set, or after the output was released, the frames are silence and no buffer advances.
    void render(std::int16_t* out, int frames);
    std::vector<std::int16_t> render(int frames);

  private:
    std::recursive_mutex mutex;
    unsigned faults;
    int native;
    int duplicatesAllowed = 0;
    int latency = 0;
    bool running = false;

    bool mayCreateBuffer(bool duplicate) override;
};

}  // namespace platform
