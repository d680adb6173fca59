// SdlSoundDevice: the sound device on the default output, through SDL's audio subsystem.
#pragma once

#include <cstdint>

#include "platform/SoundDevice.h"

namespace platform {

// SDL picks the output (PipeWire, PulseAudio, ALSA, JACK; SDL_AUDIODRIVER may name another, such
// as "disk" or "dummy"). The mixer runs in SDL's audio callback on SDL's audio thread; lock()
// takes SDL's device lock, which the callback holds while it mixes.
//
// If the device disappears while playing (unplugged, sound server restarted), SDL stops calling
// the callback: the buffers keep their positions and the output stays silent. Every call from
// the window thread still returns at once.
class SdlSoundDevice : public SoundDevice {
  public:
    // Frames per device period asked of SDL; SDL may grant another size, which is kept.
    static constexpr int requestedPeriod = 512;

    SdlSoundDevice() = default;
    ~SdlSoundDevice() override;

    bool createInterface() override;
    bool createPrimaryBuffer() override;
    bool setPrimaryFormat(int channels, int rate, int bits) override;
    void releasePrimaryBuffer() override;

    void lock() override;
    void unlock() override;

    // The name of the audio driver SDL chose ("pulseaudio", "disk", ...), or "" before.
    const char* driverName() const;

  private:
    std::uint32_t deviceId = 0;
    bool subsystemUp = false;

    bool openOutput(int channels);
    static void callback(void* self, std::uint8_t* stream, int bytes);
};

}  // namespace platform
