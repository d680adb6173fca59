// Tests of AudioEngine over the offline device: opening, loading, playing, cursors and failures.
#include "audio/AudioEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/Log_.h"
#include "platform/sound/OfflineSoundDevice.h"
#include "platform/sound/SoundBuffer.h"

using platform::OfflineSoundDevice;
using platform::SoundBuffer;

namespace {

// The newest log line, without its time stamp.
AnsiString lastMessage() {
    const AnsiString& line = programLog().entries.get(0);
    std::size_t bar = line.find("|     ");
    return bar == AnsiString::npos ? line : line.substr(bar + 6);
}

class AudioEngineTest : public ::testing::Test {
  protected:
    AudioEngine engine;
    OfflineSoundDevice* device = nullptr;

    void SetUp() override {
        programLog().enabled = true;
        programLog().entries.setCapacity(0, true);
    }

    bool open(int mode, unsigned faults = OfflineSoundDevice::noFault) {
        auto offline = std::make_unique<OfflineSoundDevice>(faults);
        device = offline.get();
        return engine.init(nullptr, mode, std::move(offline));
    }

    SoundBuffer* buffer(int sound, int index = 0) {
        return engine.sounds.get(sound).buffers.get(index);
    }
};

std::vector<std::int16_t> constant(int length, std::int16_t value) {
    return std::vector<std::int16_t>(length, value);
}

}  // namespace

TEST_F(AudioEngineTest, EveryOperationIsANoOpBeforeInit) {
    std::vector<std::int16_t> samples = constant(100, 1);
    EXPECT_FALSE(AudioEngine::initialized());
    EXPECT_EQ(engine.loadSound(samples.data(), 100, 1), -1);
    EXPECT_FALSE(engine.playSound(0, 1, 0, 1, true));
    engine.setSoundVolume(0, 1);
    engine.releaseSound(0);
    engine.releaseAllSounds();
    engine.setPlayPosition(0, 10);
    EXPECT_EQ(engine.playPosition(0), 0u);
    EXPECT_EQ(engine.sounds.top, -1);
    EXPECT_EQ(engine.channels, 0);
    AudioEngine::Lock lock(engine);  // nothing to lock, and nothing breaks
    EXPECT_EQ(programLog().entries.top, -1);
}

TEST_F(AudioEngineTest, EachFailingOpeningStepHasItsMessageAndLeavesTheEngineClosed) {
    const std::pair<unsigned, const char*> steps[] = {
        {OfflineSoundDevice::failInterface, "AudioEngine::init(): Failed to create interface"},
        {OfflineSoundDevice::failCooperativeLevel,
         "AudioEngine::init(): Failed to set cooperative level"},
        {OfflineSoundDevice::failPrimaryBuffer,
         "AudioEngine::init(): Failed to create primary buffer"},
        {OfflineSoundDevice::failPrimaryFormat,
         "AudioEngine::init(): Failed to set primary buffer format"},
    };
    std::vector<std::int16_t> samples = constant(100, 1);
    for (auto [fault, message] : steps) {
        EXPECT_FALSE(open(2, fault));
        EXPECT_EQ(lastMessage(), message);
        EXPECT_FALSE(AudioEngine::initialized());
        EXPECT_EQ(engine.channels, 0);
        EXPECT_EQ(engine.loadSound(samples.data(), 100, 1), -1);
    }
}

TEST_F(AudioEngineTest, SdlWithoutAUsableDriverFailsToCreateTheInterface) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(engine.init(nullptr, 2));
    EXPECT_EQ(lastMessage(), "AudioEngine::init(): Failed to create interface");
    EXPECT_FALSE(AudioEngine::initialized());
}

TEST_F(AudioEngineTest, ModeSetsTheOutputChannels) {
    ASSERT_TRUE(open(1));
    EXPECT_EQ(engine.channels, 1);
    EXPECT_EQ(device->channels(), 1);
    ASSERT_TRUE(open(3));
    EXPECT_EQ(engine.channels, 3);
    EXPECT_EQ(device->channels(), 2);
}

