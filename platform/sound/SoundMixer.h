// SoundMixer: sums the playing buffers into 16-bit output frames.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sound/SoundVoice.h"

namespace platform {

// The one mixer behind every sound device. `render` is a plain function over plain state: it
// allocates nothing and takes no lock, so it runs inside an audio callback (with the device lock
// held by the caller) as well as in a test that calls it directly.
class SoundMixer {
  public:
    // Every voice of the device, playing or not; the list is changed by the window thread under
    // the device lock only.
    std::vector<SoundVoice*> voices;

    SoundMixer() { voices.reserve(16); }

    void add(SoundVoice* voice);
    void remove(SoundVoice* voice);

    // Fills `frames` output frames of `channels` (1 or 2) interleaved samples. Each playing voice
    // advances by exactly `frames` frames of its step; the sum saturates to 16 bits.
    void render(std::int16_t* out, int frames, int channels);

    // Mixes one voice into a float accumulator of `frames` frames; exposed for tests and
    // benchmarks that look at one voice alone.
    static void mixVoice(SoundVoice& voice, float* acc, int frames, int channels);

  private:
    static void mixNative(SoundVoice& voice, float* acc, int frames, int channels);
    static void mixResampled(SoundVoice& voice, float* acc, int frames, int channels);
    static void reachEnd(SoundVoice& voice);
};

}  // namespace platform
