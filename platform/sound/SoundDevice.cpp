// SoundDevice: an output device at its own rate (44100 Hz unless it says otherwise), 16 bits,
// with buffers and one mixer behind it.
#include "platform/sound/SoundDevice.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/sound/JackSoundDevice.h"
#include "platform/sound/PulseSoundDevice.h"
#include "platform/sound/SdlSoundDevice.h"
#include "platform/sound/SoundBuffer.h"

namespace platform {

namespace {

SoundDevice::Kind requestedKind = SoundDevice::Kind::automatic;

}  // namespace

SoundDevice::~SoundDevice() {
    freeBuffers();
}

bool SoundDevice::kindFromName(const char* name, Kind& kind) {
    if (name == nullptr) return false;
    if (std::strcmp(name, "pulse") == 0)
        kind = Kind::pulse;
    else if (std::strcmp(name, "sdl") == 0)
        kind = Kind::sdl;
    else if (std::strcmp(name, "jack") == 0)
        kind = Kind::jack;
    else
        return false;
    return true;
}

void SoundDevice::request(Kind kind) {
    requestedKind = kind;
}

// A named device is made even when it cannot open: its failure is then the user's answer. A
// forced SDL driver wins the automatic choice, so that "disk" and "dummy" keep their
// sample-exact recordings. The server is asked once; then a JACK server that runs already; a
// desktop with neither gets SDL's own order of drivers.
std::unique_ptr<SoundDevice> SoundDevice::createDefault() {
    if (requestedKind == Kind::sdl) return std::make_unique<SdlSoundDevice>();
    if (requestedKind == Kind::pulse) return std::make_unique<PulseSoundDevice>();
    if (requestedKind == Kind::jack) return std::make_unique<JackSoundDevice>();
    const char* forced = std::getenv("SDL_AUDIODRIVER");
    if (forced != nullptr && forced[0] != '\0') return std::make_unique<SdlSoundDevice>();
    auto server = std::make_unique<PulseSoundDevice>();
    if (server->createInterface()) return server;
    auto jack = std::make_unique<JackSoundDevice>();
    if (jack->createInterface()) {
        jack->note("no sound server answered; a JACK server runs");
        return jack;
    }
    auto sdl = std::make_unique<SdlSoundDevice>();
    sdl->note("no sound server answered and no JACK server runs; trying SDL's audio drivers");
    return sdl;
}

SoundVoice* SoundDevice::voiceOf(SoundBuffer* buffer) {
    return buffer != nullptr ? &buffer->voice : nullptr;
}

bool SoundDevice::takeMessage(char* out, std::size_t size) {
    if (out == nullptr || size == 0) return false;
    lock();
    const bool any = messageCount > 0;
    if (any) {
        std::snprintf(out, size, "%s", messages[firstMessage]);
        firstMessage = (firstMessage + 1) % maxMessages;
        messageCount--;
    }
    unlock();
    return any;
}

void SoundDevice::note(const char* format, ...) {
    if (messageCount == maxMessages) {
        firstMessage = (firstMessage + 1) % maxMessages;
        messageCount--;
    }
    char* slot = messages[(firstMessage + messageCount) % maxMessages];
    va_list args;
    va_start(args, format);
    std::vsnprintf(slot, messageSize, format, args);
    va_end(args);
    messageCount++;
}

bool SoundDevice::anyPlaying() const {
    for (const SoundVoice* voice : mixer.voices)
        if (voice->playing) return true;
    return false;
}

bool SoundDevice::setCooperativeLevel(void* /*window*/) {
    return true;
}

SoundBuffer* SoundDevice::createBuffer(std::uint32_t bytes) {
    if (bytes < 4 || bytes > maxBufferBytes || bytes % 2 != 0) return nullptr;
    if (!mayCreateBuffer(false)) return nullptr;
    std::uint32_t length = bytes / 2;
    std::shared_ptr<std::int16_t[]> data(new (std::nothrow) std::int16_t[length]());
    if (!data) return nullptr;
    auto* buffer = new (std::nothrow) SoundBuffer(*this, std::move(data), length);
    if (buffer != nullptr) attach(buffer);
    return buffer;
}

SoundBuffer* SoundDevice::duplicate(const SoundBuffer& source) {
    if (!mayCreateBuffer(true)) return nullptr;
    auto* buffer = new (std::nothrow) SoundBuffer(*this, source.data, source.length);
    if (buffer != nullptr) attach(buffer);
    return buffer;
}

// The lists may grow here; that happens on the window thread, under the lock, never in the mixer.
void SoundDevice::attach(SoundBuffer* buffer) {
    lock();
    buffers.push_back(buffer);
    mixer.add(&buffer->voice);
    unlock();
}

void SoundDevice::detach(SoundBuffer* buffer) {
    lock();
    mixer.remove(&buffer->voice);
    auto it = std::find(buffers.begin(), buffers.end(), buffer);
    if (it != buffers.end()) buffers.erase(it);
    if (buffer->voice.playing) activityChanged();
    voiceDetached(&buffer->voice);
    unlock();
}

void SoundDevice::freeBuffers() {
    for (SoundBuffer* buffer : buffers)
        delete buffer;
    buffers.clear();
    mixer.voices.clear();
}

}  // namespace platform