TEST_F(AudioEngineTest, LoadedSoundsGetTheNextIndexAndACopyOfTheSamples) {
    ASSERT_TRUE(open(2));
    std::vector<std::int16_t> bar = constant(88200, 1234);
    EXPECT_EQ(engine.loadSound(bar.data(), 88200, 1), 0);
    bar.assign(88200, 0);  // the caller may reuse its memory at once
    EXPECT_EQ(engine.loadSound(bar.data(), 1000, 1), 1);
    EXPECT_EQ(buffer(0)->sizeInBytes(), 176400u);
    EXPECT_EQ(engine.sounds.get(0).frequency, 44100);
    ASSERT_TRUE(engine.playSound(0, 1, 0, 1, true));
    EXPECT_EQ(device->render(1)[0], 1234);

    EXPECT_EQ(engine.loadSound(bar.data(), 0, 1), -1);
    EXPECT_EQ(lastMessage(), "AudioEngine::loadSound(): Failed to load sound from memory");
    device->setFaults(OfflineSoundDevice::failBuffers);
    EXPECT_EQ(engine.loadSound(bar.data(), 10, 1), -1);
    EXPECT_EQ(engine.sounds.top, 1);
}

TEST_F(AudioEngineTest, PlaySoundTurnsGainAndPanIntoTheDeviceScales) {
    ASSERT_TRUE(open(2));
    std::vector<std::int16_t> samples = constant(100, 1);
    ASSERT_EQ(engine.loadSound(samples.data(), 100, 1), 0);
    ASSERT_TRUE(engine.playSound(0, 0.25, 0.5, 1, false));
    EXPECT_EQ(buffer(0)->pan(), 659);
    EXPECT_EQ(buffer(0)->volume(), -588);  // panned: 1.5 × 0.25
    ASSERT_TRUE(engine.playSound(0, 1, -1, 1, false));
    EXPECT_EQ(buffer(0)->pan(), -4560);  // pan stops short of the side: ±0.999
    EXPECT_EQ(buffer(0)->volume(), 0);   // 1.999 × 1 is clamped to full level
    ASSERT_TRUE(engine.playSound(0, 1, 0, 10, false));
    EXPECT_EQ(buffer(0)->frequency(), 100000u);
    ASSERT_TRUE(engine.playSound(0, 1, 0, 0.001, false));
    EXPECT_EQ(buffer(0)->frequency(), 100u);
    ASSERT_TRUE(engine.playSound(0, 1, 0, 0.5, false));
    EXPECT_EQ(buffer(0)->frequency(), 22050u);
    EXPECT_FALSE(engine.playSound(1, 1, 0, 1, false));
    EXPECT_FALSE(engine.playSound(-1, 1, 0, 1, false));
}

TEST_F(AudioEngineTest, MonoModeDropsPanAndModeThreeDoublesIt) {
    std::vector<std::int16_t> samples = constant(100, 1);
    ASSERT_TRUE(open(1));
    ASSERT_EQ(engine.loadSound(samples.data(), 100, 1), 0);
    ASSERT_TRUE(engine.playSound(0, 0.5, 0.7, 1, false));
    EXPECT_EQ(buffer(0)->pan(), 0);
    EXPECT_EQ(buffer(0)->volume(), -415);
    ASSERT_TRUE(open(3));
    ASSERT_EQ(engine.loadSound(samples.data(), 100, 1), 0);
    ASSERT_TRUE(engine.playSound(0, 0.5, 0.3, 1, false));
    EXPECT_EQ(buffer(0)->pan(), 831);  // 600 × ln(1.6 / 0.4)
}

TEST_F(AudioEngineTest, SetSoundVolumeFollowsTheLogScaleAndCentres) {
    ASSERT_TRUE(open(2));
    std::vector<std::int16_t> samples = constant(100, 20000);
    ASSERT_EQ(engine.loadSound(samples.data(), 100, 2), 0);
    ASSERT_TRUE(engine.playSound(0, 1, 0.5, 1, true));
    const std::pair<double, int> gains[] = {{1, 0},      {0.25, -831},        {0.01, -2763},
                                            {0, -10000}, {0.0000005, -10000}, {2, 0}};
    for (auto [gain, value] : gains) {
        engine.setSoundVolume(0, gain);
        EXPECT_EQ(buffer(0)->volume(), value) << gain;
        EXPECT_EQ(buffer(0, 1)->volume(), value) << gain;
        EXPECT_EQ(buffer(0)->pan(), 0);
    }
    engine.setSoundVolume(0, 0.25);
    std::vector<std::int16_t> out = device->render(2);
    EXPECT_NEAR(out[0], 20000 * std::pow(10.0, -831 / 2000.0), 1.0);  // about a quarter: -8.3 dB
    EXPECT_EQ(out[1], out[0]);
    engine.setSoundVolume(5, 1);  // no such sound: nothing happens
}

