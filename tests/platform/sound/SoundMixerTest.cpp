// Tests of the mixer: exact looping, playing once, saturation and resampling.
#include "platform/sound/SoundMixer.h"

#include <gtest/gtest.h>

#include <vector>

using platform::SoundMixer;
using platform::SoundVoice;

namespace {

std::vector<std::int16_t> ramp(int length, int start, int step) {
    std::vector<std::int16_t> samples(length);
    for (int i = 0; i < length; i++)
        samples[i] = static_cast<std::int16_t>(start + i * step);
    return samples;
}

SoundVoice voiceOver(const std::vector<std::int16_t>& samples, bool looping) {
    SoundVoice voice;
    voice.samples = samples.data();
    voice.length = static_cast<std::uint32_t>(samples.size());
    voice.playing = true;
    voice.looping = looping;
    return voice;
}

}  // namespace

// Renders in uneven blocks, as a device's periods fall, and checks that the loop repeats every L
// frames exactly, whatever block boundary a wrap falls in.
TEST(SoundMixer, LoopingVoiceRepeatsEveryLengthExactlyAcrossBlocks) {
    std::vector<std::int16_t> samples = ramp(1237, 1, 7);
    SoundVoice voice = voiceOver(samples, true);
    SoundMixer mixer;
    mixer.add(&voice);
    std::vector<std::int16_t> out;
    const int blocks[] = {1, 511, 512, 1000, 3, 4096, 777, 256};
    int total = 0;
    for (int round = 0; round < 20; round++) {
        for (int frames : blocks) {
            std::vector<std::int16_t> block(frames);
            mixer.render(block.data(), frames, 1);
            out.insert(out.end(), block.begin(), block.end());
            total += frames;
        }
    }
    for (int k = 0; k < total; k++)
        ASSERT_EQ(out[k], samples[k % 1237]) << "frame " << k;
    EXPECT_EQ(voice.position, static_cast<std::uint32_t>(total % 1237));
    EXPECT_TRUE(voice.playing);
}

TEST(SoundMixer, VoicePlayedOnceStopsAtItsEndAndReturnsToTheStart) {
    std::vector<std::int16_t> samples = ramp(100, 50, 1);
    SoundVoice voice = voiceOver(samples, false);
    voice.position = 40;
    SoundMixer mixer;
    mixer.add(&voice);
    std::vector<std::int16_t> out(2 * 100);
    mixer.render(out.data(), 100, 2);
    for (int k = 0; k < 60; k++) {
        ASSERT_EQ(out[2 * k], samples[40 + k]);
        ASSERT_EQ(out[2 * k + 1], samples[40 + k]);
    }
    for (int k = 120; k < 200; k++)
        ASSERT_EQ(out[k], 0);
    EXPECT_FALSE(voice.playing);
    EXPECT_EQ(voice.position, 0u);
}

TEST(SoundMixer, SumSaturatesToSixteenBitsAndSilentVoicesAreSkipped) {
    std::vector<std::int16_t> high(8, 30000), low(8, -30000);
    SoundVoice a = voiceOver(high, true), b = voiceOver(high, true);
    SoundVoice c = voiceOver(low, true), d = voiceOver(low, true);
    c.playing = false;
    d.playing = false;
    SoundMixer mixer;
    for (SoundVoice* v : {&a, &b, &c, &d})
        mixer.add(v);
    std::int16_t out[8];
    mixer.render(out, 4, 2);
    for (std::int16_t s : out)
        EXPECT_EQ(s, 32767);
    a.playing = b.playing = false;
    c.playing = d.playing = true;
    mixer.render(out, 4, 2);
    for (std::int16_t s : out)
        EXPECT_EQ(s, -32768);
    EXPECT_EQ(a.position, 4u);  // stopped voices keep their place
    EXPECT_EQ(c.position, 4u);
}

TEST(SoundMixer, HalfRateInterpolatesBetweenSamplesAndAdvancesHalfAsFast) {
    std::vector<std::int16_t> samples = ramp(16, 0, 1000);
    SoundVoice voice = voiceOver(samples, true);
    voice.step = SoundVoice::unitStep / 2;
    SoundMixer mixer;
    mixer.add(&voice);
    std::int16_t out[10];
    mixer.render(out, 10, 1);
    for (int k = 0; k < 10; k++)
        EXPECT_EQ(out[k], 500 * k);
    EXPECT_EQ(voice.position, 5u);
}
