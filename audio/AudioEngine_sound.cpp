// AudioEngine_sound: one loaded sound, a source buffer and its duplicates played round robin.
#include "audio/AudioEngine_sound.h"

#include <cmath>

#include "audio/AudioEngine.h"
#include "base/Log_.h"
#include "platform/sound/SoundBuffer.h"

namespace {

constexpr int silence = -10000;

}  // namespace

AudioEngine_sound::AudioEngine_sound(platform::SoundBuffer* buffer, int copies) {
    if (!AudioEngine::initialized() || buffer == nullptr) return;
    buffers.add(buffer);
    if (buffers.top != 0) {  // no room for even one handle
        buffer->release();
        return;
    }
    nextBuffer = 0;
    frequency = static_cast<std::int32_t>(buffer->sampleRate());
    for (int i = 1; i < copies; i++) {
        platform::SoundBuffer* copy = buffer->duplicate();
        if (copy == nullptr) {
            programLog().add("loadSound(): Failed to duplicate buffer");
            return;
        }
        buffers.add(copy);
        if (buffers.top != i) {  // the list could not grow: keep what it holds
            copy->release();
            return;
        }
    }
}

// 600 × ln(gain), as the hundredths of a decibel the device takes; a gain at or below one
// millionth is silence.
int AudioEngine_sound::volumeValue(double gain) {
    if (!(gain > 0.000001)) return silence;
    double value = 600.0 * std::log(gain);
    if (value > 0.0) return 0;
    if (value < silence) return silence;
    return static_cast<int>(value);
}

int AudioEngine_sound::panValue(double pan) {
    if (std::isnan(pan)) pan = 0.0;
    if (pan < -0.999) pan = -0.999;
    if (pan > 0.999) pan = 0.999;
    double value = 600.0 * std::log((1.0 + pan) / (1.0 - pan));
    if (value < -10000.0) return -10000;
    if (value > 10000.0) return 10000;
    return static_cast<int>(value);
}

// The product is taken as an unsigned value: a negative one wraps around to a huge rate and so
// lands on the top of the scale, as it would on the machine the program first ran on.
std::uint32_t AudioEngine_sound::frequencyValue(std::int32_t native, double factor) {
    double hertz = native * factor;
    if (hertz < 0.0 || hertz >= 100000.0) return 100000;
    if (!(hertz >= 100.0)) return 100;
    return static_cast<std::uint32_t>(hertz);
}

void AudioEngine_sound::setVolume(double gain) {
    if (!AudioEngine::initialized()) return;
    int value = volumeValue(gain);
    for (int i = 0; i <= buffers.top; i++) {
        platform::SoundBuffer* buffer = buffers.get(i);
        if (buffer == nullptr) continue;
        if (!buffer->setVolume(value) || !buffer->setPan(0)) {
            programLog().add("AudioEngine_sound::play(): Failed to set sound volume");
            return;
        }
    }
}

bool AudioEngine_sound::setParameters(double volume, double pan, double factor) {
    if (!AudioEngine::initialized() || nextBuffer < 0 || nextBuffer > buffers.top) return false;
    platform::SoundBuffer* buffer = buffers.get(nextBuffer);
    if (buffer == nullptr) return false;
    if (std::isnan(pan)) pan = 0.0;
    pan = pan < -0.999 ? -0.999 : (pan > 0.999 ? 0.999 : pan);
    // A panned sound is made louder by 1 + |pan| before the clamp at full level.
    float level = static_cast<float>((std::fabs(pan) + 1.0) * volume);
    bool done = buffer->setPan(panValue(pan)) && buffer->setVolume(volumeValue(level)) &&
                buffer->setFrequency(frequencyValue(frequency, factor));
    if (done) return true;
    programLog().add("AudioEngine_sound::play(): Failed to set play parameters");
    return false;
}

bool AudioEngine_sound::play(bool loop) {
    if (!AudioEngine::initialized() || nextBuffer < 0 || nextBuffer > buffers.top) return false;
    platform::SoundBuffer* buffer = buffers.get(nextBuffer);
    if (buffer == nullptr) return false;
    if (!buffer->stop() || !buffer->play(loop)) {
        programLog().add("AudioEngine_sound::play(): Failed to play sound");
        return false;
    }
    nextBuffer = nextBuffer + 1 > buffers.top ? 0 : nextBuffer + 1;
    return true;
}

void AudioEngine_sound::release() {
    for (int i = 0; i <= buffers.top; i++) {
        platform::SoundBuffer*& buffer = buffers.get(i);
        if (buffer == nullptr) continue;
        buffer->release();
        buffer = nullptr;
    }
}
