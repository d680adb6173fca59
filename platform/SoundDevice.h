// SoundDevice: an output device at 44100 Hz, 16 bits, with buffers and one mixer behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/SoundMixer.h"

namespace platform {

class SoundBuffer;

// The device's operations come in the order a program opens sound: create the interface, set the
// cooperative level, create the primary buffer (the output), set its format, then create sound
// buffers. The output runs from the moment its format is set. The derived devices decide where
// the mixed frames go: SdlSoundDevice to the loudspeakers, OfflineSoundDevice into memory.
//
// Destroying the device releases the interface. Buffers still alive then are freed with it.
class SoundDevice {
  public:
    static constexpr int sampleRate = 44100;
    static constexpr std::uint32_t maxBufferBytes = 0x0FFFFFFF;

    SoundDevice() = default;
    virtual ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    virtual bool createInterface() = 0;
    // Nothing to arrange on this system: every program shares the output.
    virtual bool setCooperativeLevel(void* window);
    virtual bool createPrimaryBuffer() = 0;
    // Opens the output at `rate` Hz with `bits` per sample and `channels` (1 or 2) and starts it.
    virtual bool setPrimaryFormat(int channels, int rate, int bits) = 0;
    // Stops the output. Buffers stay valid but are no longer mixed.
    virtual void releasePrimaryBuffer() = 0;

    // A silent mono buffer of `bytes` bytes (even, 4 or more); null on failure.
    SoundBuffer* createBuffer(std::uint32_t bytes);

    // The device lock: while it is held the mixer does not run, so several calls act as one step.
    // It is recursive.
    virtual void lock() = 0;
    virtual void unlock() = 0;

    int channels() const { return outputChannels; }
    // Frames the output asks for at a time (0 until the output runs).
    int periodFrames() const { return period; }

  protected:
    int outputChannels = 0;
    int period = 0;

    // Renders frames of the output format with the lock already held (by the audio callback's
    // caller or by the derived device).
    void mix(std::int16_t* out, int frames) { mixer.render(out, frames, outputChannels); }
    // A device may refuse new buffers or duplicates (a test device that simulates failures).
    virtual bool mayCreateBuffer(bool /*duplicate*/) { return true; }
    // Frees the buffers still alive; the output must be stopped already.
    void freeBuffers();

  private:
    friend class SoundBuffer;
    SoundMixer mixer;
    std::vector<SoundBuffer*> buffers;

    SoundBuffer* duplicate(const SoundBuffer& source);
    void attach(SoundBuffer* buffer);
    void detach(SoundBuffer* buffer);
};

}  // namespace platform
