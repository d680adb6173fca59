// Tests of AudioEngine_sound: round robin over duplicates and a failing duplicate.
#include "audio/AudioEngine_sound.h"

#include <gtest/gtest.h>

#include <vector>

#include "audio/AudioEngine.h"
#include "base/Log_.h"
#include "platform/sound/OfflineSoundDevice.h"
#include "platform/sound/SoundBuffer.h"

using platform::OfflineSoundDevice;

namespace {

struct Opened {
    AudioEngine engine;
    OfflineSoundDevice* device;

    explicit Opened(unsigned faults = OfflineSoundDevice::noFault) {
        auto offline = std::make_unique<OfflineSoundDevice>(faults);
        device = offline.get();
        engine.init(nullptr, 2, std::move(offline));
    }
};

}  // namespace

TEST(AudioEngine_sound, PlaysItsBuffersRoundRobinOverSharedSamples) {
    Opened opened;
    std::vector<std::int16_t> samples(100, 4000);
    ASSERT_EQ(opened.engine.loadSound(samples.data(), 100, 3), 0);
    AudioEngine_sound& sound = opened.engine.sounds.get(0);
    ASSERT_EQ(sound.buffers.top, 2);
    const int expected[] = {0, 1, 2, 0};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(sound.nextBuffer, expected[i]);
        ASSERT_TRUE(opened.engine.playSound(0, 1, 0, 1, false));
        opened.device->render(10);
    }
    EXPECT_EQ(sound.nextBuffer, 1);
    // Buffer 0 was started again from where it had got to; the others play on, all from the one
    // copy of the samples.
    EXPECT_EQ(sound.buffers.get(0)->position(), 2u * 40);
    EXPECT_EQ(sound.buffers.get(1)->position(), 2u * 30);
    EXPECT_EQ(sound.buffers.get(2)->position(), 2u * 20);
    EXPECT_EQ(opened.device->render(1)[0], 3 * 4000);
}

TEST(AudioEngine_sound, AFailedDuplicateKeepsTheBuffersMadeSoFar) {
    programLog().enabled = true;
    Opened opened(OfflineSoundDevice::failDuplicates);
    opened.device->allowDuplicates(1);
    std::vector<std::int16_t> samples(100, 1);
    ASSERT_EQ(opened.engine.loadSound(samples.data(), 100, 4), 0);
    EXPECT_EQ(opened.engine.sounds.get(0).buffers.top, 1);
    EXPECT_NE(programLog().entries.get(0).find("|     loadSound(): Failed to duplicate buffer"),
              AnsiString::npos);
    EXPECT_TRUE(opened.engine.playSound(0, 1, 0, 1, false));
    EXPECT_TRUE(opened.engine.playSound(0, 1, 0, 1, false));
    EXPECT_EQ(opened.engine.sounds.get(0).nextBuffer, 0);
}
