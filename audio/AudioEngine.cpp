// AudioEngine: the program's path to the loudspeakers, sounds played from memory.
#include "audio/AudioEngine.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/Log_.h"
#include "platform/sound/SoundBuffer.h"
#include "platform/sound/SoundDevice.h"

namespace {

// The device state every engine shares. It is plain data, so that it is in place before any
// global engine is built and still there when the last one is destroyed.
struct DeviceState {
    platform::SoundDevice* device = nullptr;  // the interface, owned here
    bool primary = false;                     // the output (primary buffer) exists
    bool initialized = false;
};

DeviceState state;

bool fail(const char* message) {
    programLog().add(message);
    return false;
}

}  // namespace

AudioEngine::~AudioEngine() {
    for (int i = 0; i <= sounds.top; i++)
        sounds.get(i).release();
    closeDevice();
}

bool AudioEngine::initialized() {
    return state.initialized;
}

platform::SoundDevice* AudioEngine::device() {
    return state.initialized ? state.device : nullptr;
}

// Releases the output and the interface. The device goes with them, so the engine counts as
// uninitialised again: nothing may reach a device that no longer exists.
void AudioEngine::closeDevice() {
    if (state.device == nullptr) return;
    if (state.primary) state.device->releasePrimaryBuffer();
    passMessages(*state.device);
    delete state.device;
    state = DeviceState{};
}

bool AudioEngine::init(void* window, int mode) {
    return init(window, mode, platform::SoundDevice::createDefault());
}

bool AudioEngine::init(void* window, int mode, std::unique_ptr<platform::SoundDevice> device) {
    channels = 0;
    // Opening again replaces the device; the sounds made on the old one cannot outlive it.
    if (state.device != nullptr) {
        releaseAllSounds();
        closeDevice();
    }
    if (device == nullptr) return fail("AudioEngine::init(): Failed to create interface");
    const char* failure = nullptr;
    if (!device->createInterface())
        failure = "AudioEngine::init(): Failed to create interface";
    else if (!device->setCooperativeLevel(window))
        failure = "AudioEngine::init(): Failed to set cooperative level";
    else if (!device->createPrimaryBuffer())
        failure = "AudioEngine::init(): Failed to create primary buffer";
    else if (!device->setPrimaryFormat(mode < 2 ? 1 : 2, device->nativeRate(), 16)) {
        device->releasePrimaryBuffer();
        failure = "AudioEngine::init(): Failed to set primary buffer format";
    }
    // The device's own words say what it tried and what it opened, whatever the outcome.
    passMessages(*device);
    if (failure != nullptr) return fail(failure);
    state.device = device.release();
    state.primary = true;
    state.initialized = true;
    channels = static_cast<std::int8_t>(mode);
    return true;
}

int AudioEngine::loadSound(const std::int16_t* samples, int count, int copies) {
    if (!state.initialized) return -1;
    platform::SoundBuffer* buffer = nullptr;
    if (samples != nullptr && count > 0)
        buffer = state.device->createBuffer(2u * static_cast<std::uint32_t>(count));
    void* region = nullptr;
    std::uint32_t bytes = 0;
    if (buffer == nullptr || !buffer->lock(&region, &bytes)) {
        if (buffer != nullptr) buffer->release();
        fail("AudioEngine::loadSound(): Failed to load sound from memory");
        return -1;
    }
    std::memcpy(region, samples, std::min<std::size_t>(bytes, 2u * std::size_t(count)));
    buffer->unlock();
    int before = sounds.top;
    AudioEngine_sound sound(buffer, copies);
    sounds.add(sound);
    if (sounds.top == before + 1) return sounds.top;
    sound.release();  // the list could not grow
    fail("AudioEngine::loadSound(): Failed to load sound from memory");
    return -1;
}

bool AudioEngine::playSound(int index, double volume, double pan, double factor, bool loop) {
    if (!state.initialized || index < 0 || index > sounds.top || channels == 0) return false;
    if (channels == 1) pan = 0.0;
    if (channels == 3) pan = 2.0 * pan;
    AudioEngine_sound& sound = sounds.get(index);
    if (!sound.setParameters(volume, pan, factor)) return false;
    return sound.play(loop);
}

