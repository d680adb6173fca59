// SoundMixer: sums the playing buffers into 16-bit output frames.
#include "platform/sound/SoundMixer.h"

#include <algorithm>

namespace platform {

namespace {

// Frames mixed per pass; the accumulator lives on the stack so that rendering allocates nothing.
constexpr int chunkFrames = 256;

std::int16_t saturate(float value) {
    if (value >= 32767.0f) return 32767;
    if (value <= -32768.0f) return -32768;
    return static_cast<std::int16_t>(value < 0 ? value - 0.5f : value + 0.5f);
}

}  // namespace

void SoundMixer::add(SoundVoice* voice) {
    if (std::find(voices.begin(), voices.end(), voice) == voices.end()) voices.push_back(voice);
}

void SoundMixer::remove(SoundVoice* voice) {
    auto it = std::find(voices.begin(), voices.end(), voice);
    if (it != voices.end()) voices.erase(it);
}

void SoundMixer::render(std::int16_t* out, int frames, int channels) {
    float acc[chunkFrames * 2];
    while (frames > 0) {
        int n = std::min(frames, chunkFrames);
        std::fill(acc, acc + n * channels, 0.0f);
        for (SoundVoice* voice : voices)
            if (voice->playing) mixVoice(*voice, acc, n, channels);
        for (int i = 0; i < n * channels; i++)
            out[i] = saturate(acc[i]);
        out += n * channels;
        frames -= n;
    }
}

void SoundMixer::mixVoice(SoundVoice& voice, float* acc, int frames, int channels) {
    if (voice.length == 0 || voice.samples == nullptr) {
        voice.playing = false;
        return;
    }
    if (voice.position >= voice.length) voice.position %= voice.length;
    // A voice told to start later counts its frames down first, so that it starts on an exact
    // output frame whatever the chunks are.
    if (voice.delay > 0) {
        const int wait = static_cast<int>(std::min<std::uint32_t>(voice.delay, frames));
        voice.delay -= static_cast<std::uint32_t>(wait);
        acc += wait * channels;
        frames -= wait;
        if (frames == 0) return;
    }
    if (voice.step == SoundVoice::unitStep && voice.fraction == 0)
        mixNative(voice, acc, frames, channels);
    else
        mixResampled(voice, acc, frames, channels);
}

// At the device rate every output frame takes exactly one sample, so whole runs up to the end of
// the buffer are copied with their gains and nothing is interpolated.
void SoundMixer::mixNative(SoundVoice& voice, float* acc, int frames, int channels) {
    while (frames > 0 && voice.playing) {
        std::uint32_t run = std::min<std::uint32_t>(frames, voice.length - voice.position);
        const std::int16_t* src = voice.samples + voice.position;
        if (channels == 2) {
            for (std::uint32_t i = 0; i < run; i++) {
                acc[2 * i] += src[i] * voice.gainLeft;
                acc[2 * i + 1] += src[i] * voice.gainRight;
            }
        } else {
            for (std::uint32_t i = 0; i < run; i++)
                acc[i] += src[i] * voice.gainMono;
        }
        acc += run * channels;
        frames -= static_cast<int>(run);
        voice.position += run;
        if (voice.position >= voice.length) reachEnd(voice);
    }
}

// Away from the device rate the voice steps through its samples in 32.32 fixed point and each
// frame interpolates linearly between the two samples around the read point.
void SoundMixer::mixResampled(SoundVoice& voice, float* acc, int frames, int channels) {
    for (int i = 0; i < frames && voice.playing; i++) {
        std::uint32_t next = voice.position + 1;
        float a = voice.samples[voice.position];
        float b =
            next < voice.length ? voice.samples[next] : (voice.looping ? voice.samples[0] : 0);
        float value = a + (b - a) * (voice.fraction * (1.0f / 4294967296.0f));
        if (channels == 2) {
            acc[2 * i] += value * voice.gainLeft;
            acc[2 * i + 1] += value * voice.gainRight;
        } else {
            acc[i] += value * voice.gainMono;
        }
        std::uint64_t phase = std::uint64_t{voice.fraction} + voice.step;
        voice.fraction = static_cast<std::uint32_t>(phase);
        std::uint64_t position = voice.position + (phase >> 32);
        while (position >= voice.length && voice.playing) {
            position = voice.looping ? position - voice.length : 0;
            if (!voice.looping) reachEnd(voice);
        }
        voice.position = static_cast<std::uint32_t>(position);
    }
}

// A looping voice starts over at its first sample; a voice played once stops there, ready to be
// played again from the top.
void SoundMixer::reachEnd(SoundVoice& voice) {
    if (voice.looping) {
        voice.position -= voice.length;
        return;
    }
    voice.playing = false;
    voice.position = 0;
    voice.fraction = 0;
}

}  // namespace platform
