// SdlSoundDevice: the sound device on the default output, through SDL's audio subsystem.
#pragma once

#include <cstdint>

#include "platform/sound/SoundDevice.h"

namespace platform {

// SDL picks the output (PipeWire, PulseAudio, ALSA, JACK; SDL_AUDIODRIVER may name another, such
// as "disk" or "dummy"). The mixer runs in SDL's audio callback on SDL's audio thread; lock()
// takes SDL's device lock, which the callback holds while it mixes.
//
// If the device disappears while playing (unplugged, sound server restarted), SDL stops calling
// the callback: the buffers keep their positions. service() notices it on the window thread and
// opens the default output again, at most once a second, so that a playing bar sounds again from
// where it stopped. Every call from the window thread returns at once meanwhile.
//
// While no buffer plays the device is paused, so that the mixer does not run for silence.
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

    // The period, which the driver holds before the ear; 0 for the "disk" and "dummy" drivers,
    // which nobody hears.
    int latencyFrames() override;
    void service() override;

    // The name of the audio driver SDL chose ("pulseaudio", "disk", ...), or "" before.
    const char* driverName() const;

  private:
    std::uint32_t deviceId = 0;
    bool subsystemUp = false;
    int lostChannels = 0;                 // the channel count of an output that was lost
    std::uint32_t lastReopenAttempt = 0;  // clock milliseconds

    bool openOutput(int channels);
    void activityChanged() override;
    void reopenLostOutput();
    static void callback(void* self, std::uint8_t* stream, int bytes);
};

}  // namespace platform