void AudioEngine::setSoundVolume(int index, double gain) {
    if (!state.initialized || index < 0 || index > sounds.top) return;
    sounds.get(index).setVolume(gain);
}

bool AudioEngine::playSoundAfter(int index, std::uint32_t frames, double gain) {
    if (!state.initialized || index < 0 || index > sounds.top) return false;
    platform::SoundBuffer* buffer = sounds.get(index).buffers.get(0);
    if (buffer == nullptr) return false;
    sounds.get(index).setVolume(gain);
    return buffer->playAfter(frames);
}

void AudioEngine::stopAtEnd(int index) {
    if (!state.initialized || index < 0 || index > sounds.top) return;
    platform::SoundBuffer* buffer = sounds.get(index).buffers.get(0);
    if (buffer != nullptr && buffer->playing()) buffer->play(false);
}

void AudioEngine::releaseSound(int index) {
    if (!state.initialized || index < 0 || index > sounds.top) return;
    sounds.get(index).release();
    sounds.remove(index);
}

void AudioEngine::releaseAllSounds() {
    if (!state.initialized) return;
    while (sounds.top >= 0) {
        sounds.get(sounds.top).release();
        sounds.remove(sounds.top);
    }
}

std::uint32_t AudioEngine::playPosition(int index) {
    if (!state.initialized || index < 0 || index > sounds.top) return 0;
    platform::SoundBuffer* buffer = sounds.get(index).buffers.get(0);
    return buffer != nullptr ? buffer->position() / 2 : 0;
}

// A missing sound is passed over rather than trusted: a bar that failed to load leaves no sound
// at the index its caller expects.
void AudioEngine::setPlayPosition(int index, std::uint32_t bytePosition) {
    if (!state.initialized || index < 0 || index > sounds.top) return;
    platform::SoundBuffer* buffer = sounds.get(index).buffers.get(0);
    if (buffer != nullptr) buffer->setPosition(bytePosition);
}

std::uint32_t AudioEngine::heardPosition(int index) {
    if (!state.initialized || index < 0 || index > sounds.top) return 0;
    platform::SoundBuffer* buffer = sounds.get(index).buffers.get(0);
    if (buffer == nullptr) return 0;
    Lock lock(*this);
    const std::int64_t length = buffer->sizeInBytes() / 2;
    const std::int64_t heard =
        static_cast<std::int64_t>(buffer->position() / 2) - state.device->latencyFrames();
    return static_cast<std::uint32_t>(((heard % length) + length) % length);
}

int AudioEngine::sampleRate() {
    return state.initialized ? state.device->rate() : platform::SoundDevice::sampleRate;
}

void AudioEngine::setClockSound(int index, int pulsesPerLoop) {
    if (!state.initialized) return;
    platform::SoundBuffer* buffer = nullptr;
    if (index >= 0 && index <= sounds.top) buffer = sounds.get(index).buffers.get(0);
    Lock lock(*this);
    state.device->setClockBuffer(buffer, pulsesPerLoop);
}

void AudioEngine::queueClockSound(int index, int pulsesPerLoop) {
    if (!state.initialized || index < 0 || index > sounds.top) return;
    state.device->queueClockBuffer(sounds.get(index).buffers.get(0), pulsesPerLoop);
}

bool AudioEngine::transport(platform::SoundTransport& out) {
    if (!state.initialized) return false;
    Lock lock(*this);
    return state.device->readTransport(out);
}

std::uint64_t AudioEngine::mixedFrames() {
    return state.initialized ? state.device->framesMixed() : 0;
}

int AudioEngine::outputLatency() {
    return state.initialized ? state.device->latencyFrames() : 0;
}

bool AudioEngine::heardClock(platform::HeardClock& out) {
    if (!state.initialized) return false;
    Lock lock(*this);
    return state.device->heardClock(out);
}

void AudioEngine::service() {
    if (!state.initialized) return;
    state.device->service();
    passMessages(*state.device);
}

void AudioEngine::passMessages(platform::SoundDevice& device) {
    char line[256];
    while (device.takeMessage(line, sizeof line))
        report(line);
}

AudioEngine::Lock::Lock(AudioEngine& /*engine*/) : device(AudioEngine::device()) {
    if (device != nullptr) device->lock();
}

AudioEngine::Lock::~Lock() {
    if (device != nullptr) device->unlock();
}
