// SoundBuffer: one mono 16-bit sound buffer of a sound device, with its playing state.
#include "platform/sound/SoundBuffer.h"

#include <cmath>
#include <utility>

#include "platform/sound/SoundDevice.h"

namespace platform {

namespace {

// Hundredths of a decibel to an amplitude factor; the bottom of the scale is silence.
float attenuation(int hundredths) {
    if (hundredths <= SoundBuffer::minVolume) return 0.0f;
    return static_cast<float>(std::pow(10.0, hundredths / 2000.0));
}

// Holds the device lock for one call, so the mixer sees each change whole.
class Hold {
  public:
    explicit Hold(SoundDevice& device) : device(device) { device.lock(); }
    ~Hold() { device.unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

  private:
    SoundDevice& device;
};

}  // namespace

SoundBuffer::SoundBuffer(SoundDevice& device, std::shared_ptr<std::int16_t[]> data,
                         std::uint32_t length)
    : device(device),
      data(std::move(data)),
      length(length),
      frequencyValue(static_cast<std::uint32_t>(device.rate())) {
    voice.samples = this->data.get();
    voice.length = length;
}

bool SoundBuffer::lock(void** region, std::uint32_t* bytes) {
    if (region == nullptr || bytes == nullptr) return false;
    device.lock();
    *region = data.get();
    *bytes = sizeInBytes();
    return true;
}

bool SoundBuffer::unlock() {
    device.unlock();
    return true;
}

std::uint32_t SoundBuffer::sampleRate() const {
    return static_cast<std::uint32_t>(device.rate());
}

SoundBuffer* SoundBuffer::duplicate() {
    return device.duplicate(*this);
}

bool SoundBuffer::setVolume(int hundredthsOfDecibel) {
    if (hundredthsOfDecibel < minVolume || hundredthsOfDecibel > maxVolume) return false;
    Hold hold(device);
    volumeValue = hundredthsOfDecibel;
    updateGains();
    return true;
}

bool SoundBuffer::setPan(int pan) {
    if (pan < -maxPan || pan > maxPan) return false;
    Hold hold(device);
    panValue = pan;
    updateGains();
    return true;
}

bool SoundBuffer::setFrequency(std::uint32_t hertz) {
    if (hertz < minFrequency || hertz > maxFrequency) return false;
    Hold hold(device);
    frequencyValue = hertz;
    voice.step = (std::uint64_t{hertz} << 32) / static_cast<std::uint64_t>(device.rate());
    return true;
}

// Pan attenuates only the channel away from the side it points to; the near one keeps the volume.
void SoundBuffer::updateGains() {
    float level = attenuation(volumeValue);
    voice.gainMono = level;
    voice.gainLeft = level * (panValue > 0 ? attenuation(-panValue) : 1.0f);
    voice.gainRight = level * (panValue < 0 ? attenuation(panValue) : 1.0f);
}

bool SoundBuffer::play(bool loop) {
    Hold hold(device);
    voice.looping = loop;
    const bool started = !voice.playing;
    voice.playing = true;
    if (started) device.activityChanged();
    return true;
}

bool SoundBuffer::playAfter(std::uint32_t frames) {
    Hold hold(device);
    voice.delay = frames;
    return play(true);
}

bool SoundBuffer::stop() {
    Hold hold(device);
    const bool stopped = voice.playing;
    voice.playing = false;
    voice.delay = 0;
    if (stopped) device.activityChanged();
    return true;
}

bool SoundBuffer::playing() const {
    Hold hold(device);
    return voice.playing;
}

std::uint32_t SoundBuffer::position() const {
    Hold hold(device);
    return voice.position * 2;
}

bool SoundBuffer::setPosition(std::uint32_t bytes) {
    std::uint32_t sample = bytes / 2;
    if (sample >= length) return false;
    Hold hold(device);
    voice.position = sample;
    voice.fraction = 0;
    return true;
}

void SoundBuffer::release() {
    device.detach(this);
    delete this;
}

}  // namespace platform