TEST_F(AudioEngineTest, ReleaseSoundMovesLaterSoundsDown) {
    ASSERT_TRUE(open(2));
    std::vector<std::int16_t> samples = constant(300, 7);
    ASSERT_EQ(engine.loadSound(samples.data(), 100, 1), 0);
    ASSERT_EQ(engine.loadSound(samples.data(), 300, 1), 1);
    ASSERT_TRUE(engine.playSound(0, 1, 0, 1, true));
    engine.releaseSound(0);
    ASSERT_EQ(engine.sounds.top, 0);
    EXPECT_EQ(buffer(0)->sizeInBytes(), 600u);
    EXPECT_EQ(device->render(1)[0], 0);  // the released sound fell silent
    engine.releaseSound(3);
    EXPECT_EQ(engine.sounds.top, 0);
    engine.releaseAllSounds();
    EXPECT_EQ(engine.sounds.top, -1);
}

TEST_F(AudioEngineTest, PlayPositionCountsSamplesAndRefusesPositionsPastTheEnd) {
    ASSERT_TRUE(open(2));
    std::vector<std::int16_t> samples = constant(1000, 3);
    ASSERT_EQ(engine.loadSound(samples.data(), 1000, 1), 0);
    ASSERT_TRUE(engine.playSound(0, 1, 0, 1, true));
    device->render(1500);
    EXPECT_EQ(engine.playPosition(0), 500u);
    engine.setPlayPosition(0, 801);
    EXPECT_EQ(engine.playPosition(0), 400u);
    engine.setPlayPosition(0, 2000);
    engine.setPlayPosition(0, 4000);
    EXPECT_EQ(engine.playPosition(0), 400u);
    engine.setPlayPosition(7, 10);  // no such sound: passed over
    EXPECT_EQ(engine.playPosition(7), 0u);
}

TEST_F(AudioEngineTest, DestructionClosesTheDevice) {
    {
        AudioEngine other;
        ASSERT_TRUE(other.init(nullptr, 2, std::make_unique<OfflineSoundDevice>()));
        std::vector<std::int16_t> samples = constant(10, 1);
        ASSERT_EQ(other.loadSound(samples.data(), 10, 3), 0);
    }
    EXPECT_FALSE(AudioEngine::initialized());
    EXPECT_EQ(AudioEngine::device(), nullptr);
}

// What is heard trails the mixer by the output's latency; the bar loops, so the heard sample
// wraps to the end of the sound rather than going below 0.
TEST_F(AudioEngineTest, HeardPositionTrailsThePlayCursorByTheLatencyInsideTheSound) {
    ASSERT_TRUE(open(2));
    std::vector<std::int16_t> samples = constant(1000, 3);
    ASSERT_EQ(engine.loadSound(samples.data(), 1000, 1), 0);
    ASSERT_TRUE(engine.playSound(0, 1, 0, 1, true));
    device->render(400);
    EXPECT_EQ(engine.heardPosition(0), 400u) << "no latency: the play cursor";
    device->setLatency(300);
    EXPECT_EQ(engine.heardPosition(0), 100u);
    EXPECT_EQ(engine.outputLatency(), 300);
    device->render(750);  // the cursor at 150, the ear still in the last loop
    EXPECT_EQ(engine.playPosition(0), 150u);
    EXPECT_EQ(engine.heardPosition(0), 850u);
    EXPECT_EQ(engine.mixedFrames(), 1150u);
    EXPECT_EQ(engine.heardPosition(1), 0u);
}

TEST_F(AudioEngineTest, DeviceMessagesReachTheLogAtInitAndOnService) {
    auto offline = std::make_unique<OfflineSoundDevice>();
    offline->note("opened %d", 7);
    OfflineSoundDevice* raw = offline.get();
    ASSERT_TRUE(engine.init(nullptr, 2, std::move(offline)));
    EXPECT_EQ(lastMessage(), "opened 7");
    raw->lock();
    raw->note("lost");
    raw->note("back");
    raw->unlock();
    engine.service();
    EXPECT_EQ(lastMessage(), "back");
    EXPECT_EQ(programLog().entries.get(1).substr(programLog().entries.get(1).find('|') + 6),
              "lost");
}
