// SoundBuffer: one mono 16-bit sound buffer of a sound device, with its playing state.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/sound/SoundVoice.h"

namespace platform {

class SoundDevice;

// A handle to sample memory and a play cursor. Buffers are made by SoundDevice::createBuffer and
// by duplicate(), and end by release(), which frees the handle itself. Every call comes from the
// window thread and takes the device lock for the moment it needs, so the mixer never sees a
// half-made change.
//
// Scales: volume in hundredths of a decibel, -10000 (silence) to 0, an amplitude factor of
// 10^(volume / 2000); pan -10000 (left) to 10000 (right), the far channel attenuated by |pan|
// hundredths of a decibel; frequency 100 to 100000 Hz, played at frequency / device rate speed.
// A value outside its scale is refused (false) and changes nothing.
class SoundBuffer {
  public:
    static constexpr int minVolume = -10000;
    static constexpr int maxVolume = 0;
    static constexpr int maxPan = 10000;
    static constexpr std::uint32_t minFrequency = 100;
    static constexpr std::uint32_t maxFrequency = 100000;

    SoundBuffer(SoundDevice& device, std::shared_ptr<std::int16_t[]> data, std::uint32_t length);
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // Gives write access to the whole sample memory (one region). The device lock is held from
    // lock to unlock, so keep the two close together.
    bool lock(void** region, std::uint32_t* bytes);
    bool unlock();

    // The buffer's sample rate (its format): always the device rate.
    std::uint32_t sampleRate() const;
    std::uint32_t sizeInBytes() const { return length * 2; }

    // A new buffer over the same sample data with its own cursor, volume, pan and frequency. The
    // data lives while any buffer uses it. Returns null when the device refuses.
    SoundBuffer* duplicate();

    bool setVolume(int hundredthsOfDecibel);
    bool setPan(int pan);
    bool setFrequency(std::uint32_t hertz);
    int volume() const { return volumeValue; }
    int pan() const { return panValue; }
    std::uint32_t frequency() const { return frequencyValue; }

    // Starts from the current position, once or looping. A buffer played once stops at its end
    // and its cursor returns to the start.
    bool play(bool loop);
    // Plays looping like play(true), but only after `frames` output frames of silence.
    bool playAfter(std::uint32_t frames);
    // Stops; the position stays where the mixer left it.
    bool stop();
    bool playing() const;

    // The play cursor in bytes: twice the index of the next sample the mixer takes.
    std::uint32_t position() const;
    // Moves the cursor, aligned down to a whole sample. A position at or past the end is refused
    // and the cursor stays.
    bool setPosition(std::uint32_t bytes);

    // Stops the buffer, detaches it from the mixer and frees the handle: `this` is gone after.
    void release();

  private:
    friend class SoundDevice;
    ~SoundBuffer() = default;

    SoundDevice& device;
    std::shared_ptr<std::int16_t[]> data;  // freed on the window thread, never by the mixer
    std::uint32_t length;
    SoundVoice voice;
    int volumeValue = 0;
    int panValue = 0;
    std::uint32_t frequencyValue;

    void updateGains();
};

}  // namespace platform
