// SdlSoundDevice: the sound device on the default output, through SDL's audio subsystem.
#include "platform/sound/SdlSoundDevice.h"

#include <SDL2/SDL.h>

#include <cstring>

#include "platform/system/Clock.h"

namespace platform {

namespace {

constexpr std::uint32_t reopenInterval = 1000;  // milliseconds between two attempts

bool silentDriver(const char* name) {
    return std::strcmp(name, "disk") == 0 || std::strcmp(name, "dummy") == 0;
}

}  // namespace

SdlSoundDevice::~SdlSoundDevice() {
    releasePrimaryBuffer();
    freeBuffers();
    if (subsystemUp) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlSoundDevice::createInterface() {
    if (subsystemUp) return true;
    subsystemUp = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return subsystemUp;
}

// The output is opened in stereo here and reopened when the format asks for another layout, so
// that a missing or busy device is found out at this step.
bool SdlSoundDevice::createPrimaryBuffer() {
    if (!subsystemUp) return false;
    if (deviceId != 0) return true;
    return openOutput(2);
}

bool SdlSoundDevice::setPrimaryFormat(int channels, int rate, int bits) {
    if (rate != sampleRate || bits != 16 || channels < 1 || channels > 2) return false;
    if (deviceId == 0) return false;
    if (channels != outputChannels) {
        releasePrimaryBuffer();
        if (!openOutput(channels)) return false;
    }
    lock();
    activityChanged();
    unlock();
    return true;
}

// SDL converts to whatever the hardware takes, so the callback always sees 44100 Hz signed 16-bit
// frames of our channel count; only the period may differ from the one asked for.
bool SdlSoundDevice::openOutput(int channels) {
    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = requestedPeriod;
    want.callback = &SdlSoundDevice::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    deviceId = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (deviceId == 0) return false;
    outputChannels = channels;
    period = have.samples;
    note("sound through SDL's \"%s\" driver: %d Hz, %d channels, period %d frames (%.1f ms)",
         driverName(), sampleRate, channels, period, 1000.0 * period / sampleRate);
    return true;
}

// Closing waits for the audio thread to leave the callback, so no mixing runs after this.
void SdlSoundDevice::releasePrimaryBuffer() {
    if (deviceId == 0) return;
    SDL_CloseAudioDevice(deviceId);
    deviceId = 0;
    outputChannels = 0;
    period = 0;
}

void SdlSoundDevice::lock() {
    if (deviceId != 0) SDL_LockAudioDevice(deviceId);
}

void SdlSoundDevice::unlock() {
    if (deviceId != 0) SDL_UnlockAudioDevice(deviceId);
}

int SdlSoundDevice::latencyFrames() {
    if (deviceId == 0 || silentDriver(driverName())) return 0;
    return period;
}

// The mixer rests while nothing plays; SDL hands the driver silence meanwhile.
void SdlSoundDevice::activityChanged() {
    if (deviceId != 0) SDL_PauseAudioDevice(deviceId, anyPlaying() ? 0 : 1);
}

// SDL marks an output whose device went away as stopped (and posts SDL_AUDIODEVICEREMOVED); the
// status is enough to notice it here, without a route from the event queue.
void SdlSoundDevice::service() {
    if (deviceId != 0 && SDL_GetAudioDeviceStatus(deviceId) == SDL_AUDIO_STOPPED) {
        lostChannels = outputChannels;
        releasePrimaryBuffer();
        note("sound output lost; opening the default output again");
        lastReopenAttempt = clockMilliseconds();
        return;
    }
    if (lostChannels != 0) reopenLostOutput();
}

void SdlSoundDevice::reopenLostOutput() {
    const std::uint32_t now = clockMilliseconds();
    if (now - lastReopenAttempt < reopenInterval) return;
    lastReopenAttempt = now;
    if (!openOutput(lostChannels)) return;
    lostChannels = 0;
    note("sound output back");
    lock();
    activityChanged();
    unlock();
}

const char* SdlSoundDevice::driverName() const {
    const char* name = subsystemUp ? SDL_GetCurrentAudioDriver() : nullptr;
    return name != nullptr ? name : "";
}

// Runs on SDL's audio thread with the device lock held: it only mixes.
void SdlSoundDevice::callback(void* self, std::uint8_t* stream, int bytes) {
    auto* device = static_cast<SdlSoundDevice*>(self);
    int frameBytes = 2 * device->outputChannels;
    device->mix(reinterpret_cast<std::int16_t*>(stream), bytes / frameBytes);
}

}  // namespace platform
